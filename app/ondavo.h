// The application object: runs the converter window, and ends the program
// when the window closes.
#ifndef ONDAVO_APP_ONDAVO_H_
#define ONDAVO_APP_ONDAVO_H_

#include <wx/app.h>

class COndavoApp : public wxApp {
 public:
  // Runs the converter window modally. False: there is nothing to do once
  // it has closed, so the program must not enter a message loop.
  bool StartUp();

  bool OnInit() override;
  int OnRun() override;

 private:
  bool run_message_loop_ = false;
};

#endif  // ONDAVO_APP_ONDAVO_H_
