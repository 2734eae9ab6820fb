// The libsndfile entry points EncodedAudioWriter calls, in one table. Linux
// links libsndfile (sndfile_linked.cpp); the Windows build loads it at run
// time from the program's own folder (sndfile_loaded.cpp), as a DLL a user
// may replace and without which WAV still works. CMake picks the one.
#ifndef ONDAVO_CONVERT_SNDFILE_API_H_
#define ONDAVO_CONVERT_SNDFILE_API_H_

#include <sndfile.h>

#include <string>

namespace ondavo {

struct SndfileApi {
  decltype(&sf_open_virtual) open_virtual;
  decltype(&sf_command) command;
  decltype(&sf_set_string) set_string;
  decltype(&sf_close) close;
  decltype(&sf_strerror) strerror;
  decltype(&sf_write_short) write_short;
  decltype(&sf_write_float) write_float;
  decltype(&sf_error_number) error_number;
};

// The table, or null with the reason, for a message, in `*error`.
const SndfileApi* Sndfile(std::string* error);

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_SNDFILE_API_H_
