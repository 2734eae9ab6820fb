// The command line of ondavo-cli read into one value: the command chosen and
// its settings. The options' definitions and help texts are here.
#ifndef ONDAVO_CLI_OPTIONS_H_
#define ONDAVO_CLI_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio_format.h"
#include "command.h"

namespace ondavo {

enum ExitStatus { kExitFinished = 0, kExitFailed = 1, kExitUsage = 2, kExitSignalled = 128 };

struct Invocation {
  const Command* command = nullptr;
  std::vector<std::string> paths;
  bool quiet = false;
  bool recursive = false;
  std::string output_root;
  std::optional<ExistingOutput> existing_output;  // unset: the command's own rule
  bool keep_time = false;
  int jobs = 1;
  intptr_t worker = 0;  // the run's process, to a worker started again
  bool worker_counts = false;
  AudioFormat format = AudioFormat::kWav;  // decode's output
  int bitrate_kbit = 0;                    // Opus and MP3; 0 for their defaults
  bool to_standard_output = false;         // -c: the one output to standard output
};

// Reads the command line into `invocation`. The exit status when the program
// ends here: after --help or --version, or a usage error it has told.
std::optional<int> ReadCommandLine(int argc, char** argv, Invocation* invocation);

}  // namespace ondavo

#endif  // ONDAVO_CLI_OPTIONS_H_
