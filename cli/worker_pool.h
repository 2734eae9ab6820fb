// Conversions side by side: a pool of worker processes, started once for a
// run, each converting one file at a time as the run hands the files out.
// The codec keeps process-wide state, so conversions at the same time need
// processes of their own; a process started for each file cost as much as
// decoding a short file, so the workers stay for the whole run.
//
// A worker's messages about a file come back whole with its outcome, for the
// run to print together.
#ifndef ONDAVO_CLI_WORKER_POOL_H_
#define ONDAVO_CLI_WORKER_POOL_H_

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "conversion_host.h"
#include "job_list.h"
#include "worker_processes.h"

namespace ondavo {

struct WorkResult {
  MessageKind outcome = MessageKind::kFailed;
  bool ran = true;  // false for a job the worker left alone, the run being stopped
  std::string out;  // for standard output
  std::string err;  // for standard error
};

// What a worker does with one file.
using Work = std::function<WorkResult(const Job&)>;

// The worker that is the program started again (see LinkToParent): it
// converts the jobs its run sends it until they end, then ends.
[[noreturn]] void ServeJobsOnStandardStreams(const Work& work, intptr_t run);

class WorkerPool {
 public:
  // The jobs a worker holds at once: the one it converts and the next, so
  // that it never waits for the run between two files.
  static constexpr size_t kJobsHeld = 2;

  // Starts up to `count` workers that each run `work` on the jobs handed to
  // them. Fewer when the system refuses more; `*problem` then says why.
  // A worker ends with the run, however the run ends: it stops as a stopped
  // run does, writing nothing more. One started again is told whether to
  // write the frame counts, as `work` says for one that is a copy.
  WorkerPool(int count, const Work& work, bool frame_counts, std::string* problem);

  int size() const { return processes_.size(); }
  // True while a worker holds a job.
  bool Busy() const;
  // The worker holding the fewest jobs, if it has room for one more; or -1.
  int WorkerWithRoom() const;
  // Hands `job` to `worker`. A worker that has gone gives it back through
  // Wait, as a failure.
  void Give(int worker, const Job& job);
  // Waits for a worker to be done with a job. False when none was within
  // kWaitMilliseconds or a signal came first; otherwise `*job` and `*result`
  // are its.
  bool Wait(Job* job, WorkResult* result);
  static constexpr int kWaitMilliseconds = 100;
  // Passes the run's stop on to every worker, once. Ctrl-C from a terminal
  // reaches the workers too, and a second one would end them at once: that
  // one is not.
  void PassOnStop(bool from_terminal);

 private:
  struct Held {
    std::deque<Job> jobs;  // handed to the worker, oldest first
    std::string gone;      // how the worker ended, once it has
  };
  // The next job of a worker that has gone, failed for that reason; false
  // when no gone worker holds one.
  bool TakeLostJob(Job* job, WorkResult* result);
  void Lose(int worker);

  std::vector<Held> held_;
  bool stop_passed_on_ = false;
  // Its end lets the workers finish what they hold, then waits for them.
  WorkerProcesses processes_;
};

// What a worker and the run send each other: texts, each a 32-bit length
// and its bytes. A job is its input and output folder; a result its
// outcome (one byte, 0xFF for a job not run) and the texts for standard
// output and error.
std::string PackMessage(std::initializer_list<const std::string*> texts);
bool UnpackMessage(const std::string& message, std::initializer_list<std::string*> texts);
// A result as a message, and back.
std::string PackResult(const WorkResult& result);
bool UnpackResult(const std::string& message, WorkResult* result);
// The result of a job whose worker went away: `how` says how it ended.
WorkResult LostJob(const Job& job, const std::string& how);

}  // namespace ondavo

#endif  // ONDAVO_CLI_WORKER_POOL_H_
