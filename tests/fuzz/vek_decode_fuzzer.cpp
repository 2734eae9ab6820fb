// The codec's frame decoder over any run of frames. Each frame sits alone in
// a heap block of exactly its length and the samples go to a block of
// exactly 160, so AddressSanitizer stops any read or write past either.
// The run is decoded twice after a reset, into blocks prefilled differently:
// the two must agree, so every sample is written and depends on nothing but
// the frames and the reset. Silence frames decode to silence.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_support.h"
#include "test_support.h"
#include "vek.h"

namespace {

std::vector<short> DecodeAll(const uint8_t* data, size_t size, short fill) {
  vVek_Init_Dsp_Regs();
  vVek_Init_Decoder();
  std::vector<short> decoded;
  for (size_t at = 0, length; at < size && (length = ondavo::testing::FrameLength(data[at])) <= size - at;
       at += length) {
    auto frame = std::make_unique<unsigned char[]>(length);
    std::memcpy(frame.get(), data + at, length);
    auto samples = std::make_unique<short[]>(kVekFrameSamples);
    std::fill(samples.get(), samples.get() + kVekFrameSamples, fill);
    vVek_Decode(samples.get(), frame.get());
    for (int i = 0; i < kVekFrameSamples && data[at] >= 0xE0; ++i) FUZZ_CHECK(samples[i] == 0);
    decoded.insert(decoded.end(), samples.get(), samples.get() + kVekFrameSamples);
  }
  return decoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FUZZ_CHECK(DecodeAll(data, size, 0x5A5A) == DecodeAll(data, size, -0x5A5B));
  return 0;
}
