// Paths inside the program are std::string: UTF-8 on Windows, whatever the
// file names' bytes are on POSIX systems. These convert them where they
// meet the system, and find the parts of a path as the system reads it.
#ifndef ONDAVO_PLATFORM_PATH_H_
#define ONDAVO_PLATFORM_PATH_H_

#include <filesystem>
#include <string>
#include <string_view>

namespace ondavo {

// What ends a folder's name in a path: '/'; on Windows also '\\' and ':'.
extern const std::string_view kPathSeparators;
// The separator the system itself puts between a folder and a name.
extern const char kPreferredSeparator;

// Where the file's own name starts in `path`: after its last separator, or at 0.
size_t FileNameStart(std::string_view path);

// `name` in `folder`, as the user spelt the folder: a separator is added
// only where the folder does not already end in one.
std::string JoinPath(const std::string& folder, const std::string& name);

// `path` spelt so that names that differ only in case, where a file system
// takes them for one, compare equal: in upper case, on POSIX systems in
// ASCII letters only, as the FAT of a recorder's card keeps them.
std::string FoldCase(const std::string& path);

// On Windows a std::filesystem::path made from a std::string reads it in
// the C library's multibyte encoding (the ANSI code page, or narrower), in
// which most of the world's names have no spelling; these read UTF-8.
std::filesystem::path PathFromUtf8(const std::string& text);
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace ondavo

#endif  // ONDAVO_PLATFORM_PATH_H_
