#include "output_name.h"

namespace ondavo {

namespace {

#if defined(_WIN32)
constexpr std::string_view kSeparators = "/\\:";
#else
constexpr std::string_view kSeparators = "/";
#endif

}  // namespace

std::string OutputPathFor(std::string_view input, std::string_view extension,
                          std::string_view folder) {
  size_t name_start = input.find_last_of(kSeparators);
  name_start = name_start == std::string_view::npos ? 0 : name_start + 1;
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
