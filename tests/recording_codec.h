// Binds the tests' recording codec library and reads back what it recorded.
#ifndef ONDAVO_TESTS_RECORDING_CODEC_H_
#define ONDAVO_TESTS_RECORDING_CODEC_H_

#include <string>
#include <vector>

#include "codec_binding.h"
#include "test_support.h"

namespace ondavo::testing {

class RecordingCodec {
 public:
  // Binds the recording library in place of the real one. With
  // `counting_only`, decodes are only counted.
  explicit RecordingCodec(bool counting_only = false) {
    BindCodecLibrary(RecordingCodecPath());
    library_ = g_hCodecLib;
    reinterpret_cast<void (*)(bool)>(Symbol("Recording_Reset"))(counting_only);
  }
  const std::vector<std::string>& calls() const {
    return *reinterpret_cast<const std::vector<std::string>* (*)()>(Symbol("Recording_Calls"))();
  }
  long long decodes() const {
    return reinterpret_cast<long long (*)()>(Symbol("Recording_Decodes"))();
  }

 private:
  void* Symbol(const char* name) const { return FindLibrarySymbol(library_, name); }
  LibraryHandle library_;
};

}  // namespace ondavo::testing

#endif  // ONDAVO_TESTS_RECORDING_CODEC_H_
