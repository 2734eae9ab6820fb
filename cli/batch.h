// Runs a list of conversions from the command line, one after another or
// several at once, and counts how they ended.
//
// The codec library keeps process-wide state, so conversions that run at the
// same time each run in a process of their own. Their messages are held back
// and printed whole when each one ends.
//
// Two inputs whose outputs would have one name are not both converted: the
// first is, and each later one fails with a message that names both.
#ifndef ONDAVO_CLI_BATCH_H_
#define ONDAVO_CLI_BATCH_H_

#include <csignal>
#include <optional>
#include <vector>

#include "conversion.h"
#include "file_system.h"
#include "job_list.h"
#include "worker_pool.h"

namespace ondavo {

struct BatchOptions {
  // Also asked which paths it takes and what it names their outputs, to
  // know each input's output before it runs.
  const Command* command = nullptr;
  bool quiet = false;
  // Whether the frame counts go to standard output; unset: unless quiet, or
  // the progress shows on the same terminal. A worker started again is told
  // its run's choice: its own standard output is a pipe.
  std::optional<bool> frame_counts = {};
  std::optional<ExistingOutput> existing_output = {};  // unset: the command's own rule
  bool keep_time = false;
  int jobs = 1;
  int bitrate_kbit = 0;  // the size of Opus and MP3 outputs; 0 for the default
  FileSystem* file_system = DefaultFileSystem();
  // Turns non-zero on Ctrl-C: the running conversions stop, writing
  // nothing, and no new one starts.
  const volatile std::sig_atomic_t* stop_request = nullptr;
  // Set when the stop came from the terminal, which told every process.
  const volatile std::sig_atomic_t* stop_from_terminal = nullptr;
};

struct Tally {
  int converted = 0;
  int skipped = 0;
  int failed = 0;
  int refused = 0;
  int not_started = 0;  // left alone by a stop
};

Tally RunBatch(const std::vector<Job>& jobs, const BatchOptions& options);

// One conversion as a worker of a parallel run does it, its messages held
// for the run to print.
WorkResult RunInWorker(const Job& job, const BatchOptions& options);

}  // namespace ondavo

#endif  // ONDAVO_CLI_BATCH_H_
