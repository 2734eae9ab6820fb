// Workers as copies of the running program (fork), each with a pipe for its
// jobs and one for its results.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "worker_jobs.h"
#include "worker_pool.h"

namespace ondavo {

namespace {

bool WriteAll(int fd, const std::string& data) {
  const char* p = data.data();
  size_t size = data.size();
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

auto ReadAllFrom(int fd) {
  return [fd](void* data, size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
      ssize_t n = ::read(fd, p, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  };
}

// A worker's life: a job, its result, until the run closes the jobs' pipe.
[[noreturn]] void Serve(int jobs, int results, const Work& work) {
  Job job;
  for (std::string message; ReadMessage(ReadAllFrom(jobs), &message);) {
    if (!UnpackMessage(message, {&job.input, &job.output_folder})) break;
    if (!WriteAll(results, PackResult(work(job)))) break;
  }
  ::_exit(0);
}

void Close(int* fd) {
  if (*fd >= 0) ::close(*fd);
  *fd = -1;
}

}  // namespace

struct WorkerPool::Worker : WorkerJobs {
  pid_t pid = -1;
  int jobs = -1;     // the pipe the worker reads its jobs from
  int results = -1;  // and the one it writes its results to

  // Takes note that the worker went away.
  void End() {
    Close(&jobs);
    Close(&results);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
    gone = WIFSIGNALED(status) ? "ended by signal " + std::to_string(WTERMSIG(status))
                               : "ended with status " + std::to_string(WEXITSTATUS(status));
  }
};

void ServeJobsOnStandardStreams(const Work& work, intptr_t, volatile std::sig_atomic_t*) {
  Serve(STDIN_FILENO, STDOUT_FILENO, work);
}

WorkerPool::WorkerPool(int count, const Work& work, bool, std::string* problem) {
  const pid_t run = ::getpid();
  for (int i = 0; i < count; ++i) {
    int jobs[2], results[2];
    if (::pipe2(jobs, O_CLOEXEC) != 0) {
      *problem = std::strerror(errno);
      break;
    }
    if (::pipe2(results, O_CLOEXEC) != 0) {
      *problem = std::strerror(errno);
      ::close(jobs[0]);
      ::close(jobs[1]);
      break;
    }
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
      // A worker ends with the run, however the run ends: SIGTERM stops it
      // as it stops a run, its unfinished output removed. Should the run
      // have ended before this line, no signal will come.
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (::getppid() != run) ::_exit(0);
      // The other workers' pipes are not this one's to hold open.
      for (auto& other : workers_) {
        Close(&other->jobs);
        Close(&other->results);
      }
      ::close(jobs[1]);
      ::close(results[0]);
      Serve(jobs[0], results[1], work);
    }
    ::close(jobs[0]);
    ::close(results[1]);
    if (pid < 0) {
      *problem = std::strerror(errno);
      ::close(jobs[1]);
      ::close(results[0]);
      break;
    }
    auto worker = std::make_unique<Worker>();
    worker->pid = pid;
    worker->jobs = jobs[1];
    worker->results = results[0];
    workers_.push_back(std::move(worker));
  }
}

WorkerPool::~WorkerPool() {
  // A worker finds the end of its jobs' pipe once it has given its results.
  for (auto& worker : workers_) Close(&worker->jobs);
  for (auto& worker : workers_) {
    if (worker->pid > 0) worker->End();
  }
}

bool WorkerPool::Busy() const {
  return AnyJobHeld(workers_);
}

int WorkerPool::WorkerWithRoom() const {
  return WorkerWithFewestJobs(workers_);
}

void WorkerPool::Give(int index, const Job& job) {
  Worker& worker = *workers_[index];
  worker.held.push_back(job);
  if (!WriteAll(worker.jobs, PackMessage({&job.input, &job.output_folder}))) worker.End();
}

// Returns now and then without a result, so that the run can look at a stop.
bool WorkerPool::Wait(Job* job, WorkResult* result) {
  // The jobs of a worker that has gone come back first, one at a time.
  if (TakeLostJob(workers_, job, result)) return true;
  std::vector<pollfd> waiting;
  std::vector<Worker*> owners;
  for (auto& worker : workers_) {
    if (worker->held.empty()) continue;
    waiting.push_back({worker->results, POLLIN, 0});
    owners.push_back(worker.get());
  }
  // A signal that came just before the wait would not cut it short.
  if (::poll(waiting.data(), waiting.size(), kWaitMilliseconds) <= 0) return false;
  for (size_t i = 0; i < waiting.size(); ++i) {
    if (waiting[i].revents == 0) continue;
    Worker& worker = *owners[i];
    *job = worker.held.front();
    worker.held.pop_front();
    std::string message;
    if (!ReadMessage(ReadAllFrom(worker.results), &message) || !UnpackResult(message, result)) {
      worker.End();
      *result = LostJob(*job, worker.gone);
    }
    return true;
  }
  return false;
}

void WorkerPool::Signal(int signal) {
  for (const auto& worker : workers_) {
    if (worker->pid > 0) ::kill(worker->pid, signal);
  }
}

}  // namespace ondavo
