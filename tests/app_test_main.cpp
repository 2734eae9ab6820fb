// The window tests' main: sets up wxWidgets on the display (Xvfb in a test
// run) around GoogleTest's run.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>

#include <cstdio>

#include "app_test_support.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests needs no display.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

  wxApp::SetInstance(new TestApp);
  if (!wxEntryStart(argc, argv)) {
    std::fprintf(stderr, "Cannot start wxWidgets: is there a display?\n");
    return 1;
  }
  InstallAssertHandler();
  InstallUnexpectedDialogHook();
  if (!wxTheApp->CallOnInit()) return 1;
  int result = RUN_ALL_TESTS();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return result;
}
