// What the run keeps of each worker's jobs, alike on every system: the
// workers differ (a copy of the running program, or the program started
// again), the jobs they hold and the way back of those of a worker that
// has gone do not.
#ifndef ONDAVO_CLI_WORKER_JOBS_H_
#define ONDAVO_CLI_WORKER_JOBS_H_

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "worker_pool.h"

namespace ondavo {

struct WorkerJobs {
  std::deque<Job> held;  // handed to the worker, oldest first
  std::string gone;      // how the worker ended, once it has
};

template <typename Worker>
bool AnyJobHeld(const std::vector<std::unique_ptr<Worker>>& workers) {
  return std::any_of(workers.begin(), workers.end(), [](auto& w) { return !w->held.empty(); });
}

// The worker holding the fewest jobs, if it has room for one more; or -1.
template <typename Worker>
int WorkerWithFewestJobs(const std::vector<std::unique_ptr<Worker>>& workers) {
  int best = -1;
  for (size_t i = 0; i < workers.size(); ++i) {
    const Worker& worker = *workers[i];
    if (!worker.gone.empty() || worker.held.size() >= WorkerPool::kJobsHeld) continue;
    if (best < 0 || worker.held.size() < workers[best]->held.size()) best = static_cast<int>(i);
  }
  return best;
}

// The next job of a worker that has gone, failed for that reason; false
// when no gone worker holds one.
template <typename Worker>
bool TakeLostJob(const std::vector<std::unique_ptr<Worker>>& workers, Job* job,
                 WorkResult* result) {
  for (auto& worker : workers) {
    if (worker->gone.empty() || worker->held.empty()) continue;
    *job = worker->held.front();
    worker->held.pop_front();
    *result = LostJob(*job, worker->gone);
    return true;
  }
  return false;
}

}  // namespace ondavo

#endif  // ONDAVO_CLI_WORKER_JOBS_H_
