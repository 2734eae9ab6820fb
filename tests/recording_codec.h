// Binds the tests' recording codec library and reads back its counts of calls.
#ifndef ONDAVO_TESTS_RECORDING_CODEC_H_
#define ONDAVO_TESTS_RECORDING_CODEC_H_

#include "codec_binding.h"
#include "test_support.h"

namespace ondavo::testing {

class RecordingCodec {
 public:
  // Binds the recording library in place of the real one.
  RecordingCodec() {
    BindCodecLibrary(RecordingCodecPath());
    library_ = g_hCodecLib;
    reinterpret_cast<void (*)()>(Symbol("Recording_Reset"))();
  }
  long long calls() const { return reinterpret_cast<long long (*)()>(Symbol("Recording_Calls"))(); }
  long long decodes() const {
    return reinterpret_cast<long long (*)()>(Symbol("Recording_Decodes"))();
  }

 private:
  void* Symbol(const char* name) const { return FindLibrarySymbol(library_, name); }
  LibraryHandle library_;
};

}  // namespace ondavo::testing

#endif  // ONDAVO_TESTS_RECORDING_CODEC_H_
