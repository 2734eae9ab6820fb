#include "whole_file.h"

#include <utility>

#include "stop_signals.h"

namespace ondavo {

int WholeFile::Create(FileSystem& files, const std::string& path, bool replaces) {
  files_ = &files;
  path_ = path;
  replaces_ = replaces;
  if (int err = files.CreateTemporary(path, &file_, &temporary_)) {
    temporary_.clear();
    return err;
  }
  SetUnfinishedFile(temporary_.c_str());
  return 0;
}

int WholeFile::Commit() {
  // An earlier file is replaced only by one whose bytes are on the disk:
  // otherwise a power cut soon after the rename could leave an empty file
  // where a whole one was. Closed before anyone hears it is finished, so
  // that a close that fails is reported instead.
  int err = replaces_ ? file_->Sync() : 0;
  int closed = file_->Close();
  if (err == 0) err = closed;
  file_.reset();
  if (err == 0) err = files_->Rename(temporary_, path_);
  if (err == 0) {
    temporary_.clear();
    SetUnfinishedFile(nullptr);
  }
  return err;
}

int WholeFile::Abandon() {
  if (file_) file_->Close();
  file_.reset();
  if (temporary_.empty()) return 0;
  int err = files_->Remove(std::exchange(temporary_, {}));
  SetUnfinishedFile(nullptr);
  return err;
}

}  // namespace ondavo
