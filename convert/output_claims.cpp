#include "output_claims.h"

#include <filesystem>

#include "messages.h"
#include "path.h"

namespace ondavo {

namespace fs = std::filesystem;

// A folder whose file system cannot be asked is taken to tell case apart.
bool OutputClaims::IgnoresCase(const std::string& folder) {
  auto [known, added] = ignores_case_.try_emplace(folder, false);
  if (!added) return known->second;
  bool ignores = false;
  return known->second = files_->IgnoresCase(folder, &ignores) == 0 && ignores;
}

std::string OutputClaims::Key(const std::string& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(PathFromUtf8(path), error);
  if (error) return Utf8FromPath(PathFromUtf8(path).lexically_normal());
  absolute = absolute.lexically_normal();
  fs::path folder = fs::weakly_canonical(absolute.parent_path(), error);
  if (error) folder = absolute.parent_path();
  const std::string key = Utf8FromPath(folder / absolute.filename());
  return IgnoresCase(Utf8FromPath(folder)) ? FoldCase(key) : key;
}

std::string OutputClaims::Claim(const std::string& input, const std::string& output) {
  auto [it, taken] = first_input_.try_emplace(Key(output), input);
  if (taken) return {};
  return CollisionMessage(input, output, it->second);
}

}  // namespace ondavo
