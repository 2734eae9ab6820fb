#include "output_claims.h"

#include <filesystem>

#include "messages.h"
#include "utf8_path.h"

namespace ondavo {

namespace fs = std::filesystem;

std::string OutputClaims::Key(const std::string& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(PathFromUtf8(path), error);
  if (error) return Utf8FromPath(PathFromUtf8(path).lexically_normal());
  absolute = absolute.lexically_normal();
  fs::path folder = fs::weakly_canonical(absolute.parent_path(), error);
  if (error) return Utf8FromPath(absolute);
  return Utf8FromPath(folder / absolute.filename());
}

std::string OutputClaims::Claim(const std::string& input, const std::string& output) {
  auto [it, taken] = first_input_.try_emplace(Key(output), input);
  if (taken) return {};
  return CollisionMessage(input, output, it->second);
}

}  // namespace ondavo
