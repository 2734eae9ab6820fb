// The files a conversion reads and writes, behind a small interface so that
// tests can put a full disk, a failing close or a 3 GiB input under the
// commands without creating any of them.
//
// An output is written under a temporary name beside its final one and put
// in place only when it is whole, so a failed run never leaves a partial
// file under an output's name, and an earlier output survives it.
//
// Every operation returns 0 or an error code (an errno value, kNotRegularFile
// or, on Windows, kWindowsErrorBase + a Windows error code); nothing here
// throws. ErrorText() words each.
#ifndef ONDAVO_PLATFORM_FILE_SYSTEM_H_
#define ONDAVO_PLATFORM_FILE_SYSTEM_H_

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ondavo {

// A FIFO, a device or a socket where a file was expected.
inline constexpr int kNotRegularFile = 100001;
// Windows' own error codes (GetLastError) start here, above every errno.
inline constexpr int kWindowsErrorBase = 200000;

// The system's wording of `error`, without a final period.
std::string ErrorText(int error);

// One name in a folder, as ListFolder finds it.
struct FolderEntry {
  std::string name;
  bool folder = false;  // a folder; a link to one is not followed, so not one
  bool file = false;    // a regular file, or a link to one
};

// A file opened for reading from its start.
class InputFile {
 public:
  virtual ~InputFile() = default;
  // Reads up to `size` bytes; `*read` is 0 only at the end of the file.
  virtual int Read(void* data, size_t size, size_t* read) = 0;
  // The file's length in bytes, without moving the read position.
  virtual int Size(uint64_t* size) = 0;
  // When the file was last written, in seconds since 1970-01-01 UTC.
  virtual int ModificationTime(int64_t* seconds) {
    (void)seconds;
    return ENOTSUP;  // a file of no time: one read from a pipe
  }
  virtual int Close() = 0;
};

// A file opened for writing at its end, that can also be patched in place.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // Appends; `*written` says how much reached the file, also on failure.
  virtual int Write(const void* data, size_t size, size_t* written) = 0;
  // Overwrites bytes at `offset` without moving the append position.
  virtual int WriteAt(uint64_t offset, const void* data, size_t size) = 0;
  // Waits until what was written is on the disk.
  virtual int Sync() = 0;
  virtual int Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens a regular file. A folder is refused with EISDIR, anything else
  // that is not a regular file with kNotRegularFile, without waiting for it.
  virtual int OpenInput(const std::string& path, std::unique_ptr<InputFile>* file) = 0;
  // Whether an output may be put at `path`: 0 when nothing is there, or a
  // file or link we may replace (`*exists` then says which); EISDIR for a
  // folder, kNotRegularFile for a device or the like, EACCES for a file
  // that is read-only to us.
  virtual int CheckOutputName(const std::string& path, bool* exists) = 0;
  // Creates a new, empty file in the folder of `path` under a name of its
  // own (TemporaryNameFor), with the permissions a new file gets there, or
  // those of the file it is to replace. Its name goes to `*temporary`. It is
  // locked while it is open, so that RemoveStaleTemporaries leaves it alone.
  virtual int CreateTemporary(const std::string& path, std::unique_ptr<OutputFile>* file,
                              std::string* temporary) = 0;
  // Puts the closed file `from` in place of `to` in one step; whatever `to`
  // named before, a link included, is replaced, not written through.
  virtual int Rename(const std::string& from, const std::string& to) = 0;
  virtual int Remove(const std::string& path) = 0;
  // Removes what killed runs left of outputs to `path`: the regular files
  // named TemporaryNameFor(path, <anything>) that no process is writing (on
  // POSIX systems none holds locked, on Windows none has open). Returns
  // their paths. A file that cannot be taken or removed is left.
  virtual std::vector<std::string> RemoveStaleTemporaries(const std::string& path) = 0;
  // True when both paths name one existing file (links included).
  virtual bool SameFile(const std::string& a, const std::string& b) = 0;

  // The folders and files a batch of conversions goes through.
  // Whether something is at `path`, links followed: 0, and `*folder` says
  // whether a folder; otherwise why nothing can be found there.
  virtual int Find(const std::string& path, bool* folder) = 0;
  // The names in `folder` but "." and "..", in the system's order.
  virtual int ListFolder(const std::string& folder, std::vector<FolderEntry>* entries) = 0;
  // Creates `folder` and those above it that are missing; 0 when it is there.
  virtual int CreateFolders(const std::string& folder) = 0;
  // Gives `to` the modification time of `from`.
  virtual int CopyModificationTime(const std::string& from, const std::string& to) = 0;
  // Whether the file system of `folder`, or of the nearest folder above it
  // that exists, takes names that differ only in case for one file.
  virtual int IgnoresCase(const std::string& folder, bool* ignores) = 0;
};

// The operating system's files.
FileSystem* DefaultFileSystem();

// The temporary name of an output in the making: "rec/a.WAV" is written as
// "rec/a.ondavo-part-<unique>". Such a name carries neither an input's nor
// an output's extension, so a file left by a killed process is never taken
// for either, and its owner can tell what it is.
std::string TemporaryNameFor(const std::string& path, const std::string& unique);

}  // namespace ondavo

#endif  // ONDAVO_PLATFORM_FILE_SYSTEM_H_
