// Processes that work for this one: each a copy of the running program,
// linked to it by a pipe each way, over which messages go whole (a 32-bit
// length, then that many bytes).
#ifndef ONDAVO_PLATFORM_WORKER_PROCESSES_H_
#define ONDAVO_PLATFORM_WORKER_PROCESSES_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ondavo {

// A worker's side of its link: the messages its parent sends it, and the
// way back.
class ParentLink {
 public:
  ParentLink(intptr_t from_parent, intptr_t to_parent) : from_(from_parent), to_(to_parent) {}
  // False at the end of the messages, or on an error.
  bool Receive(std::string* message);
  bool Send(const std::string& message);

 private:
  intptr_t from_, to_;
};

// Where a system cannot copy a running process (Windows), a worker is the
// program started again with the arguments given to WorkerProcesses::Start
// after its own and, last, PARENT: a handle of its parent that it inherits.
// This is its link, over its standard input and output; the parent's end
// stops it as SIGTERM would (see StopWithParent).
ParentLink LinkToParent(intptr_t parent);

class WorkerProcesses {
 public:
  // What a worker that is a copy of this program does before it ends.
  using Serve = std::function<void(ParentLink& parent)>;

  WorkerProcesses();
  // Ends the workers' input, so that they end once they have answered
  // what they hold, and waits for them.
  ~WorkerProcesses();
  WorkerProcesses(const WorkerProcesses&) = delete;
  WorkerProcesses& operator=(const WorkerProcesses&) = delete;

  // Starts one more worker, which runs `serve` where the system copies
  // this process, or is started again with `arguments` where it cannot.
  // False and the system's reason in `*problem` when it cannot be started.
  // A worker ends with this process, however it ends.
  bool Start(const Serve& serve, const std::vector<std::string>& arguments, std::string* problem);
  int size() const { return static_cast<int>(workers_.size()); }

  bool Send(int worker, const std::string& message);
  // Waits up to `milliseconds` for a message from a worker `from` lists as
  // true: returns that worker, and in `*message` its message, or nothing
  // when its link ended or broke. -1 when none came in time; a signal may
  // end the wait sooner.
  int Receive(const std::vector<bool>& from, int milliseconds, std::optional<std::string>* message);
  // Waits for `worker` to end, its input ended first; how it ended
  // ("ended with status 1", "ended by signal 9").
  std::string End(int worker);
  // Passes an interruption (SIGINT) on to every worker. Windows' console
  // sends Ctrl-C to every program attached to it itself: nothing to do there.
  void Interrupt();

  struct Worker;  // the system's own
  struct Shared;  // what the workers' links share

 private:
  std::vector<std::unique_ptr<Worker>> workers_;
  std::unique_ptr<Shared> shared_;
};

// For the systems' own sources. A pipe's bytes whole: false at its end or
// on an error. A message over a pipe.
bool ReadPipe(intptr_t pipe, void* data, size_t size);
bool WritePipe(intptr_t pipe, const void* data, size_t size);
bool ReceivePipeMessage(intptr_t pipe, std::string* message);
bool SendPipeMessage(intptr_t pipe, const std::string& message);

}  // namespace ondavo

#endif  // ONDAVO_PLATFORM_WORKER_PROCESSES_H_
