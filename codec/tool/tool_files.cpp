#include "tool_files.h"

#include <memory>

#include "file_system.h"
#include "whole_file.h"

namespace vek {
namespace {

using ondavo::DefaultFileSystem;

// The system's reason, in the lower case of the rest of the tool's line
// where it is the converter's own.
std::string Reason(int error) {
  return error == ondavo::kNotRegularFile ? "not a regular file" : ondavo::ErrorText(error);
}

[[noreturn]] void Throw(const char* what, const std::string& path, const std::string& reason) {
  throw FileError(what + (" " + path) + ": " + reason);
}

}  // namespace

ToolFiles::ToolFiles(const std::string& input, const std::string& output, bool force)
    : input_(input), output_(output) {
  if (input == output) Throw("cannot write", output, "it is the input file; nothing written");
  ondavo::FileSystem& files = *DefaultFileSystem();
  if (files.SameFile(input, output)) {
    Throw("cannot write", output,
          "it is the input file " + input + " by another name; nothing written");
  }
  const int err = files.CheckOutputName(output, &output_exists_);
  if (output_exists_ && !force) {
    throw FileError(output + " exists; not replaced (--force replaces it)");
  }
  if (err != 0) Throw("cannot write", output, Reason(err));
}

std::vector<uint8_t> ToolFiles::ReadInput() const {
  std::unique_ptr<ondavo::InputFile> file;
  if (int err = DefaultFileSystem()->OpenInput(input_, &file)) {
    Throw("cannot open", input_, Reason(err));
  }
  std::vector<uint8_t> data;
  uint8_t buffer[1 << 16];
  size_t got = 0;
  do {
    if (int err = file->Read(buffer, sizeof buffer, &got))
      Throw("cannot read", input_, Reason(err));
    data.insert(data.end(), buffer, buffer + got);
  } while (got > 0);
  if (int err = file->Close()) Throw("cannot close", input_, Reason(err));
  return data;
}

void ToolFiles::WriteOutput(const std::vector<uint8_t>& data) const {
  const std::string aftermath =
      output_exists_ ? "; " + output_ + " is left as it was" : "; nothing written";
  ondavo::WholeFile output;
  if (int err = output.Create(*DefaultFileSystem(), output_, output_exists_)) {
    Throw("cannot create", output_, Reason(err) + aftermath);
  }
  size_t written = 0;
  int err = output.file()->Write(data.data(), data.size(), &written);
  if (err == 0) err = output.Commit();
  if (err != 0) Throw("cannot write", output_, Reason(err) + aftermath);
}

}  // namespace vek
