// How a conversion is carried out, beyond what its host supplies: where the
// files are, where the output goes, what becomes of an output that exists,
// and how the run is asked to stop.
#ifndef ONDAVO_CONVERT_CONVERSION_OPTIONS_H_
#define ONDAVO_CONVERT_CONVERSION_OPTIONS_H_

#include <csignal>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "file_system.h"

namespace ondavo {

// What a conversion does when its output's name is taken.
enum class ExistingOutput {
  kReplace,  // replace it once the new output is whole
  kSkip,     // leave it, and skip the run
  kRefuse,   // leave it, and fail
  kAsk,      // ask `confirm_replace`: replace on yes, do nothing on no
};

// Every member has its default, so a caller names only those it sets:
// `{.frame_counts = nullptr}`.
struct ConversionOptions {
  FileSystem* file_system = DefaultFileSystem();
  // Where the "%d frames\r" counts go; null silences them.
  std::FILE* frame_counts = stdout;
  // When set, the output goes into this folder instead of beside the input.
  std::string output_folder = {};
  // Unset: the command's own rule. A decode replaces an earlier WAV; an
  // encode never replaces a file, which may be a recording.
  std::optional<ExistingOutput> existing_output = {};
  // For kAsk: true to replace the file named.
  std::function<bool(const std::string& output)> confirm_replace = {};
  // When set and it turns non-zero, the run stops after the current frame
  // and writes nothing. Set from a signal handler, hence the type.
  const volatile std::sig_atomic_t* stop_request = nullptr;
  // The output goes to standard output, as it is made, instead of a file;
  // an input path of "-" is read from standard input.
  bool to_standard_output = false;
  // The size of a lossy output (Ogg Opus, MP3) in kbit/s; 0 for the default.
  int bitrate_kbit = 0;
};

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_CONVERSION_OPTIONS_H_
