#include "path.h"

namespace ondavo {

size_t FileNameStart(std::string_view path) {
  size_t last = path.find_last_of(kPathSeparators);
  return last == std::string_view::npos ? 0 : last + 1;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && kPathSeparators.find(folder.back()) != std::string_view::npos) {
    return folder + name;
  }
  return folder + kPreferredSeparator + name;
}

}  // namespace ondavo
