// Helpers for the window's tests: dialogs that a test expects are answered
// without being shown, a dialog nobody expected fails the test instead of
// waiting for a click, and the window under test runs its modal loop for real.
#ifndef ONDAVO_TESTS_APP_TEST_SUPPORT_H_
#define ONDAVO_TESTS_APP_TEST_SUPPORT_H_

#include <gtest/gtest.h>
#include <wx/dialog.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>

#include <functional>
#include <ostream>
#include <string>

#include "ondavo.h"
#include "ondavodlg.h"

// GoogleTest shows a wxString as text.
inline void PrintTo(const wxString& text, std::ostream* out) {
  *out << '"' << text.utf8_string() << '"';
}

// wxTEST_DIALOG's hook: reports through GoogleTest, lets the dialogs that a
// test runs for real (RunModal) go by, and cancels an unexpected dialog
// rather than showing it.
class TestDialogHook : public wxTestingModalHook {
 public:
  TestDialogHook(const char* file, int line, const char* func);
  ~TestDialogHook() override;

 protected:
  int Enter(wxDialog* dialog) override;
  void ReportFailure(const wxString& message) override;
};
#undef wxTEST_DIALOG_HOOK_CLASS
#define wxTEST_DIALOG_HOOK_CLASS TestDialogHook

// Outside wxTEST_DIALOG: every dialog but those run with RunModal fails the
// test and is cancelled.
void InstallUnexpectedDialogHook();
// A wxWidgets assertion fails the test instead of opening its dialog.
void InstallAssertHandler();

// Shows `dialog` modally, for real, and runs `body` from inside its loop. Ends
// the dialog with wxID_ABORT afterwards unless `body` ended it. Returns what
// ShowModal returned.
int RunModal(wxDialog& dialog, std::function<void()> body);

// Sends a command event, as a button or a menu would.
void SendCommand(wxWindow& window, wxEventType type, int id);

// Lets the program handle its events for at most `seconds`, until `done`.
bool WaitUntil(const std::function<bool()>& done, double seconds = 5);

// A coded voice file of `frames` silence frames at 8 kHz.
void WriteSilence(const std::string& path, int frames);
// The text of the field `id`.
wxString TextOf(wxWindow& dialog, int id);

// A message box with exactly `text`, answered with `answer`; `then` runs
// first, while the box would be up.
class ExpectMessage : public wxExpectModalBase<wxMessageDialog, ExpectMessage> {
 public:
  explicit ExpectMessage(const wxString& text, std::function<void()> then = {},
                         int answer = wxID_OK)
      : text_(text), then_(std::move(then)), answer_(answer) {}

 protected:
  int OnInvoked(wxMessageDialog* box) const override;
  wxString GetDefaultDescription() const override;

 private:
  wxString text_;
  std::function<void()> then_;
  int answer_;
};

// The About box, answered with OK; `then` runs first.
class ExpectAbout : public wxExpectModalBase<CAboutDialog, ExpectAbout> {
 public:
  explicit ExpectAbout(std::function<void()> then = {}) : then_(std::move(then)) {}

 protected:
  int OnInvoked(CAboutDialog*) const override {
    if (then_) then_();
    return wxID_OK;
  }

 private:
  std::function<void()> then_;
};

// The application of the tests: the real one, less the start-up that would
// run the window at once.
class TestApp : public COndavoApp {
 public:
  bool OnInit() override { return true; }
};

#endif  // ONDAVO_TESTS_APP_TEST_SUPPORT_H_
