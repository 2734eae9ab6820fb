#include "app_test_support.h"

#include <wx/app.h>
#include <wx/modalhook.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <chrono>
#include <set>
#include <vector>

#include "ondavodlg.h"
#include "test_support.h"

namespace {

std::set<wxDialog*>& RealDialogs() {
  static std::set<wxDialog*> dialogs;
  return dialogs;
}

// The converter window is always under test, also when StartUp makes it.
bool ShownForReal(wxDialog* dialog) {
  return RealDialogs().count(dialog) != 0 || dynamic_cast<COndavoDlg*>(dialog) != nullptr;
}

wxString Describe(wxDialog* dialog) {
  if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) {
    return "a message box \"" + box->GetMessage() + "\"";
  }
  return "a dialog \"" + dialog->GetTitle() + "\"";
}

class UnexpectedDialogHook : public wxModalDialogHook {
 protected:
  int Enter(wxDialog* dialog) override {
    if (ShownForReal(dialog)) return wxID_NONE;
    ADD_FAILURE() << "Unexpected " << Describe(dialog);
    return wxID_CANCEL;
  }
  void Exit(wxDialog*) override {}
};

void FailOnAssert(const wxString& file, int line, const wxString& function,
                  const wxString& condition, const wxString& message) {
  ADD_FAILURE_AT(file.utf8_str().data(), line)
      << "wxWidgets assertion in " << function << ": " << condition << " " << message;
}

}  // namespace

TestDialogHook::TestDialogHook(const char* file, int line, const char* func)
    : wxTestingModalHook(file, line, func) {}

TestDialogHook::~TestDialogHook() = default;

int TestDialogHook::Enter(wxDialog* dialog) {
  if (ShownForReal(dialog)) return wxID_NONE;
  int result = wxTestingModalHook::Enter(dialog);
  return result == wxID_NONE ? wxID_CANCEL : result;
}

void TestDialogHook::ReportFailure(const wxString& message) {
  ADD_FAILURE() << message;
}

void InstallUnexpectedDialogHook() {
  static UnexpectedDialogHook hook;
  hook.Register();
}

void InstallAssertHandler() {
  wxSetAssertHandler(FailOnAssert);
}

int RunModal(wxDialog& dialog, std::function<void()> body) {
  RealDialogs().insert(&dialog);
  dialog.CallAfter([&dialog, body] {
    body();
    if (dialog.IsModal()) dialog.EndModal(wxID_ABORT);
  });
  int result = dialog.ShowModal();
  RealDialogs().erase(&dialog);
  return result;
}

void SendCommand(wxWindow& window, wxEventType type, int id) {
  wxCommandEvent event(type, id);
  wxWindow* source = window.FindWindow(id);
  event.SetEventObject(source != nullptr ? source : &window);
  window.ProcessWindowEvent(event);
}

bool WaitUntil(const std::function<bool()>& done, double seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    wxTheApp->Yield(true);
    wxMilliSleep(5);
  }
  return true;
}

void WriteSilence(const std::string& path, int frames) {
  std::vector<uint8_t> body;
  for (int i = 0; i < frames; ++i) body.insert(body.end(), {0xE0, 0x00});
  ondavo::testing::WriteBytes(path, ondavo::testing::DvrFile(8000, body));
}

wxString TextOf(wxWindow& dialog, int id) {
  return wxDynamicCast(dialog.FindWindow(id), wxTextCtrl)->GetValue();
}

int ExpectMessage::OnInvoked(wxMessageDialog* box) const {
  EXPECT_EQ(box->GetMessage(), text_);
  if (then_) then_();
  return answer_;
}

wxString ExpectMessage::GetDefaultDescription() const {
  return "a message box \"" + text_ + "\"";
}
