#include <windows.h>

#include "path.h"
#include "windows_text.h"

namespace ondavo {

const std::string_view kPathSeparators = "/\\:";
const char kPreferredSeparator = '\\';

std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  for (DWORD flags : {DWORD{MB_ERR_INVALID_CHARS}, DWORD{0}}) {
    int length = ::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
    if (length <= 0) continue;
    std::wstring wide(length, L'\0');
    if (::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, wide.data(), length) == length) {
      return wide;
    }
  }
  return std::wstring(1, L'\xFFFD');
}

std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  for (DWORD flags : {DWORD{WC_ERR_INVALID_CHARS}, DWORD{0}}) {
    int length =
        ::WideCharToMultiByte(CP_UTF8, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) continue;
    std::string bytes(length, '\0');
    if (::WideCharToMultiByte(CP_UTF8, flags, text.data(), size, bytes.data(), length, nullptr,
                              nullptr) == length) {
      return bytes;
    }
  }
  return "\xEF\xBF\xBD";  // U+FFFD
}

std::wstring SystemPath(const std::string& path) {
  std::wstring wide = WideFromUtf8(path);
  // The prefix also turns off the system's tidying of a path ('/' for '\\',
  // "." and "..", trailing dots and spaces), so it goes only before the full
  // path the system itself makes of this one, and only one on a drive or a
  // server's share.
  DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  DWORD length = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size || length < MAX_PATH) return wide;
  full.resize(length);
  if (full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  if (full[0] == L'\\' && full[1] == L'\\' && full[2] != L'?' && full[2] != L'.') {
    return L"\\\\?\\UNC\\" + full.substr(2);
  }
  return wide;
}

std::string FoldCase(const std::string& path) {
  std::wstring name = WideFromUtf8(path);
  ::CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
  return Utf8FromWide(name);
}

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(WideFromUtf8(text));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  return Utf8FromWide(path.native());
}

}  // namespace ondavo
