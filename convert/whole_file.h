// An output that appears whole or not at all: written under a temporary name
// beside it (TemporaryNameFor) and put in its place only once it is whole, so
// that a failed or stopped run leaves whatever had the output's name as it
// was. Both the conversions and vek-codec write their outputs through it.
#ifndef ONDAVO_CONVERT_WHOLE_FILE_H_
#define ONDAVO_CONVERT_WHOLE_FILE_H_

#include <memory>
#include <string>

#include "file_system.h"

namespace ondavo {

class WholeFile {
 public:
  WholeFile() = default;
  ~WholeFile() { Abandon(); }
  WholeFile(const WholeFile&) = delete;
  WholeFile& operator=(const WholeFile&) = delete;

  // Creates the temporary file for `path` in `files`; `replaces` says that a
  // file is at `path` now. Until the file is put in place or removed, a
  // signal that ends the program removes it first. 0 or the error.
  int Create(FileSystem& files, const std::string& path, bool replaces);
  // The temporary file, to write into; null when none is open.
  OutputFile* file() const { return file_.get(); }
  // Closes the file and puts it in place of `path`. 0, or the error; the
  // temporary file is then still there for Abandon to remove.
  int Commit();
  // Closes and removes the temporary file, if there is one. 0, or the error
  // that kept it from going.
  int Abandon();
  // The temporary file's name while there is one, otherwise empty.
  const std::string& temporary_path() const { return temporary_; }

 private:
  FileSystem* files_ = nullptr;
  std::string path_;
  std::string temporary_;
  bool replaces_ = false;
  std::unique_ptr<OutputFile> file_;
};

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_WHOLE_FILE_H_
