// A FileSystem in memory for fault tests: inputs made by a function (so a
// 3 GiB input costs nothing), outputs kept in memory or only counted, and
// failures set up in advance: a write that fails past a size (putting the
// bytes before it), a close that fails, a read error at an offset, an input
// that cannot be measured, a header patch or a truncate that fails, an output
// that cannot be reopened.
#ifndef ONDAVO_TESTS_FAKE_FILE_SYSTEM_H_
#define ONDAVO_TESTS_FAKE_FILE_SYSTEM_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "file_system.h"

namespace ondavo::testing {

// An output as the fake disk holds it.
struct FakeOutput {
  std::vector<uint8_t> head;  // the first bytes, kept for reading back
  uint64_t size = 0;          // bytes on the fake disk
  bool closed = false;
  int closes = 0;
};

class FakeFileSystem : public FileSystem {
 public:
  // `byte_at(offset)` gives the input's content; `size` its length.
  void AddInput(const std::string& path, uint64_t size, std::function<uint8_t(uint64_t)> byte_at);
  void AddInput(const std::string& path, std::vector<uint8_t> bytes);

  // Failures.
  uint64_t disk_space = UINT64_MAX;     // writes past this fail with ENOSPC
  int write_error = 28;                 // errno for that (ENOSPC)
  int close_error = 0;                  // errno returned by every output close
  uint64_t read_error_at = UINT64_MAX;  // reads reaching this offset fail with EIO
  bool refuse_update = false;           // OpenForUpdate fails
  int size_error = 0;                   // errno of every input's Size
  int input_close_error = 0;            // errno returned by every input close
  int write_at_error = 0;               // errno of every WriteAt; nothing is written
  int truncate_error = 0;               // errno of every Truncate; the size stays
  size_t keep_bytes = 4096;             // how much of each output to keep

  const FakeOutput& output(const std::string& path) { return outputs_.at(path); }
  bool has_output(const std::string& path) const { return outputs_.count(path) != 0; }

  int OpenInput(const std::string& path, std::unique_ptr<InputFile>* file) override;
  int CreateOutput(const std::string& path, std::unique_ptr<OutputFile>* file) override;
  int OpenForUpdate(const std::string& path, std::unique_ptr<OutputFile>* file) override;
  bool Exists(const std::string& path) override {
    return inputs_.count(path) != 0 || outputs_.count(path) != 0;
  }
  bool SameFile(const std::string& a, const std::string& b) override { return a == b; }

 private:
  struct Input {
    uint64_t size;
    std::function<uint8_t(uint64_t)> byte_at;
  };
  std::map<std::string, Input> inputs_;
  std::map<std::string, FakeOutput> outputs_;
};

}  // namespace ondavo::testing

#endif  // ONDAVO_TESTS_FAKE_FILE_SYSTEM_H_
