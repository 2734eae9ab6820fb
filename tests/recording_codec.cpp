// A codec library for the tests that counts its calls instead of coding.
// Decode fills each sample with the frame's first byte times 256 plus the
// sample's index, and Encode returns the block's first 9 bytes, so tests can
// tell it from the real one in what the converter writes.
// ONDAVO_TEST_CODEC_DELAY_US slows each decode down, for a test that acts
// while a conversion runs.
//
// Built also as a decoder alone and an encoder alone (RECORDING_DECODER_ONLY,
// RECORDING_ENCODER_ONLY), as a vendor's partial library might be.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "vek.h"

namespace {

long long g_calls = 0;
long long g_decodes = 0;
std::chrono::microseconds g_delay{0};

}  // namespace

extern "C" {

VEK_EXPORT void VEK_CALL vVek_Init_Dsp_Regs(void) {
  const char* delay = std::getenv("ONDAVO_TEST_CODEC_DELAY_US");
  g_delay = std::chrono::microseconds(delay != nullptr ? std::atoi(delay) : 0);
  ++g_calls;
}

#ifndef RECORDING_DECODER_ONLY
VEK_EXPORT void VEK_CALL vVek_Init_Encoder(void) {
  ++g_calls;
}
VEK_EXPORT void VEK_CALL vVek_Encode(short* pcm, unsigned char* coded) {
  ++g_calls;
  std::memcpy(coded, pcm, kVekRecordBytes);
  std::memset(coded + kVekRecordBytes, 0xEE, kVekEncodeBufferBytes - kVekRecordBytes);
}
#endif

#ifndef RECORDING_ENCODER_ONLY
VEK_EXPORT void VEK_CALL vVek_Init_Decoder(void) {
  ++g_calls;
}
VEK_EXPORT void VEK_CALL vVek_Decode(short* samples, unsigned char* frame) {
  ++g_calls;
  ++g_decodes;
  if (g_delay.count() > 0) std::this_thread::sleep_for(g_delay);
  for (int i = 0; i < kVekFrameSamples; ++i) samples[i] = static_cast<short>(frame[0] * 256 + i);
}
#endif

// For the tests.
VEK_EXPORT long long Recording_Calls() {
  return g_calls;
}
VEK_EXPORT long long Recording_Decodes() {
  return g_decodes;
}
VEK_EXPORT void Recording_Reset() {
  g_calls = g_decodes = 0;
}

}  // extern "C"
