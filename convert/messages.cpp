#include "messages.h"

#include "file_system.h"

namespace ondavo {

std::string FormatMessage(const char* pattern, const std::string& path) {
  std::string text = pattern;
  size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, path);
  return text;
}

std::string CantOpenMessage(const std::string& path, int error) {
  return FormatMessage(kCantOpenMessage, path) + "(" + ErrorText(error) + ")";
}

std::string IoFailureMessage(const char* verb, const std::string& path, int error) {
  return std::string("Can't ") + verb + " file " + path + " (" + ErrorText(error) + ")";
}

std::string NotARecordingMessage(const std::string& path, const std::string& why) {
  return "File " + path + " is not a coded voice recording (" + why + ")";
}

std::string CollisionMessage(const std::string& input, const std::string& output,
                             const std::string& first_input) {
  return "File " + input + " is not converted: its output " + output + " is that of " + first_input;
}

}  // namespace ondavo
