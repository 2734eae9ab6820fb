// Paths inside the program are std::string: UTF-8 on Windows, whatever the
// file names' bytes are on POSIX systems. These convert them where they
// meet the system. On Windows a std::filesystem::path made from a
// std::string reads it in the C library's multibyte encoding (the ANSI code
// page, or narrower), in which most of the world's names have no spelling.
#ifndef ONDAVO_CONVERT_UTF8_PATH_H_
#define ONDAVO_CONVERT_UTF8_PATH_H_

#include <filesystem>
#include <string>
#include <string_view>

namespace ondavo {

std::filesystem::path PathFromUtf8(const std::string& text);
std::string Utf8FromPath(const std::filesystem::path& path);

#ifdef _WIN32
// Text that is not valid UTF-8 (or UTF-16) comes out with U+FFFD in place
// of what could not be converted: it then names no file, and an open of it
// fails as for any missing file.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// The wide path for the file APIs. One whose full form is longer than they
// take (MAX_PATH) is given as that full form behind the "\\?\" prefix,
// which lifts the limit; short paths go as they are.
std::wstring SystemPath(const std::string& path);
#endif

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_UTF8_PATH_H_
