// Helpers for the window's tests: the dialogs a test expects are answered
// without being shown, one nobody expected fails the test instead of waiting
// for a click, and the converter window runs its modal loop for real.
#ifndef ONDAVO_TESTS_APP_TEST_SUPPORT_H_
#define ONDAVO_TESTS_APP_TEST_SUPPORT_H_

#include <gtest/gtest.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>

#include <functional>
#include <string>

#include "ondavo.h"
#include "ondavodlg.h"

// wxTEST_DIALOG's hook: reports through GoogleTest, lets the converter window
// run for real and cancels an unexpected dialog rather than showing it.
class TestDialogHook : public wxTestingModalHook {
 public:
  using wxTestingModalHook::wxTestingModalHook;

 protected:
  int Enter(wxDialog* dialog) override;
  void ReportFailure(const wxString& message) override { ADD_FAILURE() << message; }
};
#undef wxTEST_DIALOG_HOOK_CLASS
#define wxTEST_DIALOG_HOOK_CLASS TestDialogHook

// Outside wxTEST_DIALOG every dialog but the converter window fails the test,
// and so does a wxWidgets assertion.
void InstallTestHooks();

// Shows `dialog` modally, for real, and runs `body` from inside its loop; ends
// it with wxID_ABORT afterwards unless `body` did. Returns ShowModal's result.
int RunModal(wxDialog& dialog, std::function<void()> body);
// Sends a command event, as a button or a menu would.
void SendCommand(wxWindow& window, wxEventType type, int id);
// Lets the program handle its events until `done`, for 5 s at most.
bool WaitUntil(const std::function<bool()>& done);
wxString TextOf(wxWindow& dialog, int id);

// A message box with exactly `text`, answered with `answer`; `then` runs
// first, while the box would be up.
class ExpectMessage : public wxExpectModalBase<wxMessageDialog, ExpectMessage> {
 public:
  explicit ExpectMessage(const wxString& text, std::function<void()> then = {},
                         int answer = wxID_OK)
      : text_(text), then_(std::move(then)), answer_(answer) {}

 protected:
  int OnInvoked(wxMessageDialog* box) const override {
    EXPECT_EQ(box->GetMessage(), text_);
    EXPECT_EQ(box->GetTitle(), "Ondavo");
    if (then_) then_();
    return answer_;
  }
  wxString GetDefaultDescription() const override { return "a message box \"" + text_ + "\""; }

 private:
  wxString text_;
  std::function<void()> then_;
  int answer_;
};

// The About box, answered with OK.
inline wxExpectDismissableModal<CAboutDialog> ExpectAbout() {
  return wxExpectDismissableModal<CAboutDialog>(wxID_OK);
}

// The application of the tests: the real one, less the start-up that would
// run the window at once.
class TestApp : public COndavoApp {
 public:
  bool OnInit() override { return true; }
};

#endif  // ONDAVO_TESTS_APP_TEST_SUPPORT_H_
