#include "output_claims.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cctype>
#include <filesystem>
#include <set>

#include "messages.h"
#include "path.h"

namespace ondavo {

namespace fs = std::filesystem;

namespace {

// Names that differ only in case as one name: in upper case, ASCII letters
// only off Windows, as a FAT card formatted by a recorder keeps them.
fs::path CaseFolded(fs::path path) {
#ifdef _WIN32
  std::wstring name = path.native();
  ::CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
  return name;
#else
  std::string name = path.native();
  for (char& c : name) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return name;
#endif
}

#ifndef _WIN32
std::string OtherCase(std::string name) {
  for (char& c : name)
    c = std::isalpha(static_cast<unsigned char>(c)) ? static_cast<char>(c ^ 0x20) : c;
  return name;
}
#endif

}  // namespace

// Windows' file systems all ignore case. Elsewhere a folder's file system
// does when a name it lists is found spelt in another case that it does not
// list; asked of the nearest folder that exists and lists a name with a letter.
bool OutputClaims::IgnoresCase(const std::string& folder) {
#ifdef _WIN32
  (void)folder;
  return true;
#else
  auto [known, added] = ignores_case_.try_emplace(folder, false);
  if (!added) return known->second;
  std::error_code error;
  for (fs::path at = folder; !at.empty(); at = at.parent_path()) {
    std::set<std::string> names;
    for (fs::directory_iterator it(at, error), end; !error && it != end; it.increment(error))
      names.insert(it->path().filename().native());
    for (const std::string& name : names) {
      const std::string other = OtherCase(name);
      if (other != name && names.count(other) == 0)
        return known->second = fs::exists(at / other, error);
    }
    if (at == at.parent_path()) break;
  }
  return false;
#endif
}

std::string OutputClaims::Key(const std::string& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(PathFromUtf8(path), error);
  if (error) return Utf8FromPath(PathFromUtf8(path).lexically_normal());
  absolute = absolute.lexically_normal();
  fs::path folder = fs::weakly_canonical(absolute.parent_path(), error);
  if (error) folder = absolute.parent_path();
  fs::path key = folder / absolute.filename();
  return Utf8FromPath(IgnoresCase(Utf8FromPath(folder)) ? CaseFolded(key) : key);
}

std::string OutputClaims::Claim(const std::string& input, const std::string& output) {
  auto [it, taken] = first_input_.try_emplace(Key(output), input);
  if (taken) return {};
  return CollisionMessage(input, output, it->second);
}

}  // namespace ondavo
