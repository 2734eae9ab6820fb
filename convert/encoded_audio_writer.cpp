#include "encoded_audio_writer.h"

#include <samplerate.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>
#include <vector>

#include "sndfile_api.h"

namespace ondavo {

// Appends go through OutputFile::Write; what the encoder rewrites at an
// earlier place (FLAC's and MP3's headers, once the length is known) through
// WriteAt. A failure is kept, and the short count it gives makes libsndfile
// stop where it notices at all.
struct EncodedAudioWriter::Stream {
  OutputFile* file;
  bool seekable;
  sf_count_t position = 0;
  sf_count_t length = 0;
  int error = 0;

  static Stream& Of(void* data) { return *static_cast<Stream*>(data); }

  static sf_count_t Length(void* data) { return Of(data).length; }
  static sf_count_t Tell(void* data) { return Of(data).position; }
  static sf_count_t Seek(sf_count_t offset, int whence, void* data) {
    Stream& s = Of(data);
    const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s.position : s.length;
    const sf_count_t target = base + offset;
    // A pipe goes nowhere but where it is.
    if (target < 0 || target > s.length || (!s.seekable && target != s.position)) return -1;
    return s.position = target;
  }
  // Nothing the encoders write is read back.
  static sf_count_t Read(void*, sf_count_t, void*) { return 0; }
  static sf_count_t Write(const void* bytes, sf_count_t count, void* data) {
    Stream& s = Of(data);
    if (s.error != 0) return 0;
    const char* from = static_cast<const char*>(bytes);
    sf_count_t done = 0;
    if (s.position < s.length) {  // over what is there
      done = std::min(count, s.length - s.position);
      if ((s.error = s.file->WriteAt(s.position, from, done)) != 0) return 0;
    }
    if (done < count) {
      size_t written = 0;
      s.error = s.file->Write(from + done, count - done, &written);
      done += written;
      s.length = s.position + done;
    }
    s.position += done;
    return done;
  }
};

namespace {

int MajorFormat(AudioFormat format) {
  switch (format) {
    case AudioFormat::kOpus:
      return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case AudioFormat::kMp3:
      return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    default:
      return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  }
}

// libsndfile sizes lossy files by a level from 0 (largest) to 1 (smallest).
// Opus's bit rate falls in a line from 256 kbit/s to 6; MP3 at a constant
// rate steps from the highest to the lowest its MPEG version has at the
// rate. Both measured on libsndfile 1.2.
double CompressionLevelFor(AudioFormat format, int rate, int kbit) {
  double highest = 256, lowest = 6;
  if (format == AudioFormat::kMp3) {
    lowest = rate >= 32000 ? 32 : 8;
    highest = rate >= 32000 ? 320 : rate >= 16000 ? 160 : 64;
  }
  return std::clamp((highest - kbit) / (highest - lowest), 0.0, 1.0);
}

// Speech near 16 kbit/s: clear for a typist, an hour in about 7 MB.
constexpr double kOpusSpeechLevel = 0.96;

}  // namespace

bool FormatAvailable(AudioFormat) {
  return true;
}

int EncodedAudioWriter::Begin(OutputFile* file, bool seekable, const EncoderSettings& settings,
                              int rate, const AudioTags& tags,
                              std::unique_ptr<EncodedAudioWriter>* writer) {
  std::unique_ptr<EncodedAudioWriter> w(new EncodedAudioWriter);
  w->stream_ = std::make_unique<Stream>(Stream{file, seekable});
  w->sf_ = Sndfile(&w->failure_);
  if (w->sf_ == nullptr) {
    *writer = std::move(w);
    return kEncoderFailed;
  }
  const SndfileApi& sf = *w->sf_;
  const int out_rate = OutputRate(settings.format, rate);
  SF_INFO info{};
  info.samplerate = out_rate;
  info.channels = 1;
  info.format = MajorFormat(settings.format);
  SF_VIRTUAL_IO io = {Stream::Length, Stream::Seek, Stream::Read, Stream::Write, Stream::Tell};
  SNDFILE* sound = sf.open_virtual(&io, SFM_WRITE, &info, w->stream_.get());
  w->sound_file_ = sound;
  if (int error = w->Check(sound != nullptr)) {
    *writer = std::move(w);
    return error;
  }
  if (settings.format == AudioFormat::kMp3 && settings.bitrate_kbit > 0) {
    int mode = SF_BITRATE_MODE_CONSTANT;
    sf.command(sound, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
  }
  double level = settings.bitrate_kbit > 0
                     ? CompressionLevelFor(settings.format, out_rate, settings.bitrate_kbit)
                     : kOpusSpeechLevel;
  if (settings.format == AudioFormat::kOpus || settings.bitrate_kbit > 0)
    sf.command(sound, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
  const std::pair<int, const std::string&> strings[] = {
      {SF_STR_TITLE, tags.title}, {SF_STR_DATE, tags.date}, {SF_STR_SOFTWARE, tags.software}};
  for (const auto& [kind, text] : strings)
    if (!text.empty()) sf.set_string(sound, kind, text.c_str());
  if (out_rate != rate) {
    int error = 0;
    w->resampler_ = src_new(SRC_SINC_MEDIUM_QUALITY, 1, &error);
    w->ratio_ = static_cast<double>(out_rate) / rate;
    if (w->resampler_ == nullptr) {
      w->failure_ = src_strerror(error);
      *writer = std::move(w);
      return kEncoderFailed;
    }
  }
  *writer = std::move(w);
  return 0;
}

EncodedAudioWriter::~EncodedAudioWriter() {
  if (sound_file_ != nullptr) sf_->close(static_cast<SNDFILE*>(sound_file_));
  if (resampler_ != nullptr) src_delete(static_cast<SRC_STATE*>(resampler_));
}

int EncodedAudioWriter::Check(bool ok) {
  if (stream_->error != 0) return stream_->error;
  if (ok) return 0;
  failure_ = sf_->strerror(static_cast<SNDFILE*>(sound_file_));
  return kEncoderFailed;
}

int EncodedAudioWriter::Append(const int16_t* samples, size_t count) {
  SNDFILE* sound = static_cast<SNDFILE*>(sound_file_);
  if (resampler_ == nullptr)
    return Check(sf_->write_short(sound, samples, count) == static_cast<sf_count_t>(count));
  in_.resize(count);
  src_short_to_float_array(samples, in_.data(), static_cast<int>(count));
  return Resample(in_.data(), count, false);
}

int EncodedAudioWriter::Resample(const float* samples, size_t count, bool last) {
  SNDFILE* sound = static_cast<SNDFILE*>(sound_file_);
  std::vector<float>& out = out_;  // kept from frame to frame: no allocation per frame
  out.resize(static_cast<size_t>(count * ratio_) + 64);
  SRC_DATA step{};
  step.data_in = samples;
  step.input_frames = static_cast<long>(count);
  step.end_of_input = last;
  step.src_ratio = ratio_;
  do {
    step.data_out = out.data();
    step.output_frames = static_cast<long>(out.size());
    if (int error = src_process(static_cast<SRC_STATE*>(resampler_), &step)) {
      failure_ = src_strerror(error);
      return kEncoderFailed;
    }
    const sf_count_t made = step.output_frames_gen;
    if (int error = Check(sf_->write_float(sound, out.data(), made) == made)) return error;
    step.data_in += step.input_frames_used;
    step.input_frames -= step.input_frames_used;
  } while (step.input_frames > 0 || (last && step.output_frames_gen > 0));
  return 0;
}

int EncodedAudioWriter::Finish() {
  const float none = 0;  // the resampler takes no null pointer, even for nothing
  if (resampler_ != nullptr)
    if (int error = Resample(&none, 0, true)) return error;
  SNDFILE* sound = static_cast<SNDFILE*>(std::exchange(sound_file_, nullptr));
  const int closed = sf_->close(sound);
  if (stream_->error != 0) return stream_->error;
  if (closed != 0) {
    failure_ = sf_->error_number(closed);
    return kEncoderFailed;
  }
  return 0;
}

}  // namespace ondavo
