// The 44-byte header of a 16-bit mono PCM WAV file, laid out as it stands in
// the file (every number little-endian, on any host), so that it goes out in
// one write of 44 bytes: once with placeholder sizes before the samples, and
// once more over the same bytes when the sizes are known.
#ifndef ONDAVO_CONVERT_WAV_HEADER_H_
#define ONDAVO_CONVERT_WAV_HEADER_H_

#include <cstdint>

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
// each operation below sets only its own fields, so a decode's provisional
// header carries the sizes of the last decode that finished.
extern WavHeader g_WavHeader;

// Sets the identifiers and the fixed numbers; leaves the rate and sizes.
void InitWavHeader();
// Sets the sample rate and the byte rate (twice the rate).
void SetWavSampleRate(uint32_t rate);
// Sets the RIFF size (total - 8) and the data size (total - 44) from the
// whole file's length, header included.
void SetWavSizes(uint32_t total_length);

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_WAV_HEADER_H_
