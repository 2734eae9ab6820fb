// Text and paths as the Windows API takes them: UTF-16. Only the platform's
// Windows sources include this.
#ifndef ONDAVO_PLATFORM_WINDOWS_TEXT_H_
#define ONDAVO_PLATFORM_WINDOWS_TEXT_H_

#include <string>
#include <string_view>

namespace ondavo {

// Text that is not valid UTF-8 (or UTF-16) comes out with U+FFFD in place
// of what could not be converted: it then names no file, and an open of it
// fails as for any missing file.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// The wide path for the file APIs. One whose full form is longer than they
// take (MAX_PATH) is given as that full form behind the "\\?\" prefix,
// which lifts the limit; short paths go as they are.
std::wstring SystemPath(const std::string& path);

}  // namespace ondavo

#endif  // ONDAVO_PLATFORM_WINDOWS_TEXT_H_
