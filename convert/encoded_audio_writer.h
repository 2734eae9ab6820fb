// Writes decoded 16-bit mono audio as FLAC, Ogg Opus or MP3 into an output
// file, through libsndfile and the encoders it carries.
//
// libsndfile writes through our own OutputFile, not a path of its own, for
// three reasons: the output stays whole-or-nothing (a temporary file that
// the conversion renames), names reach Windows in UTF-16, and every failed
// write is seen. libsndfile reports no error of its own when an MP3 or Ogg
// Opus write meets a full disk; the file's callbacks do, and the writer
// checks them after every call into the library.
#ifndef ONDAVO_CONVERT_ENCODED_AUDIO_WRITER_H_
#define ONDAVO_CONVERT_ENCODED_AUDIO_WRITER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio_format.h"
#include "file_system.h"

namespace ondavo {

struct SndfileApi;

// What the file says of itself. FLAC and Ogg Opus carry all three; MP3 the
// title and the date's year. Empty ones are left out.
struct AudioTags {
  std::string title;     // the recording's name
  std::string date;      // ISO 8601, local time with its UTC offset
  std::string software;  // "Ondavo 1.0.0.1"
};

struct EncoderSettings {
  AudioFormat format = AudioFormat::kFlac;  // not kWav: the WAV has its own writer
  int bitrate_kbit = 0;                     // Opus and MP3; 0 for the defaults
};

// Whether this build writes `format` (WAV always; the others with libsndfile).
bool FormatAvailable(AudioFormat format);

// An error that is the encoder's, not the file's: its words come from
// EncodedAudioWriter::Failure().
inline constexpr int kEncoderFailed = 100100;

class EncodedAudioWriter {
 public:
  // Starts the file at `rate` hertz (resampled to OutputRate). `seekable`
  // is false for a pipe: the encoder then never goes back to patch what it
  // wrote first, and FLAC and MP3 carry no total length.
  static int Begin(OutputFile* file, bool seekable, const EncoderSettings& settings, int rate,
                   const AudioTags& tags, std::unique_ptr<EncodedAudioWriter>* writer);
  ~EncodedAudioWriter();

  int Append(const int16_t* samples, size_t count);
  // Codes what is left and completes the file's headers.
  int Finish();

  // The encoder's own words for kEncoderFailed.
  const std::string& Failure() const { return failure_; }

  struct Stream;  // the file as libsndfile sees it

 private:
  EncodedAudioWriter() = default;
  int Check(bool ok);
  int Resample(const float* samples, size_t count, bool last);

  std::unique_ptr<Stream> stream_;
  const SndfileApi* sf_ = nullptr;  // libsndfile's entry points, once it is there
  void* sound_file_ = nullptr;      // SNDFILE*
  void* resampler_ = nullptr;       // SRC_STATE*, when the rate changes
  double ratio_ = 1;
  std::vector<float> in_, out_;  // the resampler's buffers
  std::string failure_;
};

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_ENCODED_AUDIO_WRITER_H_
