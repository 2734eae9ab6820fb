#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

#include "console.h"

namespace ondavo {

bool IsTerminal(std::FILE* stream) {
  return ::isatty(::fileno(stream));
}

bool OutputAndErrorShareTerminal() {
  struct stat out, err;
  return IsTerminal(stdout) && IsTerminal(stderr) && ::fstat(STDOUT_FILENO, &out) == 0 &&
         ::fstat(STDERR_FILENO, &err) == 0 && out.st_rdev == err.st_rdev;
}

CapturedStream::CapturedStream() : file_(::open_memstream(&text_, &size_)) {}

CapturedStream::~CapturedStream() {
  Take();
}

std::string CapturedStream::Take() {
  std::string text;
  if (file_ == nullptr) return text;
  std::fclose(std::exchange(file_, nullptr));
  text.assign(text_, size_);
  std::free(std::exchange(text_, nullptr));
  return text;
}

ConsoleInUtf8::ConsoleInUtf8() {}

ConsoleInUtf8::~ConsoleInUtf8() {
  (void)before_;  // no code page was set, so none is put back
}

std::optional<std::vector<std::string>> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace ondavo
