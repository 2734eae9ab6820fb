// ondavo-window-decode FILE.DVR: one decode through the converter window, for
// timing. The window itself takes no options, so this program runs the same
// window (the ondavo_window library, as the window's tests do) modally on the
// display, clicks Decode with FILE chosen and answers the closing message box
// with OK. Prints the decode's own wall and CPU seconds, from the click to
// the message, as "click ELAPSED USER SYSTEM"; the exit status is 0 only when
// the decode finished.
#include <sys/resource.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "decode_command.h"
#include "ondavodlg.h"
#include "resources.h"

namespace {

// Answers every message box with OK without showing it, and keeps its text;
// lets the converter window itself come up.
class AnswerMessages : public wxModalDialogHook {
 public:
  wxString last_message;

 protected:
  int Enter(wxDialog* dialog) override {
    auto* box = wxDynamicCast(dialog, wxMessageDialog);
    if (box == nullptr) return wxID_NONE;
    last_message = box->GetMessage();
    return wxID_OK;
  }
  void Exit(wxDialog*) override {}
};

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6;
}

// The window's start-up is not wanted here: main drives it.
class BenchApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ondavo-window-decode FILE.DVR\n");
    return 2;
  }
  const std::string path = argv[1];
  wxApp::SetInstance(new BenchApp);
  if (!wxEntryStart(argc, argv)) {
    std::fprintf(stderr, "ondavo-window-decode: cannot start wxWidgets: is there a display?\n");
    return 1;
  }
  if (!wxTheApp->CallOnInit()) return 1;
  LoadOndavoResources();

  AnswerMessages answers;
  answers.Register();
  bool finished = false;
  double elapsed = 0, user = 0, system = 0;
  {
    COndavoDlg window(nullptr);
    g_strDvrFile = wxString::FromUTF8(path);
    window.CallAfter([&] {
      rusage before, after;
      ::getrusage(RUSAGE_SELF, &before);
      const auto start = std::chrono::steady_clock::now();
      // As the Decode button sends it.
      wxCommandEvent click(wxEVT_BUTTON, kIdDecode);
      click.SetEventObject(window.FindWindow(kIdDecode));
      window.ProcessWindowEvent(click);
      elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      ::getrusage(RUSAGE_SELF, &after);
      user = Seconds(after.ru_utime) - Seconds(before.ru_utime);
      system = Seconds(after.ru_stime) - Seconds(before.ru_stime);
      finished = answers.last_message.StartsWith("Finish");
      window.EndModal(wxID_OK);
    });
    window.ShowModal();
  }
  answers.Unregister();
  std::fflush(stdout);
  if (!finished) {
    std::fprintf(stderr, "ondavo-window-decode: %s\n", answers.last_message.utf8_str().data());
  } else {
    std::printf("\nclick %.3f %.3f %.3f\n", elapsed, user, system);
  }
  wxTheApp->OnExit();
  wxEntryCleanup();
  return finished ? 0 : 1;
}
