#include "worker_pool.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace ondavo {

namespace {

// A worker's life: a job, its result, until the run's jobs end.
void ServeJobs(ParentLink& run, const Work& work) {
  Job job;
  for (std::string message; run.Receive(&message);) {
    if (!UnpackMessage(message, {&job.input, &job.output_folder})) break;
    if (!run.Send(PackResult(work(job)))) break;
  }
}

}  // namespace

void ServeJobsOnStandardStreams(const Work& work, intptr_t run) {
  ParentLink link = LinkToParent(run);
  ServeJobs(link, work);
  std::_Exit(0);
}

WorkerPool::WorkerPool(int count, const Work& work, bool frame_counts, std::string* problem) {
  // Where the worker is the program started again, these are added to its
  // arguments.
  std::vector<std::string> arguments;
  if (frame_counts) arguments.push_back("--worker-counts");
  arguments.push_back("--worker");
  auto serve = [&work](ParentLink& run) { ServeJobs(run, work); };
  for (int i = 0; i < count && processes_.Start(serve, arguments, problem); ++i) {
    held_.emplace_back();
  }
}

bool WorkerPool::Busy() const {
  return std::any_of(held_.begin(), held_.end(), [](const Held& h) { return !h.jobs.empty(); });
}

int WorkerPool::WorkerWithRoom() const {
  int best = -1;
  for (int i = 0; i < size(); ++i) {
    const Held& worker = held_[i];
    if (!worker.gone.empty() || worker.jobs.size() >= kJobsHeld) continue;
    if (best < 0 || worker.jobs.size() < held_[best].jobs.size()) best = i;
  }
  return best;
}

void WorkerPool::Give(int worker, const Job& job) {
  held_[worker].jobs.push_back(job);
  if (!processes_.Send(worker, PackMessage({&job.input, &job.output_folder}))) Lose(worker);
}

void WorkerPool::Lose(int worker) {
  held_[worker].gone = processes_.End(worker);
}

bool WorkerPool::TakeLostJob(Job* job, WorkResult* result) {
  for (Held& worker : held_) {
    if (worker.gone.empty() || worker.jobs.empty()) continue;
    *job = worker.jobs.front();
    worker.jobs.pop_front();
    *result = LostJob(*job, worker.gone);
    return true;
  }
  return false;
}

// Returns now and then without a result, so that the run can look at a stop.
bool WorkerPool::Wait(Job* job, WorkResult* result) {
  // The jobs of a worker that has gone come back first, one at a time.
  if (TakeLostJob(job, result)) return true;
  std::vector<bool> holding;
  for (const Held& worker : held_) holding.push_back(!worker.jobs.empty());
  std::optional<std::string> message;
  const int worker = processes_.Receive(holding, kWaitMilliseconds, &message);
  if (worker < 0) return false;
  *job = held_[worker].jobs.front();
  held_[worker].jobs.pop_front();
  if (!message || !UnpackResult(*message, result)) {
    Lose(worker);
    *result = LostJob(*job, held_[worker].gone);
  }
  return true;
}

void WorkerPool::PassOnStop(bool from_terminal) {
  if (!from_terminal && !stop_passed_on_) processes_.Interrupt();
  stop_passed_on_ = true;
}

std::string PackMessage(std::initializer_list<const std::string*> texts) {
  std::string message;
  for (const std::string* text : texts) {
    uint32_t length = static_cast<uint32_t>(text->size());
    message.append(reinterpret_cast<const char*>(&length), sizeof length);
    message += *text;
  }
  return message;
}

bool UnpackMessage(const std::string& message, std::initializer_list<std::string*> texts) {
  size_t at = 0;
  for (std::string* text : texts) {
    uint32_t length = 0;
    if (message.size() - at < sizeof length) return false;
    std::memcpy(&length, message.data() + at, sizeof length);
    at += sizeof length;
    if (message.size() - at < length) return false;
    text->assign(message, at, length);
    at += length;
  }
  return at == message.size();
}

std::string PackResult(const WorkResult& result) {
  std::string outcome(1, result.ran ? static_cast<char>(result.outcome) : '\xFF');
  return PackMessage({&outcome, &result.out, &result.err});
}

bool UnpackResult(const std::string& message, WorkResult* result) {
  std::string outcome;
  if (!UnpackMessage(message, {&outcome, &result->out, &result->err}) || outcome.size() != 1) {
    return false;
  }
  result->ran = outcome[0] != '\xFF';
  result->outcome = static_cast<MessageKind>(outcome[0]);
  return true;
}

WorkResult LostJob(const Job& job, const std::string& how) {
  WorkResult result;
  result.err = "Can't convert file " + job.input + ": its process " + how + "\n";
  return result;
}

}  // namespace ondavo
