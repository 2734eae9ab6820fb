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

std::vector<uint8_t> ReadWholeFile(const std::string& path);

// Creates or truncates the file. A failure can leave part of the data
// behind: the path may name a device or someone else's file, so it is not
// ours to delete.
void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data);

}  // namespace vek

#endif  // ONDAVO_CODEC_TOOL_CHECKED_FILE_H_
