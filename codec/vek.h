// The voice codec library's interface: the five entry points the converter
// binds at run time, plus a few extras our own tools and tests use.
//
// A vendor library that exports only the five must work with the converter
// unchanged, so the converter never calls the extras.
#ifndef ONDAVO_CODEC_VEK_H_
#define ONDAVO_CODEC_VEK_H_

#if defined(_WIN32) && !defined(_WIN64)
#define VEK_CALL __stdcall
#else
#define VEK_CALL
#endif

#if defined(_WIN32)
#define VEK_EXPORT __declspec(dllexport)
#else
#define VEK_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Samples per decoded frame, samples per encoded block, bytes per record.
enum {
  kVekFrameSamples = 160,
  kVekBlockSamples = 32,
  kVekRecordBytes = 9,
  kVekEncodeBufferBytes = 12,
  kVekMaxFrameBytes = 24
};

// Prepares the codec for a new stream; called first in every conversion.
VEK_EXPORT void VEK_CALL vVek_Init_Dsp_Regs(void);
// Resets the encoder (block history) for a new stream.
VEK_EXPORT void VEK_CALL vVek_Init_Encoder(void);
// Resets the decoder (frame decoder, comfort-noise seed, record history).
VEK_EXPORT void VEK_CALL vVek_Init_Decoder(void);
// Encodes 32 samples (64 bytes) into a 9-byte record in `coded`; writes
// nothing past coded[11].
VEK_EXPORT void VEK_CALL vVek_Encode(short* pcm, unsigned char* coded);
// Decodes one frame of 2 to 24 bytes (its length follows from its first byte)
// into 160 samples; reads nothing past the frame's own length.
VEK_EXPORT void VEK_CALL vVek_Decode(short* samples, unsigned char* frame);

// Extras, not part of the converter's binding.

// Frame types by their length in bytes.
enum VekFrameType {
  kVekFrameLow = 11,    // 00xxxxxx
  kVekFrameMid = 18,    // 01xxxxxx
  kVekFrameHigh = 24,   // 10xxxxxx
  kVekFrameNoise = 4,   // 110xxxxx, comfort noise
  kVekFrameSilence = 2  // 111xxxxx
};

// The samples vVek_Encode_Frame reads after the frame's own: the speech
// coder's look-ahead, which it makes up for so that decoded frame n is input
// frame n. The input's first 52 samples are lost instead: decoded frame 0
// fades in from silence over them.
enum { kVekFrameLookahead = 52 };

// Encodes the 160 samples at pcm[0] into one frame of the given type, reading
// the kVekFrameLookahead samples after them too (zeros past the end of the
// input); returns the frame's length in bytes (the type's), or 0 for an
// unknown type. `frame` must hold 24 bytes. Uses the encoder state that
// vVek_Init_Encoder resets.
VEK_EXPORT int VEK_CALL vVek_Encode_Frame(const short* pcm, int type, unsigned char* frame);
// Decodes one 9-byte record back into 32 samples, using the record history
// that vVek_Init_Decoder resets.
VEK_EXPORT void VEK_CALL vVek_Decode_Record(const unsigned char* record, short* pcm);

#ifdef __cplusplus
}
#endif

#endif  // ONDAVO_CODEC_VEK_H_
