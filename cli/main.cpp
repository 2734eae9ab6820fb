// ondavo-cli: the converter for batch work and scripts.
//
//   ondavo-cli decode [-q] FILE.DVR...   each into FILE.WAV beside it
//   ondavo-cli encode [-q] FILE.pcm...   each into FILE.DVR beside it
//
// Exit status: 0 when every file finished, 1 when any failed, 2 for a usage
// error or a path the command refuses.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "codec_binding.h"
#include "decode_command.h"
#include "encode_command.h"
#include "ondavo_version.h"
#include "terminal_host.h"

namespace {

enum ExitStatus { kExitFinished = 0, kExitFailed = 1, kExitUsage = 2 };

using Command = int (*)(ondavo::ConversionHost&, const ondavo::ConversionOptions&);

int RunEach(Command command, const std::vector<std::string>& files, bool quiet) {
  ondavo::ConversionOptions options;
  if (quiet) options.frame_counts = nullptr;
  const bool show_progress = !quiet && ::isatty(STDERR_FILENO);
  int status = kExitFinished;
  for (const std::string& file : files) {
    ondavo::TerminalHost host(file, show_progress);
    command(host, options);
    switch (host.outcome().value_or(ondavo::MessageKind::kFailed)) {
      case ondavo::MessageKind::kFinished:
        break;
      case ondavo::MessageKind::kRefused:
        status = kExitUsage;
        break;
      case ondavo::MessageKind::kFailed:
        if (status == kExitFinished) status = kExitFailed;
        break;
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit, a write should fail with EFBIG and be reported,
  // not kill the process and leave a header that lies.
  std::signal(SIGXFSZ, SIG_IGN);

  CLI::App app{
      "Converts coded voice recordings (.DVR) into WAV files, and raw PCM into coded records."};
  app.name("ondavo-cli");
  app.set_version_flag("--version", "ondavo-cli " ONDAVO_VERSION);
  app.require_subcommand(1);

  bool quiet = false;
  std::vector<std::string> decode_files;
  CLI::App* decode = app.add_subcommand("decode", "Decode FILE.DVR into FILE.WAV beside it");
  decode->add_flag("-q,--quiet", quiet, "No frame counts, no progress");
  decode->add_option("FILE", decode_files, "Coded voice files (.DVR)")->required();

  std::vector<std::string> encode_files;
  CLI::App* encode =
      app.add_subcommand("encode", "Encode FILE.pcm into 9-byte records in FILE.DVR");
  encode->add_flag("-q,--quiet", quiet, "No frame counts, no progress");
  encode->add_option("FILE", encode_files, "Raw 16-bit mono PCM files (.pcm)")->required();
  app.footer(
      "Exit status: 0 when every file finished, 1 when any failed, 2 for a usage error.\n"
      "The codec library (" +
      std::string(ondavo::kCodecLibraryName) +
      ") is found through LD_LIBRARY_PATH, the program's own lib/ folder and the system.");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? 0 : kExitUsage;
  }

  ondavo::BindCodecLibrary();
  if (*decode) return RunEach(ondavo::DecodeCommand, decode_files, quiet);
  return RunEach(ondavo::EncodeCommand, encode_files, quiet);
}
