// Runs a list of conversions from the command line, one after another or
// several at once, and counts how they ended.
//
// The codec library keeps process-wide state, so conversions that run at the
// same time each run in a process of their own. Their messages are held back
// and printed whole when each one ends.
#ifndef ONDAVO_CLI_BATCH_H_
#define ONDAVO_CLI_BATCH_H_

#include <csignal>
#include <vector>

#include "conversion.h"
#include "job_list.h"

namespace ondavo {

using Command = int (*)(ConversionHost&, const ConversionOptions&);

struct BatchOptions {
  Command command = nullptr;
  const char* output_extension = "";  // "WAV" or "DVR", to find the output for --keep-time
  bool quiet = false;
  bool no_clobber = false;
  bool keep_time = false;
  int jobs = 1;
  // Turns non-zero on Ctrl-C: the running conversions stop, keeping what
  // they wrote, and no new one starts.
  const volatile std::sig_atomic_t* stop_request = nullptr;
};

struct Tally {
  int converted = 0;
  int skipped = 0;
  int failed = 0;
  int refused = 0;
};

Tally RunBatch(const std::vector<Job>& jobs, const BatchOptions& options);

}  // namespace ondavo

#endif  // ONDAVO_CLI_BATCH_H_
