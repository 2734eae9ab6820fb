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

// Refuses an output name that is taken, by a file or a link, unless `force`:
// what is there may be a recording or other work the user wants kept.
void CheckMayReplace(const std::string& output, bool force);

// Writes the data into a new temporary file beside `path` and renames it
// over `path` once all of it is written, so the output appears whole or
// not at all. A failure removes the temporary file and leaves whatever was
// at `path` as it was. A symbolic link at `path` is replaced, not written
// through; a folder, a device or a FIFO there is refused. The file gets the
// permissions of the regular file it replaces, or those of any new file.
void ReplaceWholeFile(const std::string& path, const std::vector<uint8_t>& data);

}  // namespace vek

#endif  // ONDAVO_CODEC_TOOL_CHECKED_FILE_H_
