#include "app_test_support.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/modalhook.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

bool ShownForReal(wxDialog* dialog) {
  return dynamic_cast<COndavoDlg*>(dialog) != nullptr;
}

class UnexpectedDialogHook : public wxModalDialogHook {
 protected:
  int Enter(wxDialog* dialog) override {
    if (ShownForReal(dialog)) return wxID_NONE;
    auto* box = dynamic_cast<wxMessageDialog*>(dialog);
    ADD_FAILURE() << "Unexpected dialog \"" << (box ? box->GetMessage() : dialog->GetTitle())
                  << "\"";
    return wxID_CANCEL;
  }
  void Exit(wxDialog*) override {}
};

}  // namespace

int TestDialogHook::Enter(wxDialog* dialog) {
  if (ShownForReal(dialog)) return wxID_NONE;
  int result = wxTestingModalHook::Enter(dialog);
  return result == wxID_NONE ? wxID_CANCEL : result;
}

void InstallTestHooks() {
  static UnexpectedDialogHook hook;
  hook.Register();
  wxSetAssertHandler([](const wxString& file, int line, const wxString& function,
                        const wxString& condition, const wxString& message) {
    ADD_FAILURE_AT(file.utf8_str().data(), line)
        << "wxWidgets assertion in " << function << ": " << condition << " " << message;
  });
}

int RunModal(wxDialog& dialog, std::function<void()> body) {
  dialog.CallAfter([&dialog, body] {
    body();
    // Ended, it is hidden; on Windows it stays modal until its loop returns.
    if (dialog.IsModal() && dialog.IsShown()) dialog.EndModal(wxID_ABORT);
  });
  return dialog.ShowModal();
}

void SendCommand(wxWindow& window, wxEventType type, int id) {
  wxCommandEvent event(type, id);
  wxWindow* source = window.FindWindow(id);
  event.SetEventObject(source != nullptr ? source : &window);
  window.ProcessWindowEvent(event);
}

bool WaitUntil(const std::function<bool()>& done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    wxTheApp->Yield(true);
    wxMilliSleep(5);
  }
  return true;
}

wxString TextOf(wxWindow& dialog, int id) {
  return wxDynamicCast(dialog.FindWindow(id), wxTextCtrl)->GetValue();
}

// The window tests' main: sets up wxWidgets on the display (Xvfb in a test
// run) around GoogleTest's run.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests needs no display.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  // wxWidgets' own complaints, the toolkit's among them, go to standard
  // error, never into a dialog.
  wxLog::SetActiveTarget(new wxLogStderr);
  wxApp::SetInstance(new TestApp);
  if (!wxEntryStart(argc, argv)) {
    std::fprintf(stderr, "The window's tests need a display: run them under xvfb-run.\n");
    return 1;
  }
  InstallTestHooks();
  if (!wxTheApp->CallOnInit()) return 1;
  int result = RUN_ALL_TESTS();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return result;
}
