// unpack: a stream of 9-byte records back into raw 16-bit little-endian PCM.
#include <cstdint>
#include <string>
#include <vector>

#include "codec_library.h"
#include "commands.h"
#include "tool_files.h"
#include "vek.h"

namespace vek {

void RunUnpack(const std::vector<std::string>& args) {
  bool force = false;
  std::vector<std::string> paths;
  for (const std::string& arg : args) {
    if (arg == "--force") {
      force = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError("unknown option '" + arg + "'");
    } else {
      paths.push_back(arg);
    }
  }
  if (paths.size() != 2) throw UsageError("unpack needs an input and an output file");
  const std::string& input_path = paths[0];
  const std::string& output_path = paths[1];

  const ToolFiles files(input_path, output_path, force);
  const std::vector<uint8_t> input = files.ReadInput();
  // A cut-off record means a damaged or wrong file: better to say so than to
  // hand back most of it as if nothing were wrong.
  if (const size_t extra = input.size() % kVekRecordBytes; extra != 0) {
    throw CodecError(input_path + " ends in a partial record (" + std::to_string(extra) +
                     " bytes after the last whole one); nothing written");
  }

  const auto init_dsp_regs = VEK_ENTRY_POINT(vVek_Init_Dsp_Regs);
  const auto init_decoder = VEK_ENTRY_POINT(vVek_Init_Decoder);
  const auto decode_record = VEK_ENTRY_POINT(vVek_Decode_Record);

  std::vector<uint8_t> output;
  output.reserve(input.size() / kVekRecordBytes * kVekBlockSamples * 2);
  init_dsp_regs();
  init_decoder();
  for (size_t offset = 0; offset < input.size(); offset += kVekRecordBytes) {
    short pcm[kVekBlockSamples];
    decode_record(input.data() + offset, pcm);
    for (short sample : pcm) {
      const auto bits = static_cast<uint16_t>(sample);
      output.push_back(static_cast<uint8_t>(bits & 0xFF));
      output.push_back(static_cast<uint8_t>(bits >> 8));
    }
  }
  files.WriteOutput(output);
}

}  // namespace vek
