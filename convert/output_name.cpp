#include "output_name.h"

#include "path.h"

namespace ondavo {

std::string OutputPathFor(std::string_view input, std::string_view extension,
                          std::string_view folder) {
  size_t name_start = FileNameStart(input);
  size_t dot = input.find('.', name_start);
  std::string output;
  if (folder.empty()) {
    output = input.substr(0, dot);
  } else {
    output = folder;
    if (kPathSeparators.find(output.back()) == std::string_view::npos) output += '/';
    output += input.substr(name_start, dot == std::string_view::npos ? dot : dot - name_start);
  }
  output += '.';
  output += extension;
  return output;
}

}  // namespace ondavo
