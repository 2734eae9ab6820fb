// The reference codec alone: vVek_Decode per frame type, and vVek_Encode per
// 32-sample block, on speech. The frames are coded once, up front, with the
// codec's own encoder, so each decode sees what a real recording holds.
//
// The speech comes from $ONDAVO_BENCH_PCM (raw 16-bit little-endian mono at
// 8 kHz) or else the speech sample the tests use; without either, a voiced
// synthetic signal stands in.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "vek.h"

namespace {

std::vector<short> ReadPcm(const char* path) {
  std::vector<short> samples;
  std::FILE* f = path != nullptr ? std::fopen(path, "rb") : nullptr;
  if (f == nullptr) return samples;
  unsigned char pair[2];
  while (std::fread(pair, 1, 2, f) == 2) {
    samples.push_back(static_cast<short>(pair[0] | pair[1] << 8));
  }
  std::fclose(f);
  return samples;
}

// Ten seconds of a vowel-like sound: a gliding pitch with a few harmonics,
// rising and falling in syllables, between short pauses.
std::vector<short> SyntheticSpeech() {
  std::vector<short> samples(8000 * 10);
  const double kPi = 3.14159265358979323846;
  double phase = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    double t = static_cast<double>(i) / 8000;
    double pitch = 120 + 40 * std::sin(2 * kPi * 0.7 * t);
    phase += 2 * kPi * pitch / 8000;
    double syllable = std::max(0.0, std::sin(2 * kPi * 3 * t));
    double v = 0;
    for (int h = 1; h <= 12; ++h) v += std::sin(h * phase) / h;
    samples[i] = static_cast<short>(6000 * syllable * v);
  }
  return samples;
}

const std::vector<short>& Speech() {
  static const std::vector<short> speech = [] {
    std::vector<short> s = ReadPcm(std::getenv("ONDAVO_BENCH_PCM"));
    if (s.size() < kVekFrameSamples) s = ReadPcm(ONDAVO_SPEECH_PCM);
    if (s.size() < kVekFrameSamples) s = SyntheticSpeech();
    s.resize(s.size() / kVekFrameSamples * kVekFrameSamples);
    return s;
  }();
  return speech;
}

// Every whole frame of the speech, coded as `type`, each in 24 bytes.
std::vector<unsigned char> CodedFrames(int type) {
  std::vector<short> speech = Speech();
  speech.resize(speech.size() + kVekFrameLookahead);  // the codec reads ahead of the last frame
  std::vector<unsigned char> frames;
  vVek_Init_Dsp_Regs();
  vVek_Init_Encoder();
  for (size_t at = 0; at < Speech().size(); at += kVekFrameSamples) {
    unsigned char frame[kVekMaxFrameBytes] = {};
    if (vVek_Encode_Frame(&speech[at], type, frame) != type) {
      std::fprintf(stderr, "codec_bench: the codec would not encode a %d-byte frame\n", type);
      std::exit(1);
    }
    frames.insert(frames.end(), frame, frame + kVekMaxFrameBytes);
  }
  return frames;
}

// Arg: the frame type, by its length in bytes.
void BM_Decode(benchmark::State& state) {
  const int type = static_cast<int>(state.range(0));
  std::vector<unsigned char> frames = CodedFrames(type);
  const size_t count = frames.size() / kVekMaxFrameBytes;
  vVek_Init_Dsp_Regs();
  vVek_Init_Decoder();
  short samples[kVekFrameSamples];
  size_t next = 0;
  for (auto _ : state) {
    vVek_Decode(samples, &frames[next * kVekMaxFrameBytes]);
    benchmark::DoNotOptimize(samples);
    if (++next == count) next = 0;
  }
  state.SetItemsProcessed(state.iterations());
  // Seconds of audio per second: how many times faster than real time.
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * int{kVekFrameSamples} / 8000,
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Decode)
    ->Arg(kVekFrameHigh)
    ->Arg(kVekFrameMid)
    ->Arg(kVekFrameLow)
    ->Arg(kVekFrameNoise)
    ->Arg(kVekFrameSilence);

void BM_Encode(benchmark::State& state) {
  std::vector<short> speech = Speech();
  const size_t blocks = speech.size() / kVekBlockSamples;
  vVek_Init_Dsp_Regs();
  vVek_Init_Encoder();
  unsigned char coded[kVekEncodeBufferBytes];
  size_t next = 0;
  for (auto _ : state) {
    vVek_Encode(&speech[next * kVekBlockSamples], coded);
    benchmark::DoNotOptimize(coded);
    if (++next == blocks) next = 0;
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * int{kVekBlockSamples} / 8000,
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Encode);

}  // namespace

BENCHMARK_MAIN();
