#include "options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cstdio>

#include "codec_binding.h"
#include "decode_command.h"
#include "encoded_audio_writer.h"
#include "process_setup.h"
#include "console.h"
#include "ondavo_version.h"
#include "path.h"

namespace ondavo {

namespace {

// The options as given, before they are checked.
struct Settings {
  Invocation* invocation = nullptr;
  bool no_clobber = false;
  bool force = false;
  std::string jobs = "1";
  std::string format = "wav";
  std::string bitrate;
};

constexpr int kMostJobs = 256;

// The number of jobs `text` asks for; 0 unless it is a whole number from 1
// to kMostJobs.
int JobCount(const std::string& text) {
  int count = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, count);
  return error == std::errc() && stop == end && count >= 1 && count <= kMostJobs ? count : 0;
}

CLI::App* AddCommand(CLI::App& app, const Command& value, const char* about, const char* files,
                     Settings* settings) {
  Invocation* invocation = settings->invocation;
  CLI::App* command = app.add_subcommand(value.name, about);
  command->callback([invocation, &value] { invocation->command = &value; });
  command->add_option("PATH", invocation->paths, files)->required();
  command->add_flag("-q,--quiet", invocation->quiet,
                    "Print nothing but failures: no messages, counts or progress");
  command->add_flag("-r,--recursive", invocation->recursive,
                    "Search folders among the paths for input files");
  command
      ->add_option("-o,--output-dir", invocation->output_root,
                   "Put the outputs into DIR, mirroring the folders under -r")
      ->type_name("DIR");
  command->add_flag("-n,--no-clobber", settings->no_clobber, "Skip files whose output exists");
  command->add_option("-j,--jobs", settings->jobs, "Convert N files at once (1 to 256)")
      ->type_name("N");
  command->add_flag("--keep-time", invocation->keep_time,
                    "Give each output its input's modification time");
  // A worker of a parallel run where the system cannot copy a process: it
  // takes its files from standard input (see WorkerPool).
  command->add_option("--worker", invocation->worker)->group("");
  command->add_flag("--worker-counts", invocation->worker_counts)->group("");
  return command;
}

// What --format takes in this build, and what each gives.
std::string FormatHelp() {
  std::string help = "What to write: wav (the default), ";
  if (!FormatAvailable(AudioFormat::kFlac)) return help + "the only format of this build";
  return help +
         "flac (lossless, at the recording's rate), opus (Ogg Opus, at 8, 12, 16, 24 or 48 kHz) "
         "or mp3 (at the MPEG rates); opus and mp3 are resampled to the nearest rate they take. "
         "The outputs are named FILE.flac, FILE.opus and FILE.mp3, and carry the recording's "
         "name and time";
}

// The program's options and help texts.
void DefineOptions(CLI::App& app, Settings* settings) {
  app.name("ondavo-cli");
  app.description(
      "Converts coded voice recordings (.DVR) into WAV files, and raw PCM into coded "
      "records.");
  // Options begin with '-' on every system: "/data/a.DVR" is a path. The
  // commands, added after, take this from the app.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", "ondavo-cli " ONDAVO_VERSION);
  app.require_subcommand(1);
  CLI::App* decode = AddCommand(app, kDecode, "Decode each FILE.DVR into FILE.WAV",
                                "Coded voice files (.DVR), or folders with -r; - for standard "
                                "input, with -c",
                                settings);
  decode->add_option("--format", settings->format, FormatHelp())->type_name("FORMAT");
  decode
      ->add_option("--bitrate", settings->bitrate,
                   "The size of opus and mp3 outputs in kbit/s, the nearest the encoder can do "
                   "(when not given, about 16 for opus and 21 to 29 for mp3 on speech)")
      ->type_name("KBIT");
  decode->add_flag("-c,--stdout", settings->invocation->to_standard_output,
                   "Write the one output to standard output; every message goes to standard "
                   "error");
  decode->footer(
      "Each rec/a.DVR gives rec/a.WAV beside it (or in the -o folder): the file name is cut at "
      "its first dot and WAV put in its place, so rec/a.b.DVR also gives rec/a.WAV. An "
      "existing WAV is replaced unless -n is given. A last frame cut short is left out, with a "
      "warning.");
  CLI::App* encode =
      AddCommand(app, kEncode, "Encode each FILE.pcm into 9-byte records in FILE.DVR",
                 "Raw 16-bit mono PCM files (.pcm), or folders with -r", settings);
  // A .DVR file may be a recording: an encode replaces one only when told.
  encode->add_flag("-f,--force", settings->force, "Replace existing .DVR files");
  encode->footer(
      "Each rec/voice.pcm gives rec/voice.DVR beside it (or in the -o folder), the file name cut "
      "at its first dot: 9-byte records, one per 32 samples, with no header. decode does not "
      "read such a file; vek-codec unpack does. An existing .DVR file is never replaced "
      "without --force.");
  app.footer(
      "Exit status: 0 when every file finished or was skipped, 1 when any failed, 2 for a usage "
      "error or a refused path, 130 after Ctrl-C.\nThe codec library (" +
      std::string(kCodecLibraryName) + ") is found " + kLibrarySearch + ".");
}

// Refuses with a message, "ondavo-cli: " and `text`; the usage status.
int Refuse(const std::string& text) {
  std::fprintf(stderr, "ondavo-cli: %s\n", text.c_str());
  return kExitUsage;
}

// --format, --bitrate, -c and - : the decode's output and where it goes.
std::optional<int> CheckDecodeOptions(const Settings& settings) {
  Invocation& invocation = *settings.invocation;
  if (invocation.command != &kDecode) return std::nullopt;
  const std::optional<AudioFormat> format = FormatNamed(settings.format);
  if (!format || !FormatAvailable(*format)) {
    std::string names = "wav";
    if (FormatAvailable(AudioFormat::kFlac)) names = "wav, flac, opus or mp3";
    return Refuse("--format takes " + names + ", not '" + settings.format + "'");
  }
  invocation.format = *format;
  invocation.command = &DecodeCommandFor(*format);
  if (!settings.bitrate.empty()) {
    if (*format != AudioFormat::kOpus && *format != AudioFormat::kMp3)
      return Refuse("--bitrate sets the size of opus and mp3 files only");
    int kbit = 0;
    const char* end = settings.bitrate.data() + settings.bitrate.size();
    auto [stop, error] = std::from_chars(settings.bitrate.data(), end, kbit);
    if (error != std::errc() || stop != end || kbit < 6 || kbit > 320)
      return Refuse("--bitrate takes a whole number of kbit/s from 6 to 320, not '" +
                    settings.bitrate + "'");
    invocation.bitrate_kbit = kbit;
  }
  const bool reads_standard_input =
      std::find(invocation.paths.begin(), invocation.paths.end(), "-") != invocation.paths.end();
  if (!invocation.to_standard_output) {
    if (reads_standard_input)
      return Refuse("- reads a recording from standard input; it needs -c");
    return std::nullopt;
  }
  if (invocation.paths.size() != 1) return Refuse("-c takes one input");
  const std::pair<bool, const char*> conflicts[] = {
      {invocation.recursive, "-r"},     {!invocation.output_root.empty(), "-o"},
      {settings.no_clobber, "-n"},      {settings.jobs != "1", "-j"},
      {invocation.keep_time, "--keep-time"}};
  for (const auto& [given, name] : conflicts)
    if (given) return Refuse(std::string("-c does not go with ") + name);
  if (StandardOutputWasClosed())
    return Refuse("-c writes to standard output, which is closed");
  if (IsTerminal(stdout))
    return Refuse("-c does not write audio to a terminal; send it to a file or a pipe");
  return std::nullopt;
}

}  // namespace

