// The window tests' main: sets up wxWidgets on the display (Xvfb in a test
// run) around GoogleTest's run.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdio>
#include <cstdlib>

#include "app_test_support.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests needs no display.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
#ifndef __WXMSW__  // Windows' own display needs no setting
  if (std::getenv("DISPLAY") == nullptr) {
    std::fprintf(stderr, "The window's tests need a display: run them under xvfb-run.\n");
    return 1;
  }
#endif
  // wxWidgets' own complaints, the toolkit's among them, go to standard
  // error, never into a dialog.
  wxLog::SetActiveTarget(new wxLogStderr);
  wxApp::SetInstance(new TestApp);
  if (!wxEntryStart(argc, argv)) {
    std::fprintf(stderr, "Cannot start wxWidgets on display %s\n", std::getenv("DISPLAY"));
    return 1;
  }
  InstallTestHooks();
  if (!wxTheApp->CallOnInit()) return 1;
  int result = RUN_ALL_TESTS();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return result;
}
