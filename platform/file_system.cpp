#include "file_system.h"

#include "path.h"

namespace ondavo {

std::string TemporaryNameFor(const std::string& path, const std::string& unique) {
  size_t name_start = FileNameStart(path);
  return path.substr(0, path.find('.', name_start)) + ".ondavo-part-" + unique;
}

}  // namespace ondavo
