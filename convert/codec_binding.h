// The codec library's five entry points, bound once by bare name at start-up
// and kept for the life of the process.
//
// A library that lacks an entry point still binds: a decode needs only the
// decoder's three, an encode only the encoder's three, so each command asks
// for what it uses (MissingCodecEntryPoint).
#ifndef ONDAVO_CONVERT_CODEC_BINDING_H_
#define ONDAVO_CONVERT_CODEC_BINDING_H_

#include <string>

#include "shared_library.h"
#include "vek.h"

namespace ondavo {

using VekResetFn = void(VEK_CALL*)();
using VekEncodeFn = void(VEK_CALL*)(short* pcm, unsigned char* coded);
using VekDecodeFn = void(VEK_CALL*)(short* samples, unsigned char* frame);

struct CodecBinding {
  std::string library_name;  // what was asked for
  std::string load_error;    // why it did not load; empty when it did
  VekDecodeFn vVek_Decode = nullptr;
  VekEncodeFn vVek_Encode = nullptr;
  VekResetFn vVek_Init_Decoder = nullptr;
  VekResetFn vVek_Init_Encoder = nullptr;
  VekResetFn vVek_Init_Dsp_Regs = nullptr;
};

extern LibraryHandle g_hCodecLib;
extern CodecBinding g_CodecBinding;

// Loads `library` (by default the platform's codec library) and looks up the
// five entry points. A later call binds anew; the earlier library stays loaded,
// since nothing can tell whether a pointer into it is still held.
void BindCodecLibrary(const std::string& library = kCodecLibraryName);

enum class CodecUse { kDecode, kEncode };

// Empty when the library is loaded with every entry point `use` needs;
// otherwise a message for the user that names the library and what is wrong.
// Binds the default library first if nothing was bound yet.
std::string MissingCodecEntryPoint(CodecUse use);

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_CODEC_BINDING_H_
