// The codec library, loaded when a command first needs it and through the
// converter's own loading, so that the tool finds the library the converter
// would (never one in the current folder), and --help or a usage error needs
// none. Its entry points are looked up by name.
#ifndef ONDAVO_CODEC_TOOL_CODEC_LIBRARY_H_
#define ONDAVO_CODEC_TOOL_CODEC_LIBRARY_H_

namespace vek {

// The codec library's entry point `name`, the library loaded the first time.
// Throws CodecError naming the library and the reason when it does not load
// or lacks `name`.
void* CodecEntryPoint(const char* name);

}  // namespace vek

// vek.h's entry point `name`, typed as vek.h declares it; naming it only in
// decltype keeps the program free of any link to the library.
#define VEK_ENTRY_POINT(name) reinterpret_cast<decltype(&name)>(::vek::CodecEntryPoint(#name))

#endif  // ONDAVO_CODEC_TOOL_CODEC_LIBRARY_H_
