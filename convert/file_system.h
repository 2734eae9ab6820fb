// The files a conversion reads and writes, behind a small interface so that
// tests can put a full disk, a failing close or a 3 GiB input under the
// commands without creating any of them.
//
// Every operation returns 0 or an errno value; nothing here throws.
#ifndef ONDAVO_CONVERT_FILE_SYSTEM_H_
#define ONDAVO_CONVERT_FILE_SYSTEM_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ondavo {

// A file opened for reading from its start.
class InputFile {
 public:
  virtual ~InputFile() = default;
  // Reads up to `size` bytes; `*read` is 0 only at the end of the file.
  virtual int Read(void* data, size_t size, size_t* read) = 0;
  // The file's length in bytes, without moving the read position.
  virtual int Size(uint64_t* size) = 0;
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
  virtual int Truncate(uint64_t size) = 0;
  virtual int Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Refuses folders with EISDIR.
  virtual int OpenInput(const std::string& path, std::unique_ptr<InputFile>* file) = 0;
  // Creates the file or truncates an existing one.
  virtual int CreateOutput(const std::string& path, std::unique_ptr<OutputFile>* file) = 0;
  // Opens an existing file for patching; nothing is truncated.
  virtual int OpenForUpdate(const std::string& path, std::unique_ptr<OutputFile>* file) = 0;
  // True when something, of any kind, is there.
  virtual bool Exists(const std::string& path) = 0;
  // True when both paths name one existing file (links included).
  virtual bool SameFile(const std::string& a, const std::string& b) = 0;
};

// The operating system's files.
FileSystem* DefaultFileSystem();

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_FILE_SYSTEM_H_
