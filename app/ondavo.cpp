#include "ondavo.h"

#include "ondavodlg.h"
#include "resources.h"
#include "stop_signals.h"

bool COndavoApp::StartUp() {
  LoadOndavoResources();
  COndavoDlg dialog(nullptr);
  SetTopWindow(&dialog);
  dialog.ShowModal();  // every way of closing leads here alike
  SetTopWindow(nullptr);
  return false;
}

// The program takes no options, so wxApp::OnInit's command-line parsing is
// left out.
bool COndavoApp::OnInit() {
  // A signal that ends the program first removes the output it was writing.
  ondavo::EndOnSignals();
  // wxWidgets would turn a false from OnInit into a failure status: the
  // decision goes to OnRun instead, which ends the program normally.
  run_message_loop_ = StartUp();
  return true;
}

int COndavoApp::OnRun() {
  return run_message_loop_ ? wxApp::OnRun() : 0;
}
