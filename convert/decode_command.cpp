#include "decode_command.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "buffered_io.h"
#include "dvr_reader.h"
#include "encoded_audio_writer.h"
#include "local_time.h"
#include "ondavo_version.h"
#include "path.h"
#include "wav_header.h"

namespace ondavo {

namespace {

// The first `size` bytes of an earlier output, or false.
bool ReadHead(InputFile& earlier, uint8_t* head, size_t size) {
  BufferedReader reader(&earlier, size);
  return reader.Read(head, size) == size;
}

// A WAV left unfinished: empty, or one whose RIFF size is not its length, as
// after a power cut that came before its samples or its final header were
// on the disk. Any other file may be whole, or somebody else's: kept.
const char* WavSkipMessage(InputFile& earlier, uint64_t size) {
  if (size == 0) return nullptr;
  uint8_t head[12];
  if (!ReadHead(earlier, head, sizeof head) || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0) {
    return kExistsMessage;
  }
  const uint64_t riff_size = head[4] | head[5] << 8 | head[6] << 16 | uint64_t{head[7]} << 24;
  return riff_size + 8 == size ? kExistsMessage : nullptr;
}

// A FLAC file states its length and checksum in its first block once the
// encoder has finished; one that states neither was not finished.
const char* FlacSkipMessage(InputFile& earlier, uint64_t size) {
  if (size == 0) return nullptr;
  uint8_t head[42];  // "fLaC", the block's header, the stream's 34 bytes
  if (!ReadHead(earlier, head, sizeof head) || std::memcmp(head, "fLaC", 4) != 0)
    return kExistsMessage;
  const bool finished = (head[21] & 0x0F) != 0 || std::memcmp(head + 22, "\0\0\0\0", 4) != 0 ||
                        std::any_of(head + 26, head + 42, [](uint8_t b) { return b != 0; });
  return finished ? kExistsMessage : nullptr;
}

// Ogg Opus and MP3 state no length at their start: only an empty file is
// surely unfinished.
const char* EmptySkipMessage(InputFile&, uint64_t size) {
  return size == 0 ? nullptr : kExistsMessage;
}

template <AudioFormat kFormat>
int DecodeAs(ConversionHost& host, const ConversionOptions& options) {
  return DecodeTo(host, options, kFormat);
}

constexpr Command DecodeCommandWith(const char* extension,
                                    const char* (*skip_message)(InputFile&, uint64_t),
                                    int (*run)(ConversionHost&, const ConversionOptions&)) {
  return {"decode",
          ".DVR",
          "Choose file to Decode",
          "The file's name must contain .DVR in capital letters",
          extension,
          CodecUse::kDecode,
          ExistingOutput::kReplace,
          skip_message,
          run};
}

constinit const Command kDecodeFlac =
    DecodeCommandWith("flac", FlacSkipMessage, DecodeAs<AudioFormat::kFlac>);
constinit const Command kDecodeOpus =
    DecodeCommandWith("opus", EmptySkipMessage, DecodeAs<AudioFormat::kOpus>);
constinit const Command kDecodeMp3 =
    DecodeCommandWith("mp3", EmptySkipMessage, DecodeAs<AudioFormat::kMp3>);

// What a coded output says of itself: the recording's name (its file's name
// up to ".DVR") and the time it was recorded, as its file was last written.
AudioTags TagsFor(Conversion& run) {
  AudioTags tags;
  tags.software = "Ondavo " ONDAVO_VERSION;
  if (run.input_path() == kStandardInputPath) return tags;
  const std::string name = run.input_path().substr(FileNameStart(run.input_path()));
  tags.title = name.substr(0, name.find(".DVR"));
  int64_t seconds = 0;
  if (run.InputTime(&seconds)) tags.date = LocalIsoTime(seconds);
  return tags;
}

// The frames the decode of the input will write, read ahead: a WAV on a
// pipe states its length before its samples and cannot go back to it.
int CountFrames(Conversion& run, int64_t limit, int64_t* frames) {
  std::unique_ptr<InputFile> again;
  if (int err = run.ReopenInput(&again)) return err;
  DvrReader reader(again.get());
  reader.ReadHeader();
  for (*frames = 0; *frames < limit && reader.NextFrame();) ++*frames;
  return reader.error();
}

// The decode's output: a WAV, or the same samples coded by libsndfile.
class DecodedAudio {
 public:
  explicit DecodedAudio(Conversion& run) : run_(run), wav_(run.output()) {}

