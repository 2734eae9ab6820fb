#include "output_name.h"

namespace ondavo {

namespace {

#if defined(_WIN32)
constexpr std::string_view kSeparators = "/\\:";
#else
constexpr std::string_view kSeparators = "/";
#endif

}  // namespace

size_t FileNameStart(std::string_view path) {
  size_t last = path.find_last_of(kSeparators);
  return last == std::string_view::npos ? 0 : last + 1;
}

std::string OutputPathFor(std::string_view input, std::string_view extension,
                          std::string_view folder) {
  size_t name_start = FileNameStart(input);
  size_t dot = input.find('.', name_start);
  std::string output;
  if (folder.empty()) {
    output = input.substr(0, dot);
  } else {
    output = folder;
    if (kSeparators.find(output.back()) == std::string_view::npos) output += '/';
    output += input.substr(name_start, dot == std::string_view::npos ? dot : dot - name_start);
  }
  output += '.';
  output += extension;
  return output;
}

}  // namespace ondavo
