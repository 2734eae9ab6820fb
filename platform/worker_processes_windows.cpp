// Workers on Windows, which cannot copy a running process: each is the
// program itself started again, reading from its standard input and
// writing to its standard output. A thread for each worker waits for what
// it sends, so that the parent can wait for whichever comes first and
// still look at Ctrl-C now and then.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "stop_signals.h"
#include "windows_text.h"
#include "worker_processes.h"

namespace ondavo {

bool WritePipe(intptr_t pipe, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD n = 0;
    if (!::WriteFile(reinterpret_cast<HANDLE>(pipe), p, static_cast<DWORD>(size), &n, nullptr) ||
        n == 0) {
      return false;
    }
    p += n;
    size -= n;
  }
  return true;
}

bool ReadPipe(intptr_t pipe, void* data, size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    DWORD n = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(pipe), p, static_cast<DWORD>(size), &n, nullptr) ||
        n == 0) {
      return false;
    }
    p += n;
    size -= n;
  }
  return true;
}

namespace {

void Close(HANDLE* handle) {
  if (*handle != INVALID_HANDLE_VALUE && *handle != nullptr) ::CloseHandle(*handle);
  *handle = INVALID_HANDLE_VALUE;
}

// One argument as CommandLineToArgvW reads it back.
std::wstring Quoted(const std::wstring& arg) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

}  // namespace

ParentLink LinkToParent(intptr_t parent) {
  StopWithParent(parent);
  return ParentLink(reinterpret_cast<intptr_t>(::GetStdHandle(STD_INPUT_HANDLE)),
                    reinterpret_cast<intptr_t>(::GetStdHandle(STD_OUTPUT_HANDLE)));
}

struct WorkerProcesses::Worker {
  HANDLE process = nullptr;
  HANDLE input = INVALID_HANDLE_VALUE;   // the pipe the worker reads from
  HANDLE output = INVALID_HANDLE_VALUE;  // and the one it writes to
  std::thread reader;
  std::string ended;
};

// What the readers find, for all the workers: a message, or nothing when
// a worker's pipe ended.
struct WorkerProcesses::Shared {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<std::pair<int, std::optional<std::string>>> messages;
};

namespace {

// Starts this program again with `arguments` after its own and, last, a
// handle of this process for it to inherit and wait on; `input` and
// `output` become its standard input and output. Its process, or null and
// the system's reason in GetLastError.
HANDLE StartAgain(const std::vector<std::string>& arguments, HANDLE input, HANDLE output) {
  HANDLE parent = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(),
                         &parent, SYNCHRONIZE, TRUE, 0)) {
    return nullptr;
  }
  std::wstring command = ::GetCommandLineW();
  for (const std::string& arg : arguments) command += L" " + Quoted(WideFromUtf8(arg));
  command += L" " + std::to_wstring(reinterpret_cast<intptr_t>(parent));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
  const DWORD error = ::GetLastError();
  ::CloseHandle(parent);
  if (!started) {
    ::SetLastError(error);
    return nullptr;
  }
  ::CloseHandle(process.hThread);
  return process.hProcess;
}

// A worker's reader: what `output` brings, for the parent to receive,
// until the pipe ends.
void ReadMessages(WorkerProcesses::Shared* shared, int worker, HANDLE output) {
  for (bool more = true; more;) {
    std::string message;
    more = ReceivePipeMessage(reinterpret_cast<intptr_t>(output), &message);
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->messages.emplace_back(worker, more ? std::optional(std::move(message)) : std::nullopt);
    shared->arrived.notify_all();
  }
}

}  // namespace

WorkerProcesses::WorkerProcesses() : shared_(std::make_unique<Shared>()) {}

WorkerProcesses::~WorkerProcesses() {
  // A worker finds the end of its input once it has answered, and its
  // reader the end of the worker's output once the worker has gone.
  for (auto& worker : workers_) Close(&worker->input);
  for (auto& worker : workers_) {
    if (worker->reader.joinable()) worker->reader.join();
    Close(&worker->output);
    ::WaitForSingleObject(worker->process, INFINITE);
    ::CloseHandle(worker->process);
  }
}

bool WorkerProcesses::Start(const Serve&, const std::vector<std::string>& arguments,
                            std::string* problem) {
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  HANDLE input_read = nullptr, input_write = nullptr, output_read = nullptr, output_write = nullptr,
         process = nullptr;
  if (::CreatePipe(&input_read, &input_write, &inherited, 0) &&
      ::CreatePipe(&output_read, &output_write, &inherited, 0)) {
    // Only the worker's own ends go to it.
    ::SetHandleInformation(input_write, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(output_read, HANDLE_FLAG_INHERIT, 0);
    process = StartAgain(arguments, input_read, output_write);
  }
  if (process == nullptr) *problem = "error " + std::to_string(::GetLastError());
  Close(&input_read);
  Close(&output_write);
  if (process == nullptr) {
    Close(&input_write);
    Close(&output_read);
    return false;
  }
  auto worker = std::make_unique<Worker>();
  worker->process = process;
  worker->input = input_write;
  worker->output = output_read;
  worker->reader = std::thread(ReadMessages, shared_.get(), size(), output_read);
  workers_.push_back(std::move(worker));
  return true;
}

bool WorkerProcesses::Send(int worker, const std::string& message) {
  return SendPipeMessage(reinterpret_cast<intptr_t>(workers_[worker]->input), message);
}

// What a worker not listened to sends waits for its turn.
int WorkerProcesses::Receive(const std::vector<bool>& from, int milliseconds,
                             std::optional<std::string>* message) {
  std::unique_lock<std::mutex> lock(shared_->mutex);
  auto& messages = shared_->messages;
  auto next = messages.end();
  auto found = [&] {
    next = std::find_if(messages.begin(), messages.end(),
                        [&](const auto& arrival) { return from[arrival.first]; });
    return next != messages.end();
  };
  if (!shared_->arrived.wait_for(lock, std::chrono::milliseconds(milliseconds), found)) return -1;
  const int worker = next->first;
  *message = std::move(next->second);
  messages.erase(next);
  return worker;
}

std::string WorkerProcesses::End(int index) {
  Worker& worker = *workers_[index];
  if (!worker.ended.empty()) return worker.ended;
  Close(&worker.input);
  DWORD code = 0;
  ::WaitForSingleObject(worker.process, INFINITE);
  ::GetExitCodeProcess(worker.process, &code);
  worker.ended = "ended with status " + std::to_string(code);
  return worker.ended;
}

void WorkerProcesses::Interrupt() {}

}  // namespace ondavo
