#include "wav_header.h"

#include <bit>
#include <cstring>

namespace ondavo {

WavHeader g_WavHeader;

namespace {

void Put16(uint8_t* field, uint32_t value) {
  field[0] = static_cast<uint8_t>(value);
  field[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* field, uint32_t value) {
  Put16(field, value);
  Put16(field + 2, value >> 16);
}

// Sets the identifiers and the fixed numbers; leaves the rate and sizes.
void InitWavHeader() {
  std::memcpy(g_WavHeader.riff_id, "RIFF", 4);
  std::memcpy(g_WavHeader.wave_fmt_id, "WAVEfmt ", 8);
  Put32(g_WavHeader.fmt_size, 16);
  Put16(g_WavHeader.format_tag, 1);
  Put16(g_WavHeader.channels, 1);
  Put16(g_WavHeader.block_align, 2);
  Put16(g_WavHeader.bits_per_sample, 16);
  std::memcpy(g_WavHeader.data_id, "data", 4);
}

// Sets the sample rate and the byte rate (twice the rate).
void SetWavSampleRate(uint32_t rate) {
  Put32(g_WavHeader.sample_rate, rate);
  Put32(g_WavHeader.byte_rate, rate * 2);
}

// Sets the RIFF size (total - 8) and the data size (total - 44) from the
// whole file's length, header included.
void SetWavSizes(uint32_t total_length) {
  Put32(g_WavHeader.riff_size, total_length - 8);
  Put32(g_WavHeader.data_size, total_length - kWavHeaderSize);
}

}  // namespace

void WavWriter::Begin(uint32_t sample_rate) {
  InitWavHeader();
  SetWavSampleRate(sample_rate);
  // Into the buffer, which has room: no write can fail yet.
  writer_.Write(&g_WavHeader, sizeof g_WavHeader);
}

void WavWriter::BeginKnownLength(uint32_t sample_rate, uint64_t samples) {
  InitWavHeader();
  SetWavSampleRate(sample_rate);
  SetWavSizes(static_cast<uint32_t>(kWavHeaderSize + samples * 2));
  sizes_known_ = true;
  writer_.Write(&g_WavHeader, sizeof g_WavHeader);
}

int WavWriter::Append(short* samples, size_t count) {
  if constexpr (std::endian::native == std::endian::big) {
    for (size_t i = 0; i < count; ++i) {
      auto u = static_cast<uint16_t>(samples[i]);
      samples[i] = static_cast<short>((u >> 8) | (u << 8));
    }
  }
  return writer_.Write(samples, count * 2);
}

int WavWriter::Finish(const char** failed) {
  *failed = "write";
  if (int err = writer_.Flush()) return err;
  if (sizes_known_) return 0;
  SetWavSizes(static_cast<uint32_t>(writer_.on_disk()));
  *failed = "update the header of";
  return file_->WriteAt(0, &g_WavHeader, sizeof g_WavHeader);
}

}  // namespace ondavo
