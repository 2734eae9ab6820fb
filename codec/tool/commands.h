// The vek-codec subcommands. Each takes the arguments after its name, throws
// UsageError for bad arguments and FileError or CodecError when the work
// itself fails.
#ifndef ONDAVO_CODEC_TOOL_COMMANDS_H_
#define ONDAVO_CODEC_TOOL_COMMANDS_H_

#include <stdexcept>
#include <string>
#include <vector>

namespace vek {

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class CodecError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// pack [--mode high|mid|low|vbr] [--rate HZ] IN.pcm OUT.DVR
void RunPack(const std::vector<std::string>& args);

// unpack IN.DVR OUT.pcm
void RunUnpack(const std::vector<std::string>& args);

}  // namespace vek

#endif  // ONDAVO_CODEC_TOOL_COMMANDS_H_
