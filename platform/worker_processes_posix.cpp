// Workers as copies of the running program (fork), each with a pipe for
// what it is sent and one for what it sends back.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "stop_signals.h"
#include "worker_processes.h"

namespace ondavo {

bool WritePipe(intptr_t pipe, const void* data, size_t size) {
  const int fd = static_cast<int>(pipe);
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadPipe(intptr_t pipe, void* data, size_t size) {
  const int fd = static_cast<int>(pipe);
  char* p = static_cast<char*>(data);
  while (size > 0) {
    ssize_t n = ::read(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

namespace {

void Close(int* fd) {
  if (*fd >= 0) ::close(*fd);
  *fd = -1;
}

}  // namespace

ParentLink LinkToParent(intptr_t) {
  return ParentLink(STDIN_FILENO, STDOUT_FILENO);
}

struct WorkerProcesses::Worker {
  pid_t pid = -1;
  int input = -1;   // the pipe the worker reads from
  int output = -1;  // and the one it writes to
  std::string ended;
};

struct WorkerProcesses::Shared {};

WorkerProcesses::WorkerProcesses() = default;

WorkerProcesses::~WorkerProcesses() {
  // A worker finds the end of its input once it has answered.
  for (auto& worker : workers_) Close(&worker->input);
  for (int i = 0; i < size(); ++i) End(i);
}

bool WorkerProcesses::Start(const Serve& serve, const std::vector<std::string>&,
                            std::string* problem) {
  const pid_t parent = ::getpid();
  int input[2] = {-1, -1}, output[2] = {-1, -1};
  pid_t pid = -1;
  std::fflush(nullptr);
  if (::pipe2(input, O_CLOEXEC) == 0 && ::pipe2(output, O_CLOEXEC) == 0) pid = ::fork();
  if (pid == 0) {
    StopWithParent(parent);
    // The other workers' pipes are not this one's to hold open.
    for (auto& other : workers_) {
      Close(&other->input);
      Close(&other->output);
    }
    Close(&input[1]);
    Close(&output[0]);
    ParentLink link(input[0], output[1]);
    serve(link);
    ::_exit(0);
  }
  const int error = errno;
  Close(&input[0]);
  Close(&output[1]);
  if (pid < 0) {
    *problem = std::strerror(error);
    Close(&input[1]);
    Close(&output[0]);
    return false;
  }
  auto worker = std::make_unique<Worker>();
  worker->pid = pid;
  worker->input = input[1];
  worker->output = output[0];
  workers_.push_back(std::move(worker));
  return true;
}

bool WorkerProcesses::Send(int worker, const std::string& message) {
  return SendPipeMessage(workers_[worker]->input, message);
}

int WorkerProcesses::Receive(const std::vector<bool>& from, int milliseconds,
                             std::optional<std::string>* message) {
  std::vector<pollfd> waiting;
  std::vector<int> owners;
  for (int i = 0; i < size(); ++i) {
    if (!from[i] || workers_[i]->output < 0) continue;
    waiting.push_back({workers_[i]->output, POLLIN, 0});
    owners.push_back(i);
  }
  // A signal that came just before the wait would not cut it short.
  if (::poll(waiting.data(), waiting.size(), milliseconds) <= 0) return -1;
  for (size_t i = 0; i < waiting.size(); ++i) {
    if (waiting[i].revents == 0) continue;
    std::string text;
    if (ReceivePipeMessage(waiting[i].fd, &text)) {
      *message = std::move(text);
    } else {
      message->reset();
    }
    return owners[i];
  }
  return -1;
}

std::string WorkerProcesses::End(int index) {
  Worker& worker = *workers_[index];
  if (worker.pid < 0) return worker.ended;
  Close(&worker.input);
  Close(&worker.output);
  int status = 0;
  while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
  }
  worker.pid = -1;
  worker.ended = WIFSIGNALED(status) ? "ended by signal " + std::to_string(WTERMSIG(status))
                                     : "ended with status " + std::to_string(WEXITSTATUS(status));
  return worker.ended;
}

void WorkerProcesses::Interrupt() {
  for (const auto& worker : workers_) {
    if (worker->pid > 0) ::kill(worker->pid, SIGINT);
  }
}

}  // namespace ondavo