  // Each false after a failure, which failure() words.
  bool Begin(AudioFormat format, const ConversionOptions& options, uint32_t rate,
             int64_t known_frames) {
    if (format == AudioFormat::kWav) {
      if (known_frames < 0)
        wav_.Begin(rate);
      else
        wav_.BeginKnownLength(rate, static_cast<uint64_t>(known_frames) * kVekFrameSamples);
      return true;
    }
    return Check(EncodedAudioWriter::Begin(run_.output(), !options.to_standard_output,
                                           {format, options.bitrate_kbit},
                                           static_cast<int>(rate), TagsFor(run_), &coded_),
                 "write");
  }
  bool Append(short* samples, size_t count) {
    return Check(coded_ ? coded_->Append(samples, count) : wav_.Append(samples, count), "write");
  }
  bool Finish() {
    if (coded_) return Check(coded_->Finish(), "write");
    const char* what = nullptr;
    const int err = wav_.Finish(&what);
    return Check(err, what);
  }
  const std::string& failure() const { return failure_; }

 private:
  bool Check(int err, const char* verb) {
    if (err == 0) return true;
    failure_ = err == kEncoderFailed && coded_
                   ? "Can't " + std::string(verb) + " file " + run_.output_path() + " (" +
                         coded_->Failure() + ")"
                   : IoFailureMessage(verb, run_.output_path(), err);
    return false;
  }

  Conversion& run_;
  WavWriter wav_;
  std::unique_ptr<EncodedAudioWriter> coded_;
  std::string failure_;
};

}  // namespace

constinit const Command kDecode = DecodeCommandWith("WAV", WavSkipMessage, DecodeCommand);

const Command& DecodeCommandFor(AudioFormat format) {
  const Command* const commands[] = {&kDecode, &kDecodeFlac, &kDecodeOpus, &kDecodeMp3};
  return *commands[static_cast<size_t>(format)];
}

int DecodeCommand(ConversionHost& host, const ConversionOptions& options) {
  return DecodeTo(host, options, AudioFormat::kWav);
}

int DecodeTo(ConversionHost& host, const ConversionOptions& options, AudioFormat format) {
  Conversion run(host, options, DecodeCommandFor(format));
  if (!run.Open()) return run.result();

  // The header decides whether there is anything to write: a WAV file
  // without a sample rate is one that players refuse.
  DvrReader recording(run.input());
  const char* not_a_recording = recording.ReadHeader();
  if (recording.error() != 0)
    return run.Fail(IoFailureMessage("read", run.input_path(), recording.error()));
  if (not_a_recording) return run.Fail(NotARecordingMessage(run.input_path(), not_a_recording));
  // Only a WAV's 32-bit sizes limit its length.
  const int64_t limit =
      format == AudioFormat::kWav ? kMaxWavFrames : std::numeric_limits<int64_t>::max();
  int64_t known_frames = -1;
  if (format == AudioFormat::kWav && options.to_standard_output) {
    if (int err = CountFrames(run, limit, &known_frames))
      return run.Fail(IoFailureMessage("read", run.input_path(), err));
  }
  if (!run.CreateOutput()) return run.result();

  g_CodecBinding.vVek_Init_Dsp_Regs();
  g_CodecBinding.vVek_Init_Decoder();
  DecodedAudio audio(run);
  if (!audio.Begin(format, options, recording.sample_rate(), known_frames))
    return run.Fail(audio.failure());
  int64_t frames = 0;
  while (frames < limit && recording.NextFrame()) {
    short samples[kVekFrameSamples];
    g_CodecBinding.vVek_Decode(samples, recording.frame());
    if (!audio.Append(samples, kVekFrameSamples)) return run.Fail(audio.failure());
    if (run.Step(recording.frame_start(), ++frames)) return run.Stop();
  }
  const bool too_long = frames == limit && recording.NextFrame();
  if (recording.error() != 0)
    return run.Fail(IoFailureMessage("read", run.input_path(), recording.error()));

  if (!audio.Finish()) return run.Fail(audio.failure());
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
