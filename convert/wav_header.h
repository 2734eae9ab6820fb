// The 44-byte header of a 16-bit mono PCM WAV file, laid out as it stands in
// the file (every number little-endian, on any host), so that it goes out in
// one write of 44 bytes: once with placeholder sizes before the samples, and
// once more over the same bytes when the sizes are known.
#ifndef ONDAVO_CONVERT_WAV_HEADER_H_
#define ONDAVO_CONVERT_WAV_HEADER_H_

#include <cstddef>
#include <cstdint>

#include "buffered_io.h"

namespace ondavo {

struct WavHeader {
  char riff_id[4];             // "RIFF"
  uint8_t riff_size[4];        // file length - 8
  char wave_fmt_id[8];         // "WAVEfmt "
  uint8_t fmt_size[4];         // 16
  uint8_t format_tag[2];       // 1, PCM
  uint8_t channels[2];         // 1
  uint8_t sample_rate[4];      // hertz
  uint8_t byte_rate[4];        // 2 x sample rate
  uint8_t block_align[2];      // 2
  uint8_t bits_per_sample[2];  // 16
  char data_id[4];             // "data"
  uint8_t data_size[4];        // file length - 44
};
static_assert(sizeof(WavHeader) == 44, "WavHeader must match the file byte for byte");

inline constexpr uint32_t kWavHeaderSize = sizeof(WavHeader);
// The largest file whose sizes the header can still state.
inline constexpr uint64_t kWavMaxFileSize = 0xFFFFFFFFull + 8;

// The process's one header record. It starts as zeros and is never cleared:
// each step of a WavWriter sets only its own fields, so a decode's
// provisional header carries the sizes of the last decode that finished.
extern WavHeader g_WavHeader;

// Writes a WAV file: the header with provisional sizes, the samples, then
// the sizes over the header once they are known. The only user of
// g_WavHeader.
class WavWriter {
 public:
  explicit WavWriter(OutputFile* file) : writer_(file), file_(file) {}

  // The header, with the sample rate in hertz.
  void Begin(uint32_t sample_rate);
  // The header with its true sizes, for a file that cannot be patched (a
  // pipe): the samples to come are known before they are written.
  void BeginKnownLength(uint32_t sample_rate, uint64_t samples);
  // Samples, turned little-endian in place. 0 or the error of a failed write.
  int Append(short* samples, size_t count);
  // Writes out the rest and the sizes. 0, or the error and in `*failed`
  // what failed: "write" or "update the header of".
  int Finish(const char** failed);

 private:
  BufferedWriter writer_;
  OutputFile* file_;
  bool sizes_known_ = false;
};

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_WAV_HEADER_H_
