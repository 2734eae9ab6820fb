// A build without libsndfile: every decode writes WAV.
#include "encoded_audio_writer.h"

namespace ondavo {

struct EncodedAudioWriter::Stream {};

bool FormatAvailable(AudioFormat format) {
  return format == AudioFormat::kWav;
}

int EncodedAudioWriter::Begin(OutputFile*, bool, const EncoderSettings&, int, const AudioTags&,
                              std::unique_ptr<EncodedAudioWriter>*) {
  return kEncoderFailed;
}

EncodedAudioWriter::~EncodedAudioWriter() = default;

int EncodedAudioWriter::Append(const int16_t*, size_t) {
  return kEncoderFailed;
}

int EncodedAudioWriter::Finish() {
  return kEncoderFailed;
}

}  // namespace ondavo
