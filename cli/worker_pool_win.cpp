// Workers on Windows, which cannot copy a running process: each is the
// program itself started again with "--worker" after its own arguments,
// reading its jobs from standard input and writing its results to standard
// output. A thread for each worker waits for its results, so that the run
// can wait for whichever comes first and still look at Ctrl-C now and then.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "worker_jobs.h"
#include "worker_pool.h"

namespace ondavo {

namespace {

bool WriteAll(HANDLE handle, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    DWORD n = 0;
    if (!::WriteFile(handle, data.data() + done, static_cast<DWORD>(data.size() - done), &n,
                     nullptr) ||
        n == 0) {
      return false;
    }
    done += n;
  }
  return true;
}

auto ReadAllFrom(HANDLE handle) {
  return [handle](void* data, size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
      DWORD n = 0;
      if (!::ReadFile(handle, p, static_cast<DWORD>(size), &n, nullptr) || n == 0) return false;
      p += n;
      size -= n;
    }
    return true;
  };
}

void Close(HANDLE* handle) {
  if (*handle != INVALID_HANDLE_VALUE && *handle != nullptr) ::CloseHandle(*handle);
  *handle = INVALID_HANDLE_VALUE;
}

// The results as the readers find them, for the whole pool: a message, or
// an empty one when a worker's pipe ended.
struct Arrivals {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<std::pair<WorkerPool::Worker*, std::string>> messages;
};
Arrivals g_arrivals;

}  // namespace

struct WorkerPool::Worker : WorkerJobs {
  HANDLE process = nullptr;
  HANDLE jobs = INVALID_HANDLE_VALUE;     // the pipe the worker reads its jobs from
  HANDLE results = INVALID_HANDLE_VALUE;  // and the one it writes its results to
  std::thread reader;

  // Takes note that the worker went away.
  void End() {
    Close(&jobs);
    DWORD code = 0;
    ::WaitForSingleObject(process, INFINITE);
    ::GetExitCodeProcess(process, &code);
    gone = "ended with status " + std::to_string(code);
  }
};

void ServeJobsOnStandardStreams(const Work& work, intptr_t run, volatile std::sig_atomic_t* stop) {
  // The run's end stops the conversion under way as Ctrl-C does, its
  // unfinished output removed; the pipes' ends then end the worker.
  HANDLE run_process = reinterpret_cast<HANDLE>(run);
  if (::WaitForSingleObject(run_process, 0) != WAIT_TIMEOUT) ::ExitProcess(0);
  std::thread([run_process, stop] {
    ::WaitForSingleObject(run_process, INFINITE);
    *stop = SIGTERM;
  }).detach();
  HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE), out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  Job job;
  for (std::string message; ReadMessage(ReadAllFrom(in), &message);) {
    if (!UnpackMessage(message, {&job.input, &job.output_folder})) break;
    if (!WriteAll(out, PackResult(work(job)))) break;
  }
  ::ExitProcess(0);
}

WorkerPool::WorkerPool(int count, const Work&, bool frame_counts, std::string* problem) {
  // A handle of this process for the workers to inherit and wait on.
  HANDLE run = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(), &run,
                         SYNCHRONIZE, TRUE, 0)) {
    *problem = "error " + std::to_string(::GetLastError());
    return;
  }
  std::wstring command = ::GetCommandLineW();
  command += L" --worker " + std::to_wstring(reinterpret_cast<intptr_t>(run));
  if (frame_counts) command += L" --worker-counts";
  for (int i = 0; i < count; ++i) {
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE jobs_read, jobs_write, results_read, results_write;
    if (!::CreatePipe(&jobs_read, &jobs_write, &inherited, 0)) {
      *problem = "error " + std::to_string(::GetLastError());
      break;
    }
    if (!::CreatePipe(&results_read, &results_write, &inherited, 0)) {
      *problem = "error " + std::to_string(::GetLastError());
      ::CloseHandle(jobs_read);
      ::CloseHandle(jobs_write);
      break;
    }
    // Only the worker's own ends go to it.
    ::SetHandleInformation(jobs_write, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(results_read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = jobs_read;
    startup.hStdOutput = results_write;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    std::wstring line = command;  // CreateProcessW may write to it
    BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                    nullptr, &startup, &process);
    if (!started) *problem = "error " + std::to_string(::GetLastError());
    ::CloseHandle(jobs_read);
    ::CloseHandle(results_write);
    if (!started) {
      ::CloseHandle(jobs_write);
      ::CloseHandle(results_read);
      break;
    }
    ::CloseHandle(process.hThread);
    auto worker = std::make_unique<Worker>();
    worker->process = process.hProcess;
    worker->jobs = jobs_write;
    worker->results = results_read;
    // Reads the worker's results until its pipe ends.
    worker->reader = std::thread([owner = worker.get(), results = results_read] {
      for (bool more = true; more;) {
        std::string message;
        more = ReadMessage(ReadAllFrom(results), &message);
        std::lock_guard<std::mutex> lock(g_arrivals.mutex);
        g_arrivals.messages.emplace_back(owner, more ? std::move(message) : std::string());
        g_arrivals.arrived.notify_all();
      }
    });
    workers_.push_back(std::move(worker));
  }
  ::CloseHandle(run);
}

WorkerPool::~WorkerPool() {
  // A worker finds the end of its jobs' pipe once it has given its results,
  // and its reader the end of the results' once the worker has gone.
  for (auto& worker : workers_) Close(&worker->jobs);
  for (auto& worker : workers_) {
    if (worker->reader.joinable()) worker->reader.join();
    Close(&worker->results);
    ::WaitForSingleObject(worker->process, INFINITE);
    ::CloseHandle(worker->process);
  }
  std::lock_guard<std::mutex> lock(g_arrivals.mutex);
  g_arrivals.messages.clear();
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

// Returns now and then without a result, so that the run can look at Ctrl-C.
bool WorkerPool::Wait(Job* job, WorkResult* result) {
  // The jobs of a worker that has gone come back first, one at a time.
  if (TakeLostJob(workers_, job, result)) return true;
  std::unique_lock<std::mutex> lock(g_arrivals.mutex);
  for (;;) {
    if (!g_arrivals.arrived.wait_for(lock, std::chrono::milliseconds(kWaitMilliseconds),
                                     [] { return !g_arrivals.messages.empty(); })) {
      return false;
    }
    auto [worker, message] = std::move(g_arrivals.messages.front());
    g_arrivals.messages.pop_front();
    // A worker whose pipe ended while it held nothing was told of already.
    if (worker->held.empty()) continue;
    *job = worker->held.front();
    worker->held.pop_front();
    if (message.empty() || !UnpackResult(message, result)) {
      lock.unlock();
      if (worker->gone.empty()) worker->End();
      *result = LostJob(*job, worker->gone);
    }
    return true;
  }
}

// The console sends Ctrl-C to every program attached to it, the workers
// among them: nothing to pass on.
void WorkerPool::Signal(int) {}

}  // namespace ondavo
