#include "output_claims.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>

#include "messages.h"
#include "utf8_path.h"

namespace ondavo {

namespace fs = std::filesystem;

namespace {

// Windows' file systems take names that differ only in case for one file:
// "Memo.WAV" and "memo.WAV" are one output there.
fs::path CaseFolded(fs::path path) {
#ifdef _WIN32
  std::wstring name = path.native();
  ::CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
  path = name;
#endif
  return path;
}

}  // namespace

std::string OutputClaims::Key(const std::string& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(PathFromUtf8(path), error);
  if (error) return Utf8FromPath(CaseFolded(PathFromUtf8(path).lexically_normal()));
  absolute = absolute.lexically_normal();
  fs::path folder = fs::weakly_canonical(absolute.parent_path(), error);
  if (error) return Utf8FromPath(CaseFolded(absolute));
  return Utf8FromPath(CaseFolded(folder / absolute.filename()));
}

std::string OutputClaims::Claim(const std::string& input, const std::string& output) {
  auto [it, taken] = first_input_.try_emplace(Key(output), input);
  if (taken) return {};
  return CollisionMessage(input, output, it->second);
}

}  // namespace ondavo
