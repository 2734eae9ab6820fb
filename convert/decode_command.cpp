#include "decode_command.h"

#include <cstring>

#include "buffered_io.h"
#include "dvr_reader.h"
#include "wav_header.h"

namespace ondavo {

namespace {

// A WAV left unfinished: empty, or one whose RIFF size is not its length, as
// after a power cut that came before its samples or its final header were
// on the disk. Any other file may be whole, or somebody else's: kept.
const char* DecodeSkipMessage(InputFile& earlier, uint64_t size) {
  if (size == 0) return nullptr;
  uint8_t head[12];
  BufferedReader reader(&earlier, sizeof head);
  if (reader.Read(head, sizeof head) < sizeof head || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0) {
    return kExistsMessage;
  }
  const uint64_t riff_size = head[4] | head[5] << 8 | head[6] << 16 | uint64_t{head[7]} << 24;
  return riff_size + 8 == size ? kExistsMessage : nullptr;
}

}  // namespace

const Command kDecode = {"decode",
                         ".DVR",
                         "Choose file to Decode",
                         "The file's name must contain .DVR in capital letters",
                         "WAV",
                         CodecUse::kDecode,
                         ExistingOutput::kReplace,
                         DecodeSkipMessage,
                         DecodeCommand};

int DecodeCommand(ConversionHost& host, const ConversionOptions& options) {
  Conversion run(host, options, kDecode);
  if (!run.Open()) return run.result();

  // The header decides whether there is anything to write: a WAV file
  // without a sample rate is one that players refuse.
  DvrReader recording(run.input());
  const char* not_a_recording = recording.ReadHeader();
  if (recording.error() != 0)
    return run.Fail(IoFailureMessage("read", run.input_path(), recording.error()));
  if (not_a_recording) return run.Fail(NotARecordingMessage(run.input_path(), not_a_recording));
  if (!run.CreateOutput()) return run.result();

  g_CodecBinding.vVek_Init_Dsp_Regs();
  g_CodecBinding.vVek_Init_Decoder();
  WavWriter wav(run.output());
  wav.Begin(recording.sample_rate());
  int64_t frames = 0;
  while (frames < kMaxWavFrames && recording.NextFrame()) {
    short samples[kVekFrameSamples];
    g_CodecBinding.vVek_Decode(samples, recording.frame());
    if (int err = wav.Append(samples, kVekFrameSamples))
      return run.Fail(IoFailureMessage("write", run.output_path(), err));
    if (run.Step(recording.frame_start(), ++frames)) return run.Stop();
  }
  const bool too_long = frames == kMaxWavFrames && recording.NextFrame();
  if (recording.error() != 0)
    return run.Fail(IoFailureMessage("read", run.input_path(), recording.error()));

  const char* failed = nullptr;
  if (int err = wav.Finish(&failed))
    return run.Fail(IoFailureMessage(failed, run.output_path(), err));
  if (too_long) {
    // As much of the recording as one WAV file can hold, and a failure.
    return run.FinishShort("File " + run.input_path() + " is too long: " + run.output_path() +
                           " holds its first " + std::to_string(kMaxWavFrames) +
                           " frames, as many as a WAV file can");
  }
  return run.Finish(kDecodeFinished,
                    recording.cut() ? FormatMessage(kCutFrameWarning, run.input_path()) : "");
}

}  // namespace ondavo
