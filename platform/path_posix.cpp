#include "path.h"

namespace ondavo {

const std::string_view kPathSeparators = "/";
const char kPreferredSeparator = '/';

std::string FoldCase(const std::string& path) {
  std::string folded = path;
  for (char& c : folded) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return folded;
}

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(text);
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  return path.string();
}

}  // namespace ondavo
