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
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "conversion_host.h"
#include "job_list.h"

namespace ondavo {

struct WorkResult {
  MessageKind outcome = MessageKind::kFailed;
  std::string out;  // for standard output
  std::string err;  // for standard error
};

// What a worker does with one file.
using Work = std::function<WorkResult(const Job&)>;

// Where a system cannot copy a running process (Windows), a worker is the
// program itself started again with "--worker" after its own arguments: it
// reads its jobs from standard input and writes its results to standard
// output, through this.
[[noreturn]] void ServeJobsOnStandardStreams(const Work& work);

class WorkerPool {
 public:
  // Starts up to `count` workers that each run `work` on the jobs handed to
  // them. Fewer when the system refuses more; `*problem` then says why.
  WorkerPool(int count, const Work& work, std::string* problem);
  // Lets the workers finish what they hold, then ends them.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int size() const { return static_cast<int>(workers_.size()); }
  // True while a worker holds a job.
  bool Busy() const;
  // A worker that holds no job, or -1.
  int IdleWorker() const;
  // Hands `job` to the idle worker `worker`. False when the worker is gone;
  // `*result` then says so.
  bool Give(int worker, const Job& job, WorkResult* result);
  // Waits for a worker to be done with its job. False when a signal came
  // first; otherwise `*job` and `*result` are its.
  bool Wait(Job* job, WorkResult* result);
  // Passes `signal` on to every worker.
  void Signal(int signal);

  struct Worker;  // the system's own

 private:
  // The outcome of a worker that went away holding its job.
  WorkResult Lost(Worker& worker);

  std::vector<std::unique_ptr<Worker>> workers_;
};

// What a worker and the run send each other: texts, each a 32-bit length
// and its bytes. A job is its input and output folder; a result its
// outcome (one byte) and the texts for standard output and error.
std::string PackTexts(std::initializer_list<const std::string*> texts);
// Reads texts with `read_all(data, size)`, which fills `data` whole or
// fails at the end of the stream or on an error.
template <typename ReadAll>
bool ReadTexts(ReadAll read_all, std::initializer_list<std::string*> texts) {
  for (std::string* text : texts) {
    uint32_t length = 0;
    if (!read_all(&length, sizeof length)) return false;
    text->resize(length);
    if (length > 0 && !read_all(text->data(), length)) return false;
  }
  return true;
}

}  // namespace ondavo

#endif  // ONDAVO_CLI_WORKER_POOL_H_
