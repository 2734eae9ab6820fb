// What a command-line program asks of its terminal and standard streams:
// whether they are terminals, a stream that keeps what is written to it,
// UTF-8 on the console, and the program's arguments in UTF-8.
#ifndef ONDAVO_PLATFORM_CONSOLE_H_
#define ONDAVO_PLATFORM_CONSOLE_H_

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace ondavo {

bool IsTerminal(std::FILE* stream);
// Standard output and standard error are both one terminal, so that what
// one writes over a line the other shows.
bool OutputAndErrorShareTerminal();

// A stream that keeps what is written to it: in memory, or where a system
// has no memory streams, in a temporary file removed when it is closed.
class CapturedStream {
 public:
  CapturedStream();
  ~CapturedStream();
  CapturedStream(const CapturedStream&) = delete;
  CapturedStream& operator=(const CapturedStream&) = delete;

  // Null when no such stream could be made.
  std::FILE* file() const { return file_; }
  // What was written; the stream is closed.
  std::string Take();

 private:
  std::FILE* file_ = nullptr;
  char* text_ = nullptr;  // a memory stream's
  size_t size_ = 0;
};

// The program's messages are UTF-8. A console shows them so only in that
// code page, which is the console's own setting: it is set for as long as
// this lives, then put back. Nothing to do where terminals take UTF-8.
class ConsoleInUtf8 {
 public:
  ConsoleInUtf8();
  ~ConsoleInUtf8();
  ConsoleInUtf8(const ConsoleInUtf8&) = delete;
  ConsoleInUtf8& operator=(const ConsoleInUtf8&) = delete;

 private:
  unsigned before_ = 0;
};

// The program's arguments, its name first, in UTF-8: on Windows from the
// wide command line, as `argv` there is in the ANSI code page, which cannot
// spell most names. Text that is no valid UTF-16 comes out with U+FFFD in
// its place, and then names no file. Unset when the command line cannot
// be read.
std::optional<std::vector<std::string>> ProgramArguments(int argc, char** argv);

}  // namespace ondavo

#endif  // ONDAVO_PLATFORM_CONSOLE_H_
