// ondavo-cli: the converter for batch work and scripts.
//
//   ondavo-cli decode [options] PATH...   each FILE.DVR into FILE.WAV
//   ondavo-cli encode [options] PATH...   each FILE.pcm into FILE.DVR
//
// Exit status: 0 when every file finished (or was skipped), 1 when any
// failed, 2 for a usage error or a path the command refuses, 128 + the
// signal's number after a signal that stops the run (130 for Ctrl-C).
#include <csignal>
#include <cstdio>
#include <string>

#include "batch.h"
#include "codec_binding.h"
#include "console.h"
#include "job_list.h"
#include "options.h"
#include "process_setup.h"
#include "stop_signals.h"
#include "terminal_host.h"

namespace {

volatile std::sig_atomic_t g_stop_request = 0;
volatile std::sig_atomic_t g_stop_from_terminal = 0;

ondavo::BatchOptions BatchOptionsFor(const ondavo::Invocation& invocation) {
  ondavo::BatchOptions options;
  options.command = invocation.command;
  options.quiet = invocation.quiet;
  options.existing_output = invocation.existing_output;
  options.keep_time = invocation.keep_time;
  options.jobs = invocation.jobs;
  options.bitrate_kbit = invocation.bitrate_kbit;
  options.stop_request = &g_stop_request;
  options.stop_from_terminal = &g_stop_from_terminal;
  return options;
}

// Lists the files, converts them and says how the run went.
ondavo::Tally Run(const ondavo::Invocation& invocation, const ondavo::BatchOptions& options) {
  ondavo::JobListOptions list_options;
  list_options.command = invocation.command;
  list_options.recursive = invocation.recursive;
  list_options.output_root = invocation.output_root;
  list_options.quiet = invocation.quiet;
  const ondavo::JobList list = ondavo::ListJobs(invocation.paths, list_options);
  for (const auto* messages : {&list.notes, &list.refusals, &list.failures}) {
    for (const std::string& message : *messages) std::fprintf(stderr, "%s\n", message.c_str());
  }
  ondavo::Tally tally = ondavo::RunBatch(list.jobs, options);
  tally.failed += static_cast<int>(list.failures.size());
  tally.refused += static_cast<int>(list.refusals.size());

  // Quiet, a run that went well says nothing at all.
  const bool several = list.jobs.size() + list.failures.size() + list.refusals.size() > 1;
  const bool trouble = tally.failed + tally.refused > 0;
  if ((several && (!invocation.quiet || trouble)) || g_stop_request) {
    std::fprintf(stderr, "%d converted, %d skipped, %d failed", tally.converted, tally.skipped,
                 tally.failed + tally.refused);
    if (tally.not_started > 0) std::fprintf(stderr, ", %d not started", tally.not_started);
    std::fprintf(stderr, "\n");
  }
  return tally;
}

// -c: the one input's output to standard output, and every word on
// standard error, so that nothing but the audio reaches the pipe.
ondavo::Tally RunToStandardOutput(const ondavo::Invocation& invocation) {
  ondavo::TerminalHost host(invocation.paths.front(),
                            !invocation.quiet && ondavo::IsTerminal(stderr), invocation.quiet,
                            stderr, stderr);
  ondavo::ConversionOptions options;
  options.frame_counts = nullptr;  // the progress tells as much on a terminal
  options.to_standard_output = true;
  options.bitrate_kbit = invocation.bitrate_kbit;
  options.stop_request = &g_stop_request;
  invocation.command->run(host, options);
  ondavo::Tally tally;
  switch (host.outcome().value_or(ondavo::MessageKind::kFailed)) {
    case ondavo::MessageKind::kFinished:
      ++tally.converted;
      break;
    case ondavo::MessageKind::kRefused:
      ++tally.refused;
      break;
    default:
      ++tally.failed;
  }
  return tally;
}

}  // namespace

int main(int argc, char** argv) {
  ondavo::PrepareProcess();
  ondavo::StopOnSignals(&g_stop_request, &g_stop_from_terminal);
  ondavo::ConsoleInUtf8 console;
  ondavo::Invocation invocation;
  if (std::optional<int> status = ondavo::ReadCommandLine(argc, argv, &invocation)) return *status;

  ondavo::BindCodecLibrary();
  ondavo::BatchOptions options = BatchOptionsFor(invocation);
  if (invocation.worker != 0) {
    options.frame_counts = invocation.worker_counts;
    ondavo::ServeJobsOnStandardStreams(
        [&options](const ondavo::Job& job) { return ondavo::RunInWorker(job, options); },
        invocation.worker);
  }
  const ondavo::Tally tally = invocation.to_standard_output ? RunToStandardOutput(invocation)
                                                            : Run(invocation, options);
  if (g_stop_request) return ondavo::kExitSignalled + g_stop_request;
  if (tally.refused > 0) return ondavo::kExitUsage;
  if (tally.failed > 0) return ondavo::kExitFailed;
  return ondavo::kExitFinished;
}
