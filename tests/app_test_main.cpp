// The window tests' main: sets up wxWidgets on the display (Xvfb in a test
// run) around GoogleTest's run.
#include <gtest/gtest.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app_test_support.h"

namespace {

constexpr char kAttemptVariable[] = "ONDAVO_TEST_START_ATTEMPT";

// A start fails now and then on a busy machine. The toolkit cannot start
// twice in one process, so the program runs itself again, twice at most.
void StartAgainOrGiveUp(const std::vector<char*>& original_argv) {
  const char* display = std::getenv("DISPLAY");
  const char* previous = std::getenv(kAttemptVariable);
  int attempt = previous != nullptr ? std::atoi(previous) : 1;
  std::fprintf(stderr, "Cannot start wxWidgets on display %s (attempt %d)\n",
               display != nullptr ? display : "(none)", attempt);
  if (attempt >= 3) return;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  setenv(kAttemptVariable, std::to_string(attempt + 1).c_str(), 1);
  execv("/proc/self/exe", original_argv.data());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> original_argv(argv, argv + argc + 1);
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests needs no display.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  if (std::getenv("DISPLAY") == nullptr) {
    std::fprintf(stderr, "The window's tests need a display: run them under xvfb-run.\n");
    return 1;
  }

  // wxWidgets' own complaints go to standard error, never into a dialog.
  wxLog::SetActiveTarget(new wxLogStderr);
  wxApp::SetInstance(new TestApp);
  if (!wxEntryStart(argc, argv)) {
    StartAgainOrGiveUp(original_argv);
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
