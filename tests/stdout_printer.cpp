// Windows test programs only: GoogleTest's printer hands each failure and skip
// to OutputDebugStringA too, whose exception Wine under qemu-i386 cannot
// unwind, so a test that failed or skipped would crash instead of saying why.
// This printer says it on standard output alone.
#include <gtest/gtest.h>

#include <cstdio>

namespace {

class StdoutPrinter : public testing::EmptyTestEventListener {
  void OnTestPartResult(const testing::TestPartResult& part) override {
    if (part.type() == testing::TestPartResult::kSuccess) return;
    std::printf("%s:%d: %s\n%s\n", part.file_name() ? part.file_name() : "unknown file",
                part.line_number(), part.skipped() ? "Skipped" : "Failure", part.message());
  }
  void OnTestEnd(const testing::TestInfo& test) override {
    const testing::TestResult& result = *test.result();
    std::printf("%s %s.%s\n",
                result.Skipped()  ? "[  SKIPPED ]"
                : result.Failed() ? "[  FAILED  ]"
                                  : "[       OK ]",
                test.test_suite_name(), test.name());
    std::fflush(stdout);
  }
};

const bool kPrinterSwapped = [] {
  testing::TestEventListeners& listeners = testing::UnitTest::GetInstance()->listeners();
  delete listeners.Release(listeners.default_result_printer());
  listeners.Append(new StdoutPrinter);
  return true;
}();

}  // namespace
