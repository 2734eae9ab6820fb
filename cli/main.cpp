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
#include <charconv>
#include <csignal>
#include <cstdint>
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
  std::string jobs = "1";
  intptr_t worker = 0;  // the run's process, to a worker started again
  bool worker_counts = false;
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
  command->add_option("-j,--jobs", settings->jobs, "Convert N files at once (1 to 256)")
      ->type_name("N");
  command->add_flag("--keep-time", settings->keep_time,
                    "Give each output its input's modification time");
  // A worker of a parallel run where the system cannot copy a process: it
  // takes its files from standard input (see WorkerPool).
  command->add_option("--worker", settings->worker)->group("");
  command->add_flag("--worker-counts", settings->worker_counts)->group("");
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
  // Options begin with '-' on every system: "/data/a.DVR" is a path. The
  // commands, added after, take this from the app.
  app.allow_windows_style_options(false);
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
#ifdef _WIN32
      ") is found in the program's own folder, then in the system's folders; never in the "
      "current folder.");
#else
      ") is found through LD_LIBRARY_PATH, the program's own lib/ folder and the system.");
#endif
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
    const std::string& first = args.size() > 1 ? args[1] : "";
    if (e.get_exit_code() != 0 && !first.empty() && first[0] != '-' && first != "decode" &&
        first != "encode") {
      app.exit(CLI::ValidationError("ondavo-cli: unknown command '" + first +
                                    "'; the commands are decode and encode"));
      return kExitUsage;
    }
    return app.exit(e) == 0 ? kExitFinished : kExitUsage;
  }

  const bool decoding = decode->parsed();
  const int jobs_at_once = JobCount(settings.jobs);
  if (jobs_at_once == 0) {
    std::fprintf(stderr, "ondavo-cli: --jobs takes a whole number from 1 to %d, not '%s'\n",
                 kMostJobs, settings.jobs.c_str());
    return kExitUsage;
  }
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
  options.jobs = jobs_at_once;
  options.stop_request = &g_stop_request;
  options.stop_from_terminal = &g_stop_from_terminal;
  if (settings.worker != 0) {
    options.frame_counts = settings.worker_counts;
    ondavo::ServeJobsOnStandardStreams(
        [&options](const ondavo::Job& job) { return ondavo::RunInWorker(job, options); },
        settings.worker, &g_stop_request);
  }

  ondavo::JobListOptions list_options;
  list_options.recursive = settings.recursive;
  list_options.extension = decoding ? ".DVR" : ".pcm";
  list_options.output_root = settings.output_root;
  list_options.refusal = decoding ? ondavo::kDecodeRefusal : ondavo::kEncodeRefusal;
  list_options.quiet = settings.quiet;
  const ondavo::JobList list = ondavo::ListJobs(settings.paths, list_options);
  for (const auto* messages : {&list.notes, &list.refusals, &list.failures}) {
    for (const std::string& message : *messages) std::fprintf(stderr, "%s\n", message.c_str());
  }
  ondavo::Tally tally = ondavo::RunBatch(list.jobs, options);
  tally.failed += static_cast<int>(list.failures.size());
  tally.refused += static_cast<int>(list.refusals.size());

  // Quiet, a run that went well says nothing at all.
  const bool several = list.jobs.size() + list.failures.size() + list.refusals.size() > 1;
  const bool trouble = tally.failed + tally.refused > 0;
  if ((several && (!settings.quiet || trouble)) || g_stop_request) {
    std::fprintf(stderr, "%d converted, %d skipped, %d failed", tally.converted, tally.skipped,
                 tally.failed + tally.refused);
    if (tally.not_started > 0) std::fprintf(stderr, ", %d not started", tally.not_started);
    std::fprintf(stderr, "\n");
  }
  if (g_stop_request) return kExitSignalled + g_stop_request;
  if (tally.refused > 0) return kExitUsage;
  if (tally.failed > 0) return kExitFailed;
  return kExitFinished;
}
