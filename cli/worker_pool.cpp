#include "worker_pool.h"

#include <cstring>

namespace ondavo {

std::string PackMessage(std::initializer_list<const std::string*> texts) {
  std::string message(sizeof(uint32_t), '\0');
  for (const std::string* text : texts) {
    uint32_t length = static_cast<uint32_t>(text->size());
    message.append(reinterpret_cast<const char*>(&length), sizeof length);
    message += *text;
  }
  uint32_t length = static_cast<uint32_t>(message.size() - sizeof length);
  std::memcpy(message.data(), &length, sizeof length);
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
