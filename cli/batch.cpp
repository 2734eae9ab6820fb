#include "batch.h"

#include <algorithm>

#include "console.h"
#include "file_system.h"
#include "output_claims.h"
#include "path.h"
#include "terminal_host.h"
#include "worker_pool.h"

namespace ondavo {

namespace {

void Count(MessageKind kind, Tally* tally) {
  switch (kind) {
    case MessageKind::kFinished:
      ++tally->converted;
      break;
    case MessageKind::kSkipped:
      ++tally->skipped;
      break;
    case MessageKind::kRefused:
      ++tally->refused;
      break;
    case MessageKind::kFailed:
    case MessageKind::kWarning:  // never an outcome
      ++tally->failed;
      break;
  }
}

// The folder for `job`'s output as the conversion joins a name to it: it
// keeps a separator at the end and puts '/' otherwise, so the system's own
// goes there first.
std::string OutputFolder(const Job& job) {
  return job.output_folder.empty() ? job.output_folder : JoinPath(job.output_folder, "");
}

// One conversion, its messages on `out` and `err`.
MessageKind RunOne(const Job& job, const BatchOptions& options, std::FILE* out, std::FILE* err,
                   bool show_progress, bool show_counts) {
  FileSystem& files = *options.file_system;
  if (!job.output_folder.empty()) {
    if (int error = files.CreateFolders(job.output_folder)) {
      std::fprintf(err, "Can't create folder %s (%s)\n", job.output_folder.c_str(),
                   ErrorText(error).c_str());
      return MessageKind::kFailed;
    }
  }
  TerminalHost host(job.input, show_progress, options.quiet, out, err);
  ConversionOptions conversion;
  conversion.file_system = &files;
  conversion.frame_counts = show_counts ? out : nullptr;
  conversion.output_folder = OutputFolder(job);
  conversion.existing_output = options.existing_output;
  conversion.stop_request = options.stop_request;
  conversion.bitrate_kbit = options.bitrate_kbit;
  options.command->run(host, conversion);
  MessageKind outcome = host.outcome().value_or(MessageKind::kFailed);

  if (outcome == MessageKind::kFinished && options.keep_time) {
    std::string output = options.command->OutputPathFor(job.input, OutputFolder(job));
    if (int error = files.CopyModificationTime(job.input, output)) {
      std::fprintf(err, "Can't set the time of file %s (%s)\n", output.c_str(),
                   ErrorText(error).c_str());
      return MessageKind::kFailed;
    }
  }
  return outcome;
}

// The message that refuses `job` when its output is another input's of
// this run; empty when the output is free, and now `job`'s.
std::string ClaimOutput(const Job& job, const BatchOptions& options, OutputClaims* claims) {
  // A path the command refuses has no output; the command says so itself.
  if (!options.command->Accepts(job.input)) return {};
  return claims->Claim(job.input, options.command->OutputPathFor(job.input, OutputFolder(job)));
}

void Refuse(const std::string& refusal, Tally* tally) {
  std::fprintf(stderr, "%s\n", refusal.c_str());
  std::fflush(stderr);
  ++tally->failed;
}

}  // namespace

WorkResult RunInWorker(const Job& job, const BatchOptions& options) {
  WorkResult result;
  // A job that was waiting when the run was stopped is left alone, as a
  // serial run leaves the files after a stop.
  if (options.stop_request != nullptr && *options.stop_request != 0) {
    result.ran = false;
    return result;
  }
  CapturedStream out, err;
  const bool captured = out.file() != nullptr && err.file() != nullptr;
  if (captured)
    result.outcome = RunOne(job, options, out.file(), err.file(), false,
                            options.frame_counts.value_or(!options.quiet));
  result.out = out.Take();
  result.err = err.Take();
  if (!captured) result.err += "Can't convert file " + job.input + ": no room for its messages\n";
  return result;
}

namespace {

// A parallel run's progress on a terminal: the share of its files done,
// cleared before each message.
class RunProgress {
 public:
  RunProgress(bool shown, size_t files) : shown_(shown), files_(files) { Show(); }
  void Clear() {
    if (shown_) std::fputs("\r    \r", stderr);
  }
  void FileDone() {
    ++done_;
    Show();
  }

