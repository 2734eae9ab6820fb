// The application object: runs the converter window, and ends the program
// when the window closes. Recordings named on the command line (as a file
// manager's "Open With" names them) are chosen as a drop of them would be.
#ifndef ONDAVO_APP_ONDAVO_H_
#define ONDAVO_APP_ONDAVO_H_

#include <wx/app.h>
#include <wx/arrstr.h>

#include <optional>

// --help and --version, before the toolkit starts: the exit status once the
// text is printed, or nothing when the window is to run.
std::optional<int> AnswerWithoutWindow(int argc, char** argv);

class COndavoApp : public wxApp {
 public:
  COndavoApp();

  // Runs the converter window modally, with `files` chosen. False: there is
  // nothing to do once it has closed, so the program must not enter a
  // message loop.
  bool StartUp(const wxArrayString& files = {});

  bool OnInit() override;
  int OnRun() override;

 private:
  bool run_message_loop_ = false;
  int exit_code_ = 0;
};

#endif  // ONDAVO_APP_ONDAVO_H_
