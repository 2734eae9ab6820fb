#include "codec_binding.h"

namespace ondavo {

LibraryHandle g_hCodecLib = nullptr;
CodecBinding g_CodecBinding;

namespace {

template <typename Fn>
Fn Lookup(const char* name) {
  return reinterpret_cast<Fn>(FindLibrarySymbol(g_hCodecLib, name));
}

}  // namespace

void BindCodecLibrary(const std::string& library) {
  g_CodecBinding = CodecBinding{};
  g_CodecBinding.library_name = library;
  g_hCodecLib = LoadSharedLibrary(library, &g_CodecBinding.load_error);
  if (g_hCodecLib == nullptr) return;
  g_CodecBinding.vVek_Decode = Lookup<VekDecodeFn>("vVek_Decode");
  g_CodecBinding.vVek_Encode = Lookup<VekEncodeFn>("vVek_Encode");
  g_CodecBinding.vVek_Init_Decoder = Lookup<VekResetFn>("vVek_Init_Decoder");
  g_CodecBinding.vVek_Init_Encoder = Lookup<VekResetFn>("vVek_Init_Encoder");
  g_CodecBinding.vVek_Init_Dsp_Regs = Lookup<VekResetFn>("vVek_Init_Dsp_Regs");
}

std::string MissingCodecEntryPoint(CodecUse use) {
  if (g_CodecBinding.library_name.empty()) BindCodecLibrary();
  const CodecBinding& codec = g_CodecBinding;
  if (g_hCodecLib == nullptr) {
    return "Can't load codec library " + codec.library_name + " (" + codec.load_error + ")";
  }
  struct Needed {
    const char* name;
    bool present;
  };
  const Needed decode[] = {{"vVek_Init_Dsp_Regs", codec.vVek_Init_Dsp_Regs != nullptr},
                           {"vVek_Init_Decoder", codec.vVek_Init_Decoder != nullptr},
                           {"vVek_Decode", codec.vVek_Decode != nullptr}};
  const Needed encode[] = {{"vVek_Init_Dsp_Regs", codec.vVek_Init_Dsp_Regs != nullptr},
                           {"vVek_Init_Encoder", codec.vVek_Init_Encoder != nullptr},
                           {"vVek_Encode", codec.vVek_Encode != nullptr}};
  for (const Needed& entry : use == CodecUse::kDecode ? decode : encode) {
    if (!entry.present) {
      return "Codec library " + codec.library_name + " has no entry point " + entry.name;
    }
  }
  return {};
}

}  // namespace ondavo
