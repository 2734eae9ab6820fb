// Decodes the chosen coded voice file (.DVR) into a 16-bit mono WAV file
// beside it, frame by frame through the codec library.
#ifndef ONDAVO_CONVERT_DECODE_COMMAND_H_
#define ONDAVO_CONVERT_DECODE_COMMAND_H_

#include "audio_format.h"
#include "conversion.h"
#include "wav_header.h"

namespace ondavo {

inline constexpr char kDecodeFinished[] = "Finish Vek Coder Decode.\nCreate of file %s ";

// The most frames one WAV file can hold: its RIFF size (length - 8) is 32-bit.
inline constexpr int64_t kMaxWavFrames =
    (kWavMaxFileSize - kWavHeaderSize) / (kVekFrameSamples * 2);

// 0 after a finished decode or when no .DVR path was chosen, -1 otherwise.
// Every outcome is told through host.ShowMessage.
int DecodeCommand(ConversionHost& host, const ConversionOptions& options = {});

// The same decode into `format`: a WAV, or FLAC, Ogg Opus or MP3 written by
// libsndfile and named with their own extensions.
int DecodeTo(ConversionHost& host, const ConversionOptions& options, AudioFormat format);
// The decode command that writes `format` (kDecode for WAV).
const Command& DecodeCommandFor(AudioFormat format);

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_DECODE_COMMAND_H_
