// Standard input and output as files, for a decode that reads a recording
// from a pipe or writes its output to one.
#ifndef ONDAVO_PLATFORM_STANDARD_STREAMS_H_
#define ONDAVO_PLATFORM_STANDARD_STREAMS_H_

#include <memory>
#include <string>

#include "file_system.h"

namespace ondavo {

// Standard output, in binary on every system. It only appends: WriteAt
// fails with ESPIPE, Sync and Close do nothing. A reader that went away is
// EPIPE, not a signal (the programs ignore SIGPIPE).
std::unique_ptr<OutputFile> StandardOutputFile();

// Standard input read to its end, in binary; 0 or an error code.
int ReadStandardInput(std::string* bytes);

}  // namespace ondavo

#endif  // ONDAVO_PLATFORM_STANDARD_STREAMS_H_
