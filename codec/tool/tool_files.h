// The input and the output of pack and unpack, through the converter's files
// (DefaultFileSystem): the input read whole, the output written whole or not
// at all (WholeFile). A failure throws a FileError whose message names the
// file and the reason.
#ifndef ONDAVO_CODEC_TOOL_TOOL_FILES_H_
#define ONDAVO_CODEC_TOOL_TOOL_FILES_H_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vek {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ToolFiles {
 public:
  // Refuses an output that is the input (by any name, a link included), a
  // name that is taken unless `force` (what is there may be a recording or
  // other work the user wants kept), and one that is no file or link.
  ToolFiles(const std::string& input, const std::string& output, bool force);

  // The input, which must be a regular file: a FIFO nobody writes to
  // cannot hang us.
  std::vector<uint8_t> ReadInput() const;
  // Puts `data` in place of the output once all of it is written; a failure
  // leaves whatever was there as it was.
  void WriteOutput(const std::vector<uint8_t>& data) const;

 private:
  std::string input_;
  std::string output_;
  bool output_exists_ = false;
};

}  // namespace vek

#endif  // ONDAVO_CODEC_TOOL_TOOL_FILES_H_
