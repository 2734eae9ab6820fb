// The kinds of file a decode can write: a WAV as it always has, or the same
// audio coded by FLAC, Ogg Opus or MP3, far smaller to mail or keep.
#ifndef ONDAVO_CONVERT_AUDIO_FORMAT_H_
#define ONDAVO_CONVERT_AUDIO_FORMAT_H_

#include <optional>
#include <string_view>

namespace ondavo {

enum class AudioFormat { kWav, kFlac, kOpus, kMp3 };

// "wav", "flac", "opus", "mp3": the names the command line takes.
std::string_view FormatName(AudioFormat format);
std::optional<AudioFormat> FormatNamed(std::string_view name);

// The output's extension: "WAV" as ever, the others in lower case as their
// users expect.
std::string_view FormatExtension(AudioFormat format);

// The rate the file is written at: the recording's for WAV and FLAC; for
// Ogg Opus and MP3, which take only a few rates, the nearest of those.
int OutputRate(AudioFormat format, int recording_rate);

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_AUDIO_FORMAT_H_
