// ondavo-cli: the converter for batch work and scripts.
//
//   ondavo-cli decode [options] PATH...   each FILE.DVR into FILE.WAV
//   ondavo-cli encode [options] PATH...   each FILE.pcm into FILE.DVR
//
// Exit status: 0 when every file finished (or was skipped), 1 when any
// failed, 2 for a usage error or a path the command refuses, 128 + the
// signal's number after a signal that stops the run (130 for Ctrl-C).
#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "batch.h"
#include "codec_binding.h"
#include "decode_command.h"
#include "encode_command.h"
#include "job_list.h"
#include "ondavo_version.h"
#include "process_setup.h"
#include "stop_signals.h"
#include "utf8_path.h"

namespace {

enum ExitStatus { kExitFinished = 0, kExitFailed = 1, kExitUsage = 2, kExitSignalled = 128 };

volatile std::sig_atomic_t g_stop_request = 0;
volatile std::sig_atomic_t g_stop_from_terminal = 0;

void InstallSignalHandlers() {
  ondavo::StopOnSignals(&g_stop_request, &g_stop_from_terminal);
}

// The arguments as given, in UTF-8 on Windows: its argv is in the ANSI code
// page, which cannot spell most names.
std::vector<std::string> Arguments([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#ifdef _WIN32
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return {};
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(ondavo::Utf8FromWide(wide[i]));
  ::LocalFree(wide);
  return args;
#else
  return std::vector<std::string>(argv, argv + argc);
#endif
}

#ifdef _WIN32
// The messages are UTF-8; a console shows them so only in that code page,
// which is the console's own setting, so it is put back at the end.
class ConsoleInUtf8 {
 public:
  ConsoleInUtf8() {
    DWORD mode;
    for (DWORD stream : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
      if (::GetConsoleMode(::GetStdHandle(stream), &mode)) before_ = ::GetConsoleOutputCP();
    }
    if (before_ != 0) ::SetConsoleOutputCP(CP_UTF8);
  }
  ~ConsoleInUtf8() {
    if (before_ != 0) ::SetConsoleOutputCP(before_);
  }

 private:
  UINT before_ = 0;
};
#endif

struct Settings {
  std::vector<std::string> paths;
  bool quiet = false;
  bool recursive = false;
  std::string output_root;
  bool no_clobber = false;
  bool force = false;
  bool keep_time = false;
  bool worker = false;
  int jobs = 1;
};

CLI::App* AddCommand(CLI::App& app, const char* name, const char* about, const char* files,
                     Settings* settings) {
  CLI::App* command = app.add_subcommand(name, about);
  command->add_option("PATH", settings->paths, files)->required();
  command->add_flag("-q,--quiet", settings->quiet,
                    "Print nothing but failures: no messages, counts or progress");
  command->add_flag("-r,--recursive", settings->recursive,
                    "Search folders among the paths for input files");
  command
      ->add_option("-o,--output-dir", settings->output_root,
                   "Put the outputs into DIR, mirroring the folders under -r")
      ->type_name("DIR");
  command->add_flag("-n,--no-clobber", settings->no_clobber, "Skip files whose output exists");
  command->add_option("-j,--jobs", settings->jobs, "Convert N files at once")
      ->type_name("N")
      ->check(CLI::Range(1, 256));
  command->add_flag("--keep-time", settings->keep_time,
                    "Give each output its input's modification time");
  // A worker of a parallel run where the system cannot copy a process: it
  // takes its files from standard input (see WorkerPool).
  command->add_flag("--worker", settings->worker)->group("");
  return command;
}

}  // namespace

int main(int argc, char** argv) {
  ondavo::PrepareProcess();
  InstallSignalHandlers();
#ifdef _WIN32
  ConsoleInUtf8 console;
#endif

  CLI::App app{
      "Converts coded voice recordings (.DVR) into WAV files, and raw PCM into coded "
      "records."};
  app.name("ondavo-cli");
  app.set_version_flag("--version", "ondavo-cli " ONDAVO_VERSION);
  app.require_subcommand(1);
  Settings settings;
  CLI::App* decode = AddCommand(app, "decode", "Decode each FILE.DVR into FILE.WAV",
                                "Coded voice files (.DVR), or folders with -r", &settings);
  decode->footer(
      "Each rec/a.DVR gives rec/a.WAV beside it (or in the -o folder): the file name is cut at "
      "its first dot and WAV put in its place, so rec/a.b.DVR also gives rec/a.WAV. An "
      "existing WAV is replaced unless -n is given. A last frame cut short is left out, with a "
      "warning.");
  CLI::App* encode =
      AddCommand(app, "encode", "Encode each FILE.pcm into 9-byte records in FILE.DVR",
                 "Raw 16-bit mono PCM files (.pcm), or folders with -r", &settings);
  // A .DVR file may be a recording: an encode replaces one only when told.
  encode->add_flag("-f,--force", settings.force, "Replace existing .DVR files");
  encode->footer(
      "Each rec/voice.pcm gives rec/voice.DVR beside it (or in the -o folder), the file name cut "
      "at its first dot: 9-byte records, one per 32 samples, with no header. decode does not "
      "read such a file; vek-codec unpack does. An existing .DVR file is never replaced "
      "without --force.");
  app.footer(
      "Exit status: 0 when every file finished or was skipped, 1 when any failed, 2 for a usage "
      "error or a refused path, 130 after Ctrl-C.\nThe codec library (" +
      std::string(ondavo::kCodecLibraryName) +
      ") is found through LD_LIBRARY_PATH, the program's own lib/ folder and the system.");
  std::vector<std::string> args = Arguments(argc, argv);
  if (args.empty()) {
    std::fprintf(stderr, "ondavo-cli: can't read the command line\n");
    return kExitUsage;
  }
  std::vector<char*> arg_pointers;
  for (std::string& arg : args) arg_pointers.push_back(arg.data());
  try {
    app.parse(static_cast<int>(arg_pointers.size()), arg_pointers.data());
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? kExitFinished : kExitUsage;
  }

  const bool decoding = decode->parsed();
  if (settings.force && settings.no_clobber) {
    std::fprintf(stderr, "ondavo-cli: --force and --no-clobber contradict each other\n");
    return kExitUsage;
  }
  ondavo::BindCodecLibrary();
  ondavo::BatchOptions options;
  options.command = decoding ? ondavo::DecodeCommand : ondavo::EncodeCommand;
  options.accepts = decoding ? ondavo::IsDecodeInput : ondavo::IsEncodeInput;
  options.output_extension = decoding ? "WAV" : "DVR";
  options.quiet = settings.quiet;
  if (settings.no_clobber) options.existing_output = ondavo::ExistingOutput::kSkip;
  if (settings.force) options.existing_output = ondavo::ExistingOutput::kReplace;
  options.keep_time = settings.keep_time;
  options.jobs = settings.jobs;
  options.stop_request = &g_stop_request;
  options.stop_from_terminal = &g_stop_from_terminal;
  if (settings.worker) {
    ondavo::ServeJobsOnStandardStreams(
        [&options](const ondavo::Job& job) { return ondavo::RunInWorker(job, options); });
  }

  std::vector<std::string> problems, notes;
  ondavo::JobListOptions list_options{settings.recursive, decoding ? ".DVR" : ".pcm",
                                      settings.output_root};
  std::vector<ondavo::Job> jobs = ondavo::ListJobs(settings.paths, list_options, &problems, &notes);
  for (const std::string& note : notes) std::fprintf(stderr, "%s\n", note.c_str());
  for (const std::string& problem : problems) std::fprintf(stderr, "%s\n", problem.c_str());
  ondavo::Tally tally = ondavo::RunBatch(jobs, options);
  tally.failed += static_cast<int>(problems.size());

  // Quiet, a run that went well says nothing at all.
  const bool several = jobs.size() + problems.size() > 1;
  const bool trouble = tally.failed + tally.refused > 0;
  if ((several && (!settings.quiet || trouble)) || g_stop_request) {
    std::fprintf(stderr, "%d converted, %d skipped, %d failed\n", tally.converted, tally.skipped,
                 tally.failed + tally.refused);
  }
  if (g_stop_request) return kExitSignalled + g_stop_request;
  if (tally.refused > 0) return kExitUsage;
  if (tally.failed > 0) return kExitFailed;
  return kExitFinished;
}
