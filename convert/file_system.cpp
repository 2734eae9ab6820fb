#include "file_system.h"

#include <cstring>

namespace ondavo {

std::string ErrorText(int error) {
  if (error == kNotRegularFile) return "Not a regular file";
  return std::strerror(error);
}

std::string TemporaryNameFor(const std::string& path, const std::string& unique) {
#if defined(_WIN32)
  size_t name_start = path.find_last_of("/\\:");
#else
  size_t name_start = path.find_last_of('/');
#endif
  name_start = name_start == std::string::npos ? 0 : name_start + 1;
  return path.substr(0, path.find('.', name_start)) + ".ondavo-part-" + unique;
}

}  // namespace ondavo
