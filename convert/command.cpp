#include "command.h"

#include <algorithm>
#include <cctype>

#include "output_name.h"
#include "path.h"

namespace ondavo {

namespace {

std::string AsciiLower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

bool Command::Accepts(const std::string& path) const {
  return path.find(input_marker, FileNameStart(path)) != std::string::npos;
}

std::string Command::RefusalFor(const std::string& path) const {
  // a.dvr for a.DVR: say what is missing, since the name looks right.
  std::string name = AsciiLower(path.substr(FileNameStart(path)));
  if (name.find(AsciiLower(input_marker)) == std::string::npos) return refusal;
  return std::string(refusal) + "\n" + case_rule;
}

std::string Command::OutputPathFor(std::string_view input, std::string_view folder) const {
  return ondavo::OutputPathFor(input, output_extension, folder);
}

}  // namespace ondavo
