#include "worker_processes.h"

namespace ondavo {

bool ReceivePipeMessage(intptr_t pipe, std::string* message) {
  uint32_t length = 0;
  if (!ReadPipe(pipe, &length, sizeof length)) return false;
  message->resize(length);
  return length == 0 || ReadPipe(pipe, message->data(), length);
}

bool SendPipeMessage(intptr_t pipe, const std::string& message) {
  uint32_t length = static_cast<uint32_t>(message.size());
  std::string whole(reinterpret_cast<const char*>(&length), sizeof length);
  whole += message;  // in one write, as a small message then goes whole
  return WritePipe(pipe, whole.data(), whole.size());
}

bool ParentLink::Receive(std::string* message) {
  return ReceivePipeMessage(from_, message);
}

bool ParentLink::Send(const std::string& message) {
  return SendPipeMessage(to_, message);
}

}  // namespace ondavo