 private:
  void Show() {
    if (!shown_) return;
    std::fprintf(stderr, "\r%3d%%", static_cast<int>(done_ * 100 / files_));
    std::fflush(stderr);
  }

  bool shown_;
  size_t files_;
  size_t done_ = 0;
};

Tally RunInParallel(const std::vector<Job>& jobs, const BatchOptions& options, bool show_progress) {
  Tally tally;
  OutputClaims claims(options.file_system);
  std::string problem;
  WorkerPool pool(
      std::min<int>(options.jobs, static_cast<int>(jobs.size())),
      [&options](const Job& job) { return RunInWorker(job, options); },
      options.frame_counts.value_or(false), &problem);
  if (pool.size() == 0) {
    std::fprintf(stderr, "Can't start a process to convert in (%s)\n", problem.c_str());
    tally.failed += static_cast<int>(jobs.size());
    return tally;
  }
  RunProgress progress(show_progress, jobs.size());
  auto print = [&](const WorkResult& result) {
    progress.Clear();
    std::fwrite(result.out.data(), 1, result.out.size(), stdout);
    std::fflush(stdout);
    std::fwrite(result.err.data(), 1, result.err.size(), stderr);
    std::fflush(stderr);
    Count(result.outcome, &tally);
    progress.FileDone();
  };
  auto stopped = [&] { return options.stop_request != nullptr && *options.stop_request != 0; };
  size_t next = 0;
  for (;;) {
    int worker;
    while (!stopped() && next < jobs.size() && (worker = pool.WorkerWithRoom()) >= 0) {
      const Job& job = jobs[next++];
      const std::string refusal = ClaimOutput(job, options, &claims);
      if (refusal.empty()) {
        pool.Give(worker, job);
        continue;
      }
      progress.Clear();
      Refuse(refusal, &tally);
      progress.FileDone();
    }
    if (!pool.Busy()) break;
    Job job;
    WorkResult result;
    if (pool.Wait(&job, &result)) {
      if (result.ran) {
        print(result);
      } else {
        ++tally.not_started;
      }
    }
    // A stop is passed on whenever it came: while handing out jobs as well
    // as while waiting.
    if (stopped()) {
      pool.PassOnStop(options.stop_from_terminal != nullptr && *options.stop_from_terminal);
    }
  }
  if (stopped()) {
    tally.not_started += static_cast<int>(jobs.size() - next);
  } else {
    // Should every worker have gone, the files left are failures too.
    for (; next < jobs.size(); ++next) print(LostJob(jobs[next], "could not be started"));
  }
  progress.Clear();
  return tally;
}

}  // namespace

Tally RunBatch(const std::vector<Job>& jobs, const BatchOptions& options) {
  const bool show_progress = !options.quiet && IsTerminal(stderr);
  // On one terminal the counts would write over the progress: it shows alone.
  BatchOptions run = options;
  run.frame_counts = options.frame_counts.value_or(
      !options.quiet && !(show_progress && OutputAndErrorShareTerminal()));
  if (options.jobs > 1 && jobs.size() > 1) return RunInParallel(jobs, run, show_progress);
  Tally tally;
  OutputClaims claims(options.file_system);
  for (size_t i = 0; i < jobs.size(); ++i) {
    if (options.stop_request != nullptr && *options.stop_request != 0) {
      tally.not_started = static_cast<int>(jobs.size() - i);
      break;
    }
    const std::string refusal = ClaimOutput(jobs[i], options, &claims);
    if (!refusal.empty()) {
      Refuse(refusal, &tally);
      continue;
    }
    Count(RunOne(jobs[i], options, stdout, stderr, show_progress, *run.frame_counts), &tally);
  }
  return tally;
}

}  // namespace ondavo
