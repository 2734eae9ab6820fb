#include "file_system.h"

#include <cstring>

#include "output_name.h"

namespace ondavo {

std::string ErrorText(int error) {
  if (error == kNotRegularFile) return "Not a regular file";
  return std::strerror(error);
}

std::string TemporaryNameFor(const std::string& path, const std::string& unique) {
  size_t name_start = FileNameStart(path);
  return path.substr(0, path.find('.', name_start)) + ".ondavo-part-" + unique;
}

}  // namespace ondavo
