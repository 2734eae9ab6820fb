// What the fuzz targets share: a check that stops the run on a broken
// promise (libFuzzer then keeps the input that broke it), the frame lengths
// of a coded voice file written out apart from the converter's and the
// codec's own tables, and what each command should write, worked out by
// calling the bound codec directly.
#ifndef ONDAVO_TESTS_FUZZ_FUZZ_SUPPORT_H_
#define ONDAVO_TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "codec_binding.h"

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

namespace ondavo::fuzz {

inline constexpr size_t kDvrHeaderBytes = 14;
inline constexpr size_t kWavHeaderBytes = 44;
inline constexpr size_t kFrameSamples = 160;
inline constexpr size_t kBlockBytes = 64;
inline constexpr size_t kRecordBytes = 9;

// 00xxxxxx: 11 bytes, 01xxxxxx: 18, 10xxxxxx: 24, 110xxxxx: 4, 111xxxxx: 2.
inline size_t FrameLength(uint8_t first) {
  if (first < 0x40) return 11;
  if (first < 0x80) return 18;
  if (first < 0xC0) return 24;
  return first < 0xE0 ? 4 : 2;
}

// True when the frames after a whole header run past the end of the file.
inline bool EndsInACutFrame(const uint8_t* file, size_t size) {
  if (size < kDvrHeaderBytes) return false;
  size_t at = kDvrHeaderBytes;
  while (at < size) at += FrameLength(file[at]);
  return at != size;
}

inline uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
         static_cast<uint32_t>(bytes[at + 3]) << 24;
}

// The bound codec must be loaded with every entry point.
inline void BindCodecForFuzzing() {
  BindCodecLibrary(ONDAVO_FUZZ_CODEC);
  FUZZ_CHECK(MissingCodecEntryPoint(CodecUse::kDecode).empty());
  FUZZ_CHECK(MissingCodecEntryPoint(CodecUse::kEncode).empty());
}

// The WAV samples, little-endian, for a coded voice file: each whole frame
// after the header decoded from a heap block of exactly its length.
inline std::vector<uint8_t> ExpectedWavData(const uint8_t* file, size_t size) {
  const CodecBinding& codec = g_CodecBinding;
  codec.vVek_Init_Dsp_Regs();
  codec.vVek_Init_Decoder();
  std::vector<uint8_t> data;
  for (size_t at = kDvrHeaderBytes; at < size;) {
    const size_t length = FrameLength(file[at]);
    if (size - at < length) break;
    auto frame = std::make_unique<unsigned char[]>(length);
    std::memcpy(frame.get(), file + at, length);
    auto samples = std::make_unique<short[]>(kFrameSamples);
    codec.vVek_Decode(samples.get(), frame.get());
    const size_t end = data.size();
    data.resize(end + 2 * kFrameSamples);
    for (size_t i = 0; i < kFrameSamples; ++i) {
      const auto sample = static_cast<uint16_t>(samples[i]);
      data[end + 2 * i] = static_cast<uint8_t>(sample);
      data[end + 2 * i + 1] = static_cast<uint8_t>(sample >> 8);
    }
    at += length;
  }
  return data;
}

// The records for raw PCM: one per 64 bytes, a last short block padded
// with zeros.
inline std::vector<uint8_t> ExpectedRecords(const uint8_t* pcm, size_t size) {
  const CodecBinding& codec = g_CodecBinding;
  codec.vVek_Init_Dsp_Regs();
  codec.vVek_Init_Encoder();
  std::vector<uint8_t> records;
  for (size_t at = 0; at < size; at += kBlockBytes) {
    auto block = std::make_unique<short[]>(kBlockBytes / 2);
    std::memcpy(block.get(), pcm + at, std::min(kBlockBytes, size - at));
    auto coded = std::make_unique<unsigned char[]>(kVekEncodeBufferBytes);
    codec.vVek_Encode(block.get(), coded.get());
    records.insert(records.end(), coded.get(), coded.get() + kRecordBytes);
  }
  return records;
}

}  // namespace ondavo::fuzz

#endif  // ONDAVO_TESTS_FUZZ_FUZZ_SUPPORT_H_