std::optional<int> ReadCommandLine(int argc, char** argv, Invocation* invocation) {
  CLI::App app;
  Settings settings;
  settings.invocation = invocation;
  DefineOptions(app, &settings);
  std::vector<std::string> args = ProgramArguments(argc, argv).value_or(std::vector<std::string>());
  if (args.empty()) {
    std::fprintf(stderr, "ondavo-cli: can't read the command line\n");
    return kExitUsage;
  }
  std::vector<char*> arg_pointers;
  for (std::string& arg : args) arg_pointers.push_back(arg.data());
  try {
    app.parse(static_cast<int>(arg_pointers.size()), arg_pointers.data());
  } catch (const CLI::ParseError& e) {
    const std::string& first = args.size() > 1 ? args[1] : "";
    if (e.get_exit_code() != 0 && !first.empty() && first[0] != '-' && first != kDecode.name &&
        first != kEncode.name) {
      app.exit(CLI::ValidationError("ondavo-cli: unknown command '" + first +
                                    "'; the commands are decode and encode"));
      return kExitUsage;
    }
    return app.exit(e) == 0 ? kExitFinished : kExitUsage;
  }

  invocation->jobs = JobCount(settings.jobs);
  if (invocation->jobs == 0) {
    std::fprintf(stderr, "ondavo-cli: --jobs takes a whole number from 1 to %d, not '%s'\n",
                 kMostJobs, settings.jobs.c_str());
    return kExitUsage;
  }
  if (settings.force && settings.no_clobber) {
    std::fprintf(stderr, "ondavo-cli: --force and --no-clobber contradict each other\n");
    return kExitUsage;
  }
  if (std::optional<int> status = CheckDecodeOptions(settings)) return status;
  if (settings.no_clobber) invocation->existing_output = ExistingOutput::kSkip;
  if (settings.force) invocation->existing_output = ExistingOutput::kReplace;
  return std::nullopt;
}

}  // namespace ondavo
