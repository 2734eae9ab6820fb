#include "wav_header.h"

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

}  // namespace

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

void SetWavSampleRate(uint32_t rate) {
  Put32(g_WavHeader.sample_rate, rate);
  Put32(g_WavHeader.byte_rate, rate * 2);
}

void SetWavSizes(uint32_t total_length) {
  Put32(g_WavHeader.riff_size, total_length - 8);
  Put32(g_WavHeader.data_size, total_length - kWavHeaderSize);
}

}  // namespace ondavo
