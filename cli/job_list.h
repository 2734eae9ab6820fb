// Turns the paths on the command line into the list of files to convert:
// with recursion, a folder stands for every input file under it, and with an
// output folder, each output's place mirrors its input's under that folder.
#ifndef ONDAVO_CLI_JOB_LIST_H_
#define ONDAVO_CLI_JOB_LIST_H_

#include <string>
#include <vector>

#include "command.h"
#include "file_system.h"

namespace ondavo {

// One file to convert, and the folder for its output (empty: beside it).
struct Job {
  std::string input;
  std::string output_folder;
};

struct JobListOptions {
  const Command* command = nullptr;  // a folder's search takes its inputs
  bool recursive = false;
  std::string output_root = {};  // empty: outputs beside their inputs
  bool quiet = false;            // no notes
  FileSystem* file_system = DefaultFileSystem();
};

struct JobList {
  std::vector<Job> jobs;
  // Messages: each folder that could not be searched, a failed input; each
  // path refused, as a usage error is; each folder that holds no input.
  std::vector<std::string> failures, refusals, notes;
};

// Paths are kept in the order given; a folder's files come sorted by path.
// Each file is listed once, however many times the paths reach it. Paths
// found in folders are joined with the system's own separator.
JobList ListJobs(const std::vector<std::string>& paths, const JobListOptions& options);

}  // namespace ondavo

#endif  // ONDAVO_CLI_JOB_LIST_H_
