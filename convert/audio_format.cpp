#include "audio_format.h"

#include <array>
#include <cstdlib>
#include <span>

namespace ondavo {

namespace {

struct Entry {
  AudioFormat format;
  std::string_view name, extension;
};
constexpr std::array<Entry, 4> kFormats = {{{AudioFormat::kWav, "wav", "WAV"},
                                            {AudioFormat::kFlac, "flac", "flac"},
                                            {AudioFormat::kOpus, "opus", "opus"},
                                            {AudioFormat::kMp3, "mp3", "mp3"}}};

// Opus codes at these rates only; MP3 at the MPEG-1, 2 and 2.5 rates.
constexpr int kOpusRates[] = {8000, 12000, 16000, 24000, 48000};
constexpr int kMp3Rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

int Nearest(std::span<const int> rates, int rate) {
  int best = rates.front();
  for (int candidate : rates)
    if (std::abs(candidate - rate) < std::abs(best - rate)) best = candidate;
  return best;
}

}  // namespace

std::string_view FormatName(AudioFormat format) {
  return kFormats[static_cast<size_t>(format)].name;
}

std::optional<AudioFormat> FormatNamed(std::string_view name) {
  for (const Entry& entry : kFormats)
    if (entry.name == name) return entry.format;
  return std::nullopt;
}

std::string_view FormatExtension(AudioFormat format) {
  return kFormats[static_cast<size_t>(format)].extension;
}

int OutputRate(AudioFormat format, int recording_rate) {
  switch (format) {
    case AudioFormat::kOpus:
      return Nearest(kOpusRates, recording_rate);
    case AudioFormat::kMp3:
      return Nearest(kMp3Rates, recording_rate);
    default:
      return recording_rate;
  }
}

}  // namespace ondavo
