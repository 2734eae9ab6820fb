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

std::string SystemError() {
  return "error " + std::to_string(::GetLastError());
}

}  // namespace

// Results as the readers find them; one for the whole pool.
struct Arrivals {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<std::pair<WorkerPool::Worker*, WorkResult>> results;
  std::deque<WorkerPool::Worker*> lost;
};

struct WorkerPool::Worker {
  HANDLE process = nullptr;
  HANDLE jobs = INVALID_HANDLE_VALUE;     // the pipe the worker reads its jobs from
  HANDLE results = INVALID_HANDLE_VALUE;  // and the one it writes its results to
  std::thread reader;
  bool busy = false;
  Job job;
};

void ServeJobsOnStandardStreams(const Work& work) {
  HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE), out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  Job job;
  while (ReadTexts(ReadAllFrom(in), {&job.input, &job.output_folder})) {
    WorkResult result = work(job);
    std::string outcome(1, static_cast<char>(result.outcome));
    if (!WriteAll(out, PackTexts({&outcome, &result.out, &result.err}))) break;
  }
  ::ExitProcess(0);
}

namespace {

std::shared_ptr<Arrivals> g_arrivals = std::make_shared<Arrivals>();

void Close(HANDLE* handle) {
  if (*handle != INVALID_HANDLE_VALUE && *handle != nullptr) ::CloseHandle(*handle);
  *handle = INVALID_HANDLE_VALUE;
}

// Reads a worker's results until its pipe ends.
void Read(WorkerPool::Worker* worker, HANDLE results, std::shared_ptr<Arrivals> arrivals) {
  for (;;) {
    WorkResult result;
    std::string outcome;
    bool whole = ReadTexts(ReadAllFrom(results), {&outcome, &result.out, &result.err}) &&
                 outcome.size() == 1;
    std::lock_guard<std::mutex> lock(arrivals->mutex);
    if (!whole) {
      arrivals->lost.push_back(worker);
      arrivals->arrived.notify_all();
      return;
    }
    result.outcome = static_cast<MessageKind>(outcome[0]);
    arrivals->results.emplace_back(worker, std::move(result));
    arrivals->arrived.notify_all();
  }
}

}  // namespace

WorkerPool::WorkerPool(int count, const Work&, std::string* problem) {
  std::wstring command = ::GetCommandLineW();
  command += L" --worker";
  for (int i = 0; i < count; ++i) {
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE jobs_read, jobs_write, results_read, results_write;
    if (!::CreatePipe(&jobs_read, &jobs_write, &inherited, 0)) {
      *problem = SystemError();
      break;
    }
    if (!::CreatePipe(&results_read, &results_write, &inherited, 0)) {
      *problem = SystemError();
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
    if (!started) *problem = SystemError();
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
    worker->reader = std::thread(Read, worker.get(), results_read, g_arrivals);
    workers_.push_back(std::move(worker));
  }
}

WorkerPool::~WorkerPool() {
  // A worker finds the end of its jobs' pipe once it has given its result,
  // and its reader the end of the results' once the worker has gone.
  for (auto& worker : workers_) Close(&worker->jobs);
  for (auto& worker : workers_) {
    if (worker->reader.joinable()) worker->reader.join();
    Close(&worker->results);
    if (worker->process != nullptr) {
      ::WaitForSingleObject(worker->process, INFINITE);
      ::CloseHandle(worker->process);
    }
  }
  std::lock_guard<std::mutex> lock(g_arrivals->mutex);
  g_arrivals->results.clear();
  g_arrivals->lost.clear();
}

bool WorkerPool::Busy() const {
  for (const auto& worker : workers_) {
    if (worker->busy) return true;
  }
  return false;
}

int WorkerPool::IdleWorker() const {
  for (size_t i = 0; i < workers_.size(); ++i) {
    if (!workers_[i]->busy && workers_[i]->jobs != INVALID_HANDLE_VALUE) return static_cast<int>(i);
  }
  return -1;
}

bool WorkerPool::Give(int index, const Job& job, WorkResult* result) {
  Worker& worker = *workers_[index];
  worker.job = job;
  if (WriteAll(worker.jobs, PackTexts({&job.input, &job.output_folder}))) {
    worker.busy = true;
    return true;
  }
  *result = Lost(worker);
  return false;
}

// Returns now and then without a result, so that the run can look at Ctrl-C.
bool WorkerPool::Wait(Job* job, WorkResult* result) {
  std::unique_lock<std::mutex> lock(g_arrivals->mutex);
  for (;;) {
    if (!g_arrivals->arrived.wait_for(lock, std::chrono::milliseconds(100), [] {
          return !g_arrivals->results.empty() || !g_arrivals->lost.empty();
        })) {
      return false;
    }
    Worker* worker;
    if (!g_arrivals->results.empty()) {
      worker = g_arrivals->results.front().first;
      *result = std::move(g_arrivals->results.front().second);
      g_arrivals->results.pop_front();
      worker->busy = false;
    } else {
      worker = g_arrivals->lost.front();
      g_arrivals->lost.pop_front();
      // One that went while idle was already told of, as Give failed.
      if (!worker->busy) continue;
      lock.unlock();
      *result = Lost(*worker);
    }
    *job = worker->job;
    return true;
  }
}

// The console sends Ctrl-C to every program attached to it, the workers
// among them: nothing to pass on.
void WorkerPool::Signal(int) {}

WorkResult WorkerPool::Lost(Worker& worker) {
  Close(&worker.jobs);
  worker.busy = false;
  DWORD code = 0;
  if (worker.process != nullptr) {
    ::WaitForSingleObject(worker.process, INFINITE);
    ::GetExitCodeProcess(worker.process, &code);
  }
  WorkResult result;
  result.err = "Can't convert file " + worker.job.input + ": its process ended with status " +
               std::to_string(code) + "\n";
  return result;
}

}  // namespace ondavo
