#include "worker_pool.h"

namespace ondavo {

std::string PackTexts(std::initializer_list<const std::string*> texts) {
  std::string message;
  for (const std::string* text : texts) {
    uint32_t length = static_cast<uint32_t>(text->size());
    message.append(reinterpret_cast<const char*>(&length), sizeof length);
    message += *text;
  }
  return message;
}

}  // namespace ondavo
