// vek-codec: packs raw PCM into coded voice files and unpacks records, for
// tests, samples and demos.
#include <cstdio>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "commands.h"
#include "console.h"
#include "process_setup.h"
#include "stop_signals.h"

namespace {

constexpr char kUsage[] =
    "usage: vek-codec pack [--mode high|mid|low|vbr] [--rate HZ] [--force] IN.pcm OUT.DVR\n"
    "       vek-codec unpack [--force] IN.DVR OUT.pcm\n"
    "       vek-codec --help\n";

constexpr char kHelp[] =
    "\n"
    "pack    codes raw 16-bit little-endian mono PCM (8 kHz) into a coded voice\n"
    "        file: a 14-byte header, then one frame per 160 samples. The last\n"
    "        partial frame is padded with zeros.\n"
    "        --mode high  24-byte frames (the default)\n"
    "        --mode mid   18-byte frames\n"
    "        --mode low   11-byte frames\n"
    "        --mode vbr   per frame: 2 bytes for digital silence, 4 for steady\n"
    "                     background noise, 24/18 for speech by loudness\n"
    "        --rate HZ    the sample rate written into the header (default 8000)\n"
    "\n"
    "unpack  decodes a stream of 9-byte records (32 samples each, no header)\n"
    "        into raw 16-bit little-endian PCM. A trailing partial record is an\n"
    "        error, and then nothing is written.\n"
    "\n"
    "Inputs must be regular files. An output name that is taken is refused\n"
    "unless --force is given; then a regular file or a symbolic link there is\n"
    "replaced (the link itself, not what it points to), but not a read-only\n"
    "file. The output may not be the input. It is written beside it under a\n"
    "temporary name (NAME.ondavo-part-*, NAME the output's up to its first dot)\n"
    "and renamed into place when complete; a failure leaves an earlier file of\n"
    "its name alone.\n"
    "\n"
    "The codec library is loaded when pack or unpack needs it, from where\n"
    "ondavo-cli loads it, never from the current folder.\n"
    "\n"
    "Exit status: 0 on success, 1 if the work failed, 2 for a usage error.\n";

}  // namespace

int main(int argc, char** argv) {
  ondavo::PrepareProcess();
  // A signal that ends the program removes the output it was writing.
  ondavo::EndOnSignals();
  try {
    std::optional<std::vector<std::string>> program_args = ondavo::ProgramArguments(argc, argv);
    if (!program_args || program_args->empty())
      throw std::runtime_error("cannot read the command line");
    const std::vector<std::string> args(program_args->begin() + 1, program_args->end());
    for (const std::string& arg : args) {
      if (arg != "--help" && arg != "-h") continue;
      std::fputs(kUsage, stdout);
      std::fputs(kHelp, stdout);
      return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    if (args.empty()) throw vek::UsageError("no command given");
    const std::vector<std::string> command_args(args.begin() + 1, args.end());
    if (args[0] == "pack") {
      vek::RunPack(command_args);
    } else if (args[0] == "unpack") {
      vek::RunUnpack(command_args);
    } else {
      throw vek::UsageError("unknown command '" + args[0] + "'");
    }
  } catch (const vek::UsageError& error) {
    std::fprintf(stderr, "vek-codec: %s\n%s", error.what(), kUsage);
    return 2;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vek-codec: %s\n", error.what());
    return 1;
  }
  return 0;
}
