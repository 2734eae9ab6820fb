// Which input of a run took each output name first, so that two inputs of
// one run never write one output: "a 2024.03.05.DVR" and "a 2024.03.06.DVR"
// both name "a 2024.WAV", and so do card1/x.DVR and card2/x.DVR gathered
// into one folder.
#ifndef ONDAVO_CONVERT_OUTPUT_CLAIMS_H_
#define ONDAVO_CONVERT_OUTPUT_CLAIMS_H_

#include <map>
#include <string>

#include "file_system.h"

namespace ondavo {

class OutputClaims {
 public:
  // `files` is asked whether a folder's file system ignores case.
  explicit OutputClaims(FileSystem* files = DefaultFileSystem()) : files_(files) {}

  // Empty when `output` is free, and takes it for `input`; otherwise the
  // message that refuses `input`, naming the input that has it.
  std::string Claim(const std::string& input, const std::string& output);

  // The form in which two spellings of one place compare equal: an absolute
  // path with the links among its folders resolved (the name itself is
  // not, since an output replaces a link rather than writing through it),
  // and in one case where the file system takes names that differ only in
  // case for one file (Windows', and the FAT of a recorder's card).
  std::string Key(const std::string& path);

 private:
  bool IgnoresCase(const std::string& folder);

  FileSystem* files_;
  std::map<std::string, std::string> first_input_;
  std::map<std::string, bool> ignores_case_;  // by folder, asked once a run
};

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_OUTPUT_CLAIMS_H_
