// A FileSystem in memory for fault tests: inputs made by a function (so a
// 3 GiB input costs nothing), outputs kept in memory or only counted, and
// failures set up in advance: a write that fails past a size (putting the
// bytes before it), a read error at an offset, an input that cannot be
// measured, and a failing close, header patch, sync, rename or removal,
// folder listing, folder creation or time copy.
//
// It also models a power cut, as a disk without a battery meets one: a
// file's writes since its last sync are lost together (it falls back to
// what it held then), and a rename may roll back (the file it replaced
// comes back), as nothing here makes a rename durable.
#ifndef ONDAVO_TESTS_FAKE_FILE_SYSTEM_H_
#define ONDAVO_TESTS_FAKE_FILE_SYSTEM_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "file_system.h"

namespace ondavo::testing {

// A file as the fake disk holds it.
struct FakeOutput {
  std::vector<uint8_t> head;  // the first bytes, kept for reading back
  uint64_t size = 0;          // bytes on the fake disk
  bool closed = false;
  std::vector<uint8_t> synced_head;  // what a power cut leaves of it
  uint64_t synced_size = 0;
};

class FakeFileSystem : public FileSystem {
 public:
  // `byte_at(offset)` gives the input's content; `size` its length.
  void AddInput(const std::string& path, uint64_t size, std::function<uint8_t(uint64_t)> byte_at);
  void AddInput(const std::string& path, std::vector<uint8_t> bytes);
  // A file already at an output's name, or left under a temporary one; synced.
  void AddFile(const std::string& path, std::vector<uint8_t> bytes);

  // Failures: errno values, 0 for none.
  uint64_t disk_space = UINT64_MAX;     // writes past this fail with write_error
  int write_error = 28;                 // ENOSPC
  uint64_t read_error_at = UINT64_MAX;  // reads reaching this offset fail with EIO
  int size_error = 0;                   // of every input's Size
  int input_close_error = 0;
  int close_error = 0;     // of every output's Close
  int write_at_error = 0;  // of every WriteAt; nothing is written
  int sync_error = 0;
  int rename_error = 0;
  int remove_error = 0;
  int list_error = 0;  // of every ListFolder
  int create_folders_error = 0;
  int time_error = 0;
  size_t keep_bytes = 4096;  // how much of each file to keep

  // The power goes after this many writes, syncs and renames: the next one
  // and all after it fail with EIO and change nothing.
  uint64_t power_cut_after = UINT64_MAX;
  // What the disk holds once the power is back: each file as it was at its
  // last sync, and with `renames_roll_back` each rename undone, latest first.
  void PowerCut(bool renames_roll_back);

  // The files under their final names, and those still under temporary ones.
  const FakeOutput& output(const std::string& path) const { return files_.at(path); }
  bool has_output(const std::string& path) const { return files_.count(path) != 0; }
  size_t temporary_files() const;

  int OpenInput(const std::string& path, std::unique_ptr<InputFile>* file) override;
  int CheckOutputName(const std::string& path, bool* exists) override;
  int CreateTemporary(const std::string& path, std::unique_ptr<OutputFile>* file,
                      std::string* temporary) override;
  int Rename(const std::string& from, const std::string& to) override;
  int Remove(const std::string& path) override;
  // The temporary files closed are those no run is writing.
  std::vector<std::string> RemoveStaleTemporaries(const std::string& path) override;
  bool SameFile(const std::string& a, const std::string& b) override { return a == b; }
  // Folders are those above the files' paths.
  int Find(const std::string& path, bool* folder) override;
  int ListFolder(const std::string& folder, std::vector<FolderEntry>* entries) override;
  int CreateFolders(const std::string&) override { return create_folders_error; }
  int CopyModificationTime(const std::string&, const std::string&) override { return time_error; }
  int IgnoresCase(const std::string&, bool* ignores) override { return *ignores = false; }
  // Counts a write, sync or rename to be; false once the power has gone.
  bool PowerOn();

 private:
  struct Input {
    uint64_t size;
    std::function<uint8_t(uint64_t)> byte_at;
  };
  // The names in `folder`, each with whether it is a folder.
  std::map<std::string, bool> Children(const std::string& folder) const;

  std::map<std::string, Input> inputs_;
  // Outputs by name, shared with the open files so a rename keeps them valid.
  std::map<std::string, FakeOutput> files_;
  int created_ = 0;
  uint64_t operations_ = 0;
  bool power_off_ = false;
  struct Renamed {
    std::string from, to;
    std::optional<FakeOutput> replaced;
  };
  std::vector<Renamed> renamed_;  // since the power came on
};

}  // namespace ondavo::testing

#endif  // ONDAVO_TESTS_FAKE_FILE_SYSTEM_H_
