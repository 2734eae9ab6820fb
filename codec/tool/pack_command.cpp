// pack: raw 16-bit little-endian mono PCM into a coded voice file.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codec_library.h"
#include "commands.h"
#include "dvr_format.h"
#include "tool_files.h"
#include "vbr_frame_chooser.h"
#include "vek.h"

namespace vek {
namespace {

enum class PackMode { kHigh, kMid, kLow, kVbr };

constexpr int kDefaultRate = 8000;

struct PackOptions {
  PackMode mode = PackMode::kHigh;
  int rate = kDefaultRate;
  bool force = false;
  std::string input;
  std::string output;
};

PackMode ParseMode(const std::string& text) {
  if (text == "high") return PackMode::kHigh;
  if (text == "mid") return PackMode::kMid;
  if (text == "low") return PackMode::kLow;
  if (text == "vbr") return PackMode::kVbr;
  throw UsageError("unknown mode '" + text + "' (use high, mid, low or vbr)");
}

int ParseRate(const std::string& text) {
  int rate = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rate);
  if (error != std::errc() || end != text.data() + text.size() || rate < 1 || rate > 65535) {
    throw UsageError("bad rate '" + text + "' (want 1 to 65535 Hz)");
  }
  return rate;
}

// Accepts "--name value" and "--name=value"; returns the value if args[*i]
// is that option, advancing *i past what it used.
std::optional<std::string> TakeOption(const std::vector<std::string>& args, size_t* i,
                                      const std::string& name) {
  const std::string& arg = args[*i];
  if (arg == name) {
    if (*i + 1 >= args.size()) throw UsageError(name + " needs a value");
    *i += 1;
    return args[*i];
  }
  if (arg.starts_with(name + "=")) return arg.substr(name.size() + 1);
  return std::nullopt;
}

PackOptions ParsePackArgs(const std::vector<std::string>& args) {
  PackOptions options;
  std::vector<std::string> paths;
  for (size_t i = 0; i < args.size(); ++i) {
    if (auto mode = TakeOption(args, &i, "--mode")) {
      options.mode = ParseMode(*mode);
    } else if (auto rate = TakeOption(args, &i, "--rate")) {
      options.rate = ParseRate(*rate);
    } else if (args[i] == "--force") {
      options.force = true;
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      throw UsageError("unknown option '" + args[i] + "'");
    } else {
      paths.push_back(args[i]);
    }
  }
  if (paths.size() != 2) throw UsageError("pack needs an input and an output file");
  options.input = paths[0];
  options.output = paths[1];
  return options;
}

int FixedFrameType(PackMode mode) {
  switch (mode) {
    case PackMode::kMid:
      return kVekFrameMid;
    case PackMode::kLow:
      return kVekFrameLow;
    default:
      return kVekFrameHigh;
  }
}

}  // namespace

void RunPack(const std::vector<std::string>& args) {
  const PackOptions options = ParsePackArgs(args);
  const ToolFiles files(options.input, options.output, options.force);
  const std::vector<uint8_t> input = files.ReadInput();
  const auto init_dsp_regs = VEK_ENTRY_POINT(vVek_Init_Dsp_Regs);
  const auto init_encoder = VEK_ENTRY_POINT(vVek_Init_Encoder);
  const auto encode_frame = VEK_ENTRY_POINT(vVek_Encode_Frame);

  const auto header = MakeDvrHeader(options.rate);
  std::vector<uint8_t> output(header.begin(), header.end());
  init_dsp_regs();
  init_encoder();
  // The samples, the last frame padded with zeros, and after it the zeros the
  // codec reads ahead of the last frame.
  const size_t frames = (input.size() + 2 * kVekFrameSamples - 1) / (2 * kVekFrameSamples);
  std::vector<short> pcm(frames * kVekFrameSamples + kVekFrameLookahead);
  for (size_t byte = 0; byte < input.size(); ++byte) {
    pcm[byte / 2] = static_cast<short>(pcm[byte / 2] | input[byte] << (8 * (byte % 2)));
  }
  VbrFrameChooser chooser;
  for (size_t n = 0; n < frames; ++n) {
    short* frame_pcm = &pcm[n * kVekFrameSamples];
    const int type =
        options.mode == PackMode::kVbr ? chooser.Choose(frame_pcm) : FixedFrameType(options.mode);
    unsigned char frame[kVekMaxFrameBytes];
    const int length = encode_frame(frame_pcm, type, frame);
    if (length <= 0) {
      throw CodecError("the codec could not encode frame " + std::to_string(n) + " of " +
                       options.input);
    }
    output.insert(output.end(), frame, frame + length);
  }
  files.WriteOutput(output);
}

}  // namespace vek
