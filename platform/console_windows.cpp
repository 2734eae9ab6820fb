#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <utility>

#include "console.h"
#include "windows_text.h"

namespace ondavo {

bool IsTerminal(std::FILE* stream) {
  return ::_isatty(::_fileno(stream));
}

// A program has one console.
bool OutputAndErrorShareTerminal() {
  return IsTerminal(stdout) && IsTerminal(stderr);
}

CapturedStream::CapturedStream() {
  wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
  if (::GetTempPathW(MAX_PATH + 1, folder) != 0 &&
      ::GetTempFileNameW(folder, L"ond", 0, name) != 0) {
    file_ = ::_wfopen(name, L"w+bTD");
  }
}

CapturedStream::~CapturedStream() {
  Take();
}

std::string CapturedStream::Take() {
  std::string text;
  if (file_ == nullptr) return text;
  std::fflush(file_);
  std::rewind(file_);
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0;) text.append(buffer, n);
  std::fclose(std::exchange(file_, nullptr));
  return text;
}

ConsoleInUtf8::ConsoleInUtf8() {
  DWORD mode;
  for (DWORD stream : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    if (::GetConsoleMode(::GetStdHandle(stream), &mode)) before_ = ::GetConsoleOutputCP();
  }
  if (before_ != 0) ::SetConsoleOutputCP(CP_UTF8);
}

ConsoleInUtf8::~ConsoleInUtf8() {
  if (before_ != 0) ::SetConsoleOutputCP(before_);
}

std::optional<std::vector<std::string>> ProgramArguments(int, char**) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::nullopt;
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(Utf8FromWide(wide[i]));
  ::LocalFree(wide);
  return args;
}

}  // namespace ondavo
