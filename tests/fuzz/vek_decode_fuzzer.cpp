// The codec's frame decoder over any run of frames. Each frame sits alone in
// a heap block of exactly its length and the samples go to a block of
// exactly 160, so AddressSanitizer stops any read or write past either.
// The run is decoded twice after a reset, into blocks prefilled differently:
// the two must agree, so every sample is written and depends on nothing but
// the frames and the reset.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_support.h"
#include "vek.h"

namespace ondavo::fuzz {
namespace {

std::vector<short> DecodeAll(const uint8_t* data, size_t size, short fill) {
  vVek_Init_Dsp_Regs();
  vVek_Init_Decoder();
  std::vector<short> decoded;
  for (size_t at = 0; at < size;) {
    const size_t length = FrameLength(data[at]);
    if (size - at < length) break;
    auto frame = std::make_unique<unsigned char[]>(length);
    std::memcpy(frame.get(), data + at, length);
    std::unique_ptr<short[]> samples(new short[kFrameSamples]);
    std::fill(samples.get(), samples.get() + kFrameSamples, fill);
    vVek_Decode(samples.get(), frame.get());
    // Silence frames are silent, whatever came before.
    if (data[at] >= 0xE0) {
      for (size_t i = 0; i < kFrameSamples; ++i) FUZZ_CHECK(samples[i] == 0);
    }
    decoded.insert(decoded.end(), samples.get(), samples.get() + kFrameSamples);
    at += length;
  }
  return decoded;
}

}  // namespace
}  // namespace ondavo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using ondavo::fuzz::DecodeAll;
  FUZZ_CHECK(DecodeAll(data, size, 0x5A5A) == DecodeAll(data, size, -0x5A5B));
  return 0;
}
