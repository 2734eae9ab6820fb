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
  // Binds the recording library in place of the real one; `probe` runs at
  // every codec call. With `counting_only`, decodes are only counted.
  explicit RecordingCodec(bool counting_only = false, void (*probe)() = nullptr) {
    BindCodecLibrary(RecordingCodecPath());
    calls_ = reinterpret_cast<CallsFn>(FindLibrarySymbol(g_hCodecLib, "Recording_Calls"));
    decodes_ = reinterpret_cast<DecodesFn>(FindLibrarySymbol(g_hCodecLib, "Recording_Decodes"));
    auto reset = reinterpret_cast<ResetFn>(FindLibrarySymbol(g_hCodecLib, "Recording_Reset"));
    reset(counting_only, probe);
  }
  const std::vector<std::string>& calls() const { return *calls_(); }
  long long decodes() const { return decodes_(); }

 private:
  using CallsFn = const std::vector<std::string>* (*)();
  using DecodesFn = long long (*)();
  using ResetFn = void (*)(bool, void (*)());
  CallsFn calls_;
  DecodesFn decodes_;
};

}  // namespace ondavo::testing

#endif  // ONDAVO_TESTS_RECORDING_CODEC_H_
