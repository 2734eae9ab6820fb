// Whole-file reads and writes where every system call is checked; a failure
// throws a FileError whose message names the file and the system's reason.
#ifndef ONDAVO_CODEC_TOOL_CHECKED_FILE_H_
#define ONDAVO_CODEC_TOOL_CHECKED_FILE_H_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vek {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a regular file. Anything else (a folder, a FIFO, a device) is
// refused before it is opened, so a FIFO nobody writes to cannot hang us.
std::vector<uint8_t> ReadWholeFile(const std::string& path);

// Refuses an output that is the input: the same name, or another name for
// the same file (a hard link, a symbolic link).
void CheckNotSameFile(const std::string& input, const std::string& output);

// Creates or truncates the file. A failure can leave part of the data
// behind: the path may name a device or someone else's file, so it is not
// ours to delete.
void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data);

}  // namespace vek

#endif  // ONDAVO_CODEC_TOOL_CHECKED_FILE_H_
