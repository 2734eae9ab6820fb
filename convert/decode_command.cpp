#include "decode_command.h"

#include <bit>
#include <cstring>

#include "buffered_io.h"
#include "dvr_format.h"
#include "wav_header.h"

namespace ondavo {

namespace {

const ConversionKind kDecodeKind = {".DVR", kDecodeRefusal, "WAV", CodecUse::kDecode};

constexpr int kFrameBytes = kDvrFrameSamples * 2;

// Patches the header of an output that stops short, so that its sizes say
// what is on disk: whole frames only, anything after them cut off. Part of a
// header is cut off too: its sizes would be an earlier decode's.
int SaveWhatWasWritten(OutputFile* output, uint64_t on_disk) {
  if (on_disk < kWavHeaderSize) return on_disk == 0 ? 0 : output->Truncate(0);
  uint64_t length = on_disk - (on_disk - kWavHeaderSize) % kFrameBytes;
  SetWavSizes(static_cast<uint32_t>(length));
  if (int err = output->Truncate(length)) return err;
  return output->WriteAt(0, &g_WavHeader, sizeof g_WavHeader);
}

}  // namespace

bool IsDecodeInput(const std::string& path) {
  return kDecodeKind.Accepts(path);
}

int DecodeCommand(ConversionHost& host, const ConversionOptions& options) {
  Conversion run(host, options, kDecodeKind);
  if (!run.Open()) return run.result();

  g_CodecBinding.vVek_Init_Dsp_Regs();
  g_CodecBinding.vVek_Init_Decoder();

  BufferedReader reader(run.input());
  BufferedWriter writer(run.output());

  // Ends a run that cannot go on. The output keeps the whole frames that
  // reached the disk, and a header that says so.
  auto stop = [&](std::string text) {
    writer.Flush();
    if (int err = SaveWhatWasWritten(run.output(), writer.on_disk())) {
      text += "\n" + IoFailureMessage("update the header of", run.output_path(), err);
    }
    run.Fail(text);
    return -1;
  };

  // Whatever the file leaves unread stays zero, never a stale byte.
  uint8_t frame[kDvrMaxFrameLength] = {};
  size_t header_read = reader.Read(frame, kDvrHeaderSize);
  InitWavHeader();
  SetWavSampleRate(DvrSampleRate(frame));
  writer.Write(&g_WavHeader, sizeof g_WavHeader);

  ProgressTracker progress(host, run.input_size());
  int64_t frames = 0;
  short samples[kDvrFrameSamples];
  const bool header_complete = header_read == static_cast<size_t>(kDvrHeaderSize);
  while (header_complete) {
    uint64_t frame_start = reader.consumed();
    if (reader.Read(frame, 1) == 0) break;
    size_t rest = static_cast<size_t>(DvrFrameLength(frame[0]) - 1);
    // A frame cut short by the end of the file is dropped: its missing bytes
    // would be guesswork.
    if (reader.Read(frame + 1, rest) < rest) break;
    if (frames == kMaxWavFrames) {
      return stop("File " + run.input_path() + " is too long: " + run.output_path() +
                  " holds its first " + std::to_string(kMaxWavFrames) +
                  " frames, as many as a WAV file can");
    }

    g_CodecBinding.vVek_Decode(samples, frame);
    if constexpr (std::endian::native == std::endian::big) {
      for (short& s : samples) {
        auto u = static_cast<uint16_t>(s);
        s = static_cast<short>((u >> 8) | (u << 8));
      }
    }
    if (int err = writer.Write(samples, kFrameBytes)) {
      return stop(IoFailureMessage("write", run.output_path(), err));
    }
    progress.Update(frame_start);
    ++frames;
    if ((frames & 0xFF) == 0) run.PrintFrameCount(frames);
    host.PumpMessages();
    if (run.StopRequested()) return stop(FormatMessage(kStoppedMessage, run.output_path()));
  }
  if (reader.error() != 0) return stop(IoFailureMessage("read", run.input_path(), reader.error()));

  // The sizes are known now: patch them over the provisional header.
  if (int err = writer.Flush()) return stop(IoFailureMessage("write", run.output_path(), err));
  if (int err = run.output()->Close()) {
    run.Fail(IoFailureMessage("write", run.output_path(), err));
    return -1;
  }
  std::unique_ptr<OutputFile> reopened;
  if (run.file_system().OpenForUpdate(run.output_path(), &reopened) != 0) {
    run.Fail(FormatMessage(kCantOpenMessage, run.output_path()));
    return -1;
  }
  run.set_output(std::move(reopened));
  SetWavSizes(static_cast<uint32_t>(writer.on_disk()));
  if (int err = run.output()->WriteAt(0, &g_WavHeader, sizeof g_WavHeader)) {
    // The samples are all there, under the provisional header's sizes.
    run.Fail(IoFailureMessage("update the header of", run.output_path(), err));
    return -1;
  }
  progress.Finish();
  return run.Finish(kDecodeFinished);
}

}  // namespace ondavo
