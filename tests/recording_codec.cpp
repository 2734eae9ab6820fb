// A codec library for the tests that records its calls instead of coding:
// "dsp", "dec", "enc", then "D<frame bytes in hex>" and "E" per call.
// Decode fills each sample with the frame's first byte times 256 plus the
// sample's index, and Encode returns the block's first 9 bytes, so tests can
// follow every byte through the converter. ONDAVO_TEST_CODEC_DELAY_US slows
// each decode down, for a test that acts while a conversion runs.
//
// Built also as a decoder alone and an encoder alone (RECORDING_DECODER_ONLY,
// RECORDING_ENCODER_ONLY), as a vendor's partial library might be.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "dvr_format.h"
#include "vek.h"

namespace {

std::vector<std::string> g_calls;
bool g_counting_only = false;
long long g_decodes = 0;
std::chrono::microseconds g_delay{0};

void Record(std::string call) {
  if (!g_counting_only) g_calls.push_back(std::move(call));
}

}  // namespace

extern "C" {

VEK_EXPORT void VEK_CALL vVek_Init_Dsp_Regs(void) {
  const char* delay = std::getenv("ONDAVO_TEST_CODEC_DELAY_US");
  g_delay = std::chrono::microseconds(delay != nullptr ? std::atoi(delay) : 0);
  Record("dsp");
}

#ifndef RECORDING_DECODER_ONLY
VEK_EXPORT void VEK_CALL vVek_Init_Encoder(void) {
  Record("enc");
}
VEK_EXPORT void VEK_CALL vVek_Encode(short* pcm, unsigned char* coded) {
  Record("E");
  std::memcpy(coded, pcm, kVekRecordBytes);
  std::memset(coded + kVekRecordBytes, 0xEE, kVekEncodeBufferBytes - kVekRecordBytes);
}
#endif

#ifndef RECORDING_ENCODER_ONLY
VEK_EXPORT void VEK_CALL vVek_Init_Decoder(void) {
  Record("dec");
}
VEK_EXPORT void VEK_CALL vVek_Decode(short* samples, unsigned char* frame) {
  ++g_decodes;
  if (g_delay.count() > 0) std::this_thread::sleep_for(g_delay);
  if (!g_counting_only) {
    std::string call = "D";
    for (int i = 0; i < ondavo::DvrFrameLength(frame[0]); ++i) {
      call += "0123456789abcdef"[frame[i] >> 4];
      call += "0123456789abcdef"[frame[i] & 15];
    }
    Record(call);
  }
  for (int i = 0; i < kVekFrameSamples; ++i) samples[i] = static_cast<short>(frame[0] * 256 + i);
}
#endif

// For the tests.
VEK_EXPORT const std::vector<std::string>* Recording_Calls() {
  return &g_calls;
}
VEK_EXPORT long long Recording_Decodes() {
  return g_decodes;
}
VEK_EXPORT void Recording_Reset(bool counting_only) {
  g_calls.clear();
  g_decodes = 0;
  g_counting_only = counting_only;
}

}  // extern "C"
