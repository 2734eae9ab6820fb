#include "decode_command.h"

#include <bit>
#include <cstring>

#include "buffered_io.h"
#include "dvr_format.h"
#include "progress_tracker.h"
#include "wav_header.h"

namespace ondavo {

namespace {

constexpr int kFrameBytes = kVekFrameSamples * 2;

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
  BufferedReader reader(run.input());
  // Whatever the file leaves unread stays zero, never a stale byte.
  uint8_t frame[kVekMaxFrameBytes] = {};
  size_t header_read = reader.Read(frame, kDvrHeaderSize);
  if (reader.error() != 0)
    return run.Fail(IoFailureMessage("read", run.input_path(), reader.error()));
  if (header_read < size_t{kDvrRateEnd}) {
    return run.Fail(NotARecordingMessage(run.input_path(), "it ends inside its header"));
  }
  if (DvrSampleRate(frame) == 0) {
    return run.Fail(NotARecordingMessage(run.input_path(), "its header gives a sample rate of 0"));
  }
  if (!run.CreateOutput()) return run.result();

  g_CodecBinding.vVek_Init_Dsp_Regs();
  g_CodecBinding.vVek_Init_Decoder();

  BufferedWriter writer(run.output());
  InitWavHeader();
  SetWavSampleRate(DvrSampleRate(frame));
  writer.Write(&g_WavHeader, sizeof g_WavHeader);

  ProgressTracker progress(host, run.input_size());
  int64_t frames = 0;
  short samples[kVekFrameSamples];
  const bool header_complete = header_read == static_cast<size_t>(kDvrHeaderSize);
  bool too_long = false;
  bool cut_short = false;
  while (header_complete) {
    uint64_t frame_start = reader.consumed();
    if (reader.Read(frame, 1) == 0) break;
    size_t rest = static_cast<size_t>(DvrFrameLength(frame[0]) - 1);
    // A frame cut short by the end of the file is dropped: its missing bytes
    // would be guesswork.
    if (reader.Read(frame + 1, rest) < rest) {
      cut_short = reader.error() == 0;
      break;
    }
    if (frames == kMaxWavFrames) {
      too_long = true;
      break;
    }

    g_CodecBinding.vVek_Decode(samples, frame);
    if constexpr (std::endian::native == std::endian::big) {
      for (short& s : samples) {
        auto u = static_cast<uint16_t>(s);
        s = static_cast<short>((u >> 8) | (u << 8));
      }
    }
    if (int err = writer.Write(samples, kFrameBytes)) {
      return run.Fail(IoFailureMessage("write", run.output_path(), err));
    }
    progress.Update(frame_start);
    ++frames;
    if ((frames & 0xFF) == 0) run.PrintFrameCount(frames);
    host.PumpMessages();
    if (run.StopRequested()) return run.Stop();
  }
  if (reader.error() != 0)
    return run.Fail(IoFailureMessage("read", run.input_path(), reader.error()));

  // The sizes are known now: patch them over the provisional header.
  if (int err = writer.Flush()) return run.Fail(IoFailureMessage("write", run.output_path(), err));
  SetWavSizes(static_cast<uint32_t>(writer.on_disk()));
  if (int err = run.output()->WriteAt(0, &g_WavHeader, sizeof g_WavHeader)) {
    return run.Fail(IoFailureMessage("update the header of", run.output_path(), err));
  }
  if (too_long) {
    // As much of the recording as one WAV file can hold, and a failure.
    return run.FinishShort("File " + run.input_path() + " is too long: " + run.output_path() +
                           " holds its first " + std::to_string(kMaxWavFrames) +
                           " frames, as many as a WAV file can");
  }
  progress.Finish();
  if (cut_short)
    host.ShowMessage(FormatMessage(kCutFrameWarning, run.input_path()), MessageKind::kWarning);
  return run.Finish(kDecodeFinished);
}

}  // namespace ondavo
