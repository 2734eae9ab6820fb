// Encodes the chosen raw PCM file (.pcm: 16-bit mono samples, no header) into
// a stream of 9-byte coded records, one per block of 32 samples, beside it.
#ifndef ONDAVO_CONVERT_ENCODE_COMMAND_H_
#define ONDAVO_CONVERT_ENCODE_COMMAND_H_

#include "conversion.h"

namespace ondavo {

inline constexpr char kEncodeFinished[] = "Finish Vek Coder Encode.\nCreate of file %s ";

// An existing file of the output's name is never replaced unless the
// options say so: it may be a recording.
// 0 after a finished encode or when no .pcm path was chosen, -1 otherwise.
// Every outcome is told through host.ShowMessage.
int EncodeCommand(ConversionHost& host, const ConversionOptions& options = {});

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_ENCODE_COMMAND_H_
