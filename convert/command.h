// What a command is, in one value: which files it takes, what it names its
// output, what it needs of the codec, what it does about a file at the
// output's name, and how it runs. The window, the command line and the run's
// output claims all ask the value, so they never disagree.
#ifndef ONDAVO_CONVERT_COMMAND_H_
#define ONDAVO_CONVERT_COMMAND_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "codec_binding.h"
#include "conversion_host.h"
#include "conversion_options.h"
#include "file_system.h"

namespace ondavo {

struct Command {
  const char* name;          // as the command line spells it
  const char* input_marker;  // the chosen file's own name must contain this
  const char* refusal;       // shown when it does not
  const char* case_rule;     // added when it holds the marker in other letters
  const char* output_extension;
  CodecUse codec_use;
  ExistingOutput existing_output;  // the command's own rule
  // For kSkip: why the file at the output's name, `size` bytes long, is
  // left alone (a message pattern), or null when it is an unfinished output
  // of this command's, which a power cut can leave under the final name.
  const char* (*skip_message)(InputFile& earlier, uint64_t size);
  // The conversion: DecodeCommand or EncodeCommand.
  int (*run)(ConversionHost& host, const ConversionOptions& options);

  // False for a path the command refuses with RefusalFor(path). Only the
  // file's own name counts: a folder named rec.DVR makes no recording of
  // what it holds.
  bool Accepts(const std::string& path) const;
  std::string RefusalFor(const std::string& path) const;
  // The output of `input`, beside it or in `folder` (see OutputPathFor).
  std::string OutputPathFor(std::string_view input, std::string_view folder = {}) const;
};

// Each .DVR recording into a WAV file, and each .pcm file into a .DVR file
// of coded records; defined with their conversions.
extern const Command kDecode;
extern const Command kEncode;

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_COMMAND_H_
