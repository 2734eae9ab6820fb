#include "batch.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>

#include "output_claims.h"
#include "output_name.h"
#include "terminal_host.h"

namespace ondavo {

namespace fs = std::filesystem;

namespace {

// How a child process tells its parent the way its conversion ended.
enum ChildStatus { kChildFinished = 0, kChildFailed = 1, kChildRefused = 2, kChildSkipped = 3 };

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

// One conversion, its messages on `out` and `err`.
MessageKind RunOne(const Job& job, const BatchOptions& options, std::FILE* out, std::FILE* err,
                   bool show_progress, bool show_counts) {
  if (!job.output_folder.empty()) {
    std::error_code error;
    fs::create_directories(job.output_folder, error);
    if (error) {
      std::fprintf(err, "Can't create folder %s (%s)\n", job.output_folder.c_str(),
                   error.message().c_str());
      return MessageKind::kFailed;
    }
  }
  TerminalHost host(job.input, show_progress, options.quiet, out, err);
  ConversionOptions conversion;
  conversion.frame_counts = show_counts ? out : nullptr;
  conversion.output_folder = job.output_folder;
  conversion.existing_output = options.existing_output;
  conversion.stop_request = options.stop_request;
  options.command(host, conversion);
  MessageKind outcome = host.outcome().value_or(MessageKind::kFailed);

  if (outcome == MessageKind::kFinished && options.keep_time) {
    std::string output = OutputPathFor(job.input, options.output_extension, job.output_folder);
    std::error_code error;
    fs::last_write_time(output, fs::last_write_time(job.input, error), error);
    if (error) {
      std::fprintf(err, "Can't set the time of file %s (%s)\n", output.c_str(),
                   error.message().c_str());
      return MessageKind::kFailed;
    }
  }
  return outcome;
}

// Standard output and standard error are one terminal.
bool SameTerminal() {
  struct stat out, err;
  return ::isatty(STDOUT_FILENO) && ::isatty(STDERR_FILENO) && ::fstat(STDOUT_FILENO, &out) == 0 &&
         ::fstat(STDERR_FILENO, &err) == 0 && out.st_rdev == err.st_rdev;
}

bool CopyStream(std::FILE* from, std::FILE* to) {
  std::rewind(from);
  char buffer[8192];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, from)) > 0) {
    if (std::fwrite(buffer, 1, n, to) != n) return false;
  }
  return std::fflush(to) == 0;
}

// False when `job`'s output is another input's of this run; the failure is
// then told and counted.
bool ClaimOutput(const Job& job, const BatchOptions& options, OutputClaims* claims, Tally* tally) {
  // A path the command refuses has no output; the command says so itself.
  if (options.accepts == nullptr || !options.accepts(job.input)) return true;
  std::string refusal = claims->Claim(
      job.input, OutputPathFor(job.input, options.output_extension, job.output_folder));
  if (refusal.empty()) return true;
  std::fprintf(stderr, "%s\n", refusal.c_str());
  std::fflush(stderr);
  ++tally->failed;
  return false;
}

struct Child {
  std::FILE* out;
  std::FILE* err;
};

Tally RunInParallel(const std::vector<Job>& jobs, const BatchOptions& options) {
  Tally tally;
  OutputClaims claims;
  std::map<pid_t, Child> running;
  size_t next = 0;
  bool forwarded = false;
  auto stopped = [&] { return options.stop_request != nullptr && *options.stop_request != 0; };
  while (next < jobs.size() || !running.empty()) {
    while (!stopped() && next < jobs.size() && static_cast<int>(running.size()) < options.jobs) {
      if (!ClaimOutput(jobs[next], options, &claims, &tally)) {
        ++next;
        continue;
      }
      Child child{std::tmpfile(), std::tmpfile()};
      if (child.out == nullptr || child.err == nullptr) {
        std::fprintf(stderr, "Can't create a temporary file (%s)\n", std::strerror(errno));
        ++tally.failed;
        ++next;
        continue;
      }
      std::fflush(nullptr);
      pid_t pid = ::fork();
      if (pid == 0) {
        MessageKind kind = RunOne(jobs[next], options, child.out, child.err, false, !options.quiet);
        std::fflush(nullptr);
        ::_exit(kind == MessageKind::kFinished  ? kChildFinished
                : kind == MessageKind::kSkipped ? kChildSkipped
                : kind == MessageKind::kRefused ? kChildRefused
                                                : kChildFailed);
      }
      if (pid < 0) {
        std::fprintf(stderr, "Can't start a process for %s (%s)\n", jobs[next].input.c_str(),
                     std::strerror(errno));
        std::fclose(child.out);
        std::fclose(child.err);
        ++tally.failed;
      } else {
        running[pid] = child;
      }
      ++next;
    }
    if (running.empty()) break;

    int status = 0;
    pid_t pid = ::waitpid(-1, &status, 0);
    if (pid < 0) {
      if (errno == EINTR) {
        // Ctrl-C from a terminal reaches the children too, and a second
        // signal would end them at once; a signal sent to this process
        // alone is passed on.
        if (stopped() && !forwarded &&
            (options.stop_from_terminal == nullptr || !*options.stop_from_terminal)) {
          for (auto& [child_pid, child] : running) ::kill(child_pid, SIGINT);
          forwarded = true;
        }
        continue;
      }
      break;
    }
    auto it = running.find(pid);
    if (it == running.end()) continue;
    bool copied = CopyStream(it->second.out, stdout) && CopyStream(it->second.err, stderr);
    std::fclose(it->second.out);
    std::fclose(it->second.err);
    running.erase(it);
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : kChildFailed;
    if (!copied) code = kChildFailed;
    Count(code == kChildFinished  ? MessageKind::kFinished
          : code == kChildSkipped ? MessageKind::kSkipped
          : code == kChildRefused ? MessageKind::kRefused
                                  : MessageKind::kFailed,
          &tally);
  }
  return tally;
}

}  // namespace

Tally RunBatch(const std::vector<Job>& jobs, const BatchOptions& options) {
  if (options.jobs > 1 && jobs.size() > 1) return RunInParallel(jobs, options);
  Tally tally;
  OutputClaims claims;
  const bool show_progress = !options.quiet && ::isatty(STDERR_FILENO);
  // On one terminal the counts would write over the progress: it shows alone.
  const bool show_counts = !options.quiet && !(show_progress && SameTerminal());
  for (const Job& job : jobs) {
    if (options.stop_request != nullptr && *options.stop_request != 0) break;
    if (!ClaimOutput(job, options, &claims, &tally)) continue;
    Count(RunOne(job, options, stdout, stderr, show_progress, show_counts), &tally);
  }
  return tally;
}

}  // namespace ondavo
