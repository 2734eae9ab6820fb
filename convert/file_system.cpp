#include "file_system.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstring>
#include <cwctype>

#include "output_name.h"
#include "utf8_path.h"

namespace ondavo {

std::string ErrorText(int error) {
  if (error == kNotRegularFile) return "Not a regular file";
#ifdef _WIN32
  if (error >= kWindowsErrorBase) {
    const DWORD code = static_cast<DWORD>(error - kWindowsErrorBase);
    wchar_t* text = nullptr;
    DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide(text != nullptr ? text : L"", length);
    ::LocalFree(text);
    // Windows ends each text with a period and a line break; the messages
    // put it in parentheses.
    while (!wide.empty() && (wide.back() == L'.' || iswspace(wide.back()))) wide.pop_back();
    if (wide.empty()) return "Windows error " + std::to_string(code);
    return Utf8FromWide(wide);
  }
#endif
  return std::strerror(error);
}

std::string TemporaryNameFor(const std::string& path, const std::string& unique) {
  size_t name_start = FileNameStart(path);
  return path.substr(0, path.find('.', name_start)) + ".ondavo-part-" + unique;
}

}  // namespace ondavo
