#include "fake_file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "path.h"

namespace ondavo::testing {

namespace {

bool IsSeparator(char c) {
  return kPathSeparators.find(c) != std::string_view::npos;
}

class FakeInputFile : public InputFile {
 public:
  FakeInputFile(uint64_t size, std::function<uint8_t(uint64_t)> byte_at, const FakeFileSystem* fs)
      : size_(size), byte_at_(std::move(byte_at)), fs_(fs) {}

  int Read(void* data, size_t size, size_t* read) override {
    *read = 0;
    if (pos_ >= fs_->read_error_at) return EIO;
    uint64_t end = std::min({size_, pos_ + size, fs_->read_error_at});
    auto* out = static_cast<uint8_t*>(data);
    for (; pos_ < end; ++pos_) out[(*read)++] = byte_at_(pos_);
    return 0;
  }
  int Size(uint64_t* size) override {
    if (fs_->size_error != 0) return fs_->size_error;
    *size = size_;
    return 0;
  }
  int Close() override { return fs_->input_close_error; }

 private:
  uint64_t size_;
  std::function<uint8_t(uint64_t)> byte_at_;
  const FakeFileSystem* fs_;
  uint64_t pos_ = 0;
};

class FakeOutputFile : public OutputFile {
 public:
  FakeOutputFile(FakeOutput* output, FakeFileSystem* fs) : output_(output), fs_(fs) {}

  int Write(const void* data, size_t size, size_t* written) override {
    *written = 0;
    if (!fs_->PowerOn()) return EIO;
    uint64_t room = fs_->disk_space > output_->size ? fs_->disk_space - output_->size : 0;
    *written = static_cast<size_t>(std::min<uint64_t>(size, room));
    Put(output_->size, data, *written);
    output_->size += *written;
    return *written < size ? fs_->write_error : 0;
  }
  int WriteAt(uint64_t offset, const void* data, size_t size) override {
    if (!fs_->PowerOn()) return EIO;
    if (fs_->write_at_error != 0) return fs_->write_at_error;
    if (offset + size > output_->size) return EINVAL;
    Put(offset, data, size);
    return 0;
  }
  int Sync() override {
    if (!fs_->PowerOn()) return EIO;
    if (fs_->sync_error != 0) return fs_->sync_error;
    output_->synced_head = output_->head;
    output_->synced_size = output_->size;
    return 0;
  }
  int Close() override {
    output_->closed = true;
    return fs_->close_error;
  }

 private:
  // Keeps what falls below keep_bytes, in one copy: the fuzz targets keep
  // every byte of outputs hundreds of times their input.
  void Put(uint64_t offset, const void* data, size_t size) {
    if (offset >= fs_->keep_bytes) return;
    size_t keep = static_cast<size_t>(std::min<uint64_t>(size, fs_->keep_bytes - offset));
    if (keep == 0) return;
    if (output_->head.size() < offset + keep) output_->head.resize(offset + keep);
    std::memcpy(output_->head.data() + offset, data, keep);
  }

  FakeOutput* output_;
  FakeFileSystem* fs_;
};

}  // namespace

void FakeFileSystem::AddInput(const std::string& path, uint64_t size,
                              std::function<uint8_t(uint64_t)> byte_at) {
  inputs_[path] = Input{size, std::move(byte_at)};
}

void FakeFileSystem::AddInput(const std::string& path, std::vector<uint8_t> bytes) {
  auto shared = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
  AddInput(path, shared->size(), [shared](uint64_t at) { return (*shared)[at]; });
}

void FakeFileSystem::AddFile(const std::string& path, std::vector<uint8_t> bytes) {
  FakeOutput& file = files_[path];
  file.size = bytes.size();
  file.head = std::move(bytes);
  file.closed = true;
  file.synced_head = file.head;
  file.synced_size = file.size;
}

int FakeFileSystem::OpenInput(const std::string& path, std::unique_ptr<InputFile>* file) {
  auto it = inputs_.find(path);
  if (it != inputs_.end()) {
    file->reset(new FakeInputFile(it->second.size, it->second.byte_at, this));
    return 0;
  }
  // A file at an output's name reads as much as the fake kept of it.
  auto output = files_.find(path);
  if (output == files_.end()) return ENOENT;
  auto head = std::make_shared<std::vector<uint8_t>>(output->second.head);
  file->reset(new FakeInputFile(
      output->second.size,
      [head](uint64_t at) -> uint8_t { return at < head->size() ? (*head)[at] : 0; }, this));
  return 0;
}

int FakeFileSystem::CheckOutputName(const std::string& path, bool* exists) {
  *exists = files_.count(path) != 0 || inputs_.count(path) != 0;
  return 0;
}

int FakeFileSystem::CreateTemporary(const std::string& path, std::unique_ptr<OutputFile>* file,
                                    std::string* temporary) {
  if (power_off_) return EIO;
  *temporary = TemporaryNameFor(path, std::to_string(++created_));
  FakeOutput& output = files_[*temporary];
  file->reset(new FakeOutputFile(&output, this));
  return 0;
}

int FakeFileSystem::Rename(const std::string& from, const std::string& to) {
  if (!PowerOn()) return EIO;
  if (rename_error != 0) return rename_error;
  auto node = files_.extract(from);
  if (node.empty()) return ENOENT;
  std::optional<FakeOutput> replaced;
  if (auto earlier = files_.find(to); earlier != files_.end()) {
    replaced = std::move(earlier->second);
    files_.erase(earlier);
  }
  renamed_.push_back({from, to, std::move(replaced)});
  node.key() = to;
  files_.insert(std::move(node));
  return 0;
}

int FakeFileSystem::Remove(const std::string& path) {
  if (power_off_) return EIO;
  if (remove_error != 0) return remove_error;
  files_.erase(path);
  return 0;
}

std::vector<std::string> FakeFileSystem::RemoveStaleTemporaries(const std::string& path) {
  const std::string prefix = TemporaryNameFor(path, "");
  std::vector<std::string> removed;
  for (auto it = files_.lower_bound(prefix); it != files_.end() && it->first.starts_with(prefix);) {
    if (!it->second.closed) {
      ++it;
      continue;
    }
    removed.push_back(it->first);
    it = files_.erase(it);
  }
  return removed;
}

bool FakeFileSystem::PowerOn() {
  power_off_ = power_off_ || operations_ == power_cut_after;
  ++operations_;
  return !power_off_;
}

void FakeFileSystem::PowerCut(bool renames_roll_back) {
  for (auto& [path, file] : files_) {
    file.head = file.synced_head;
    file.size = file.synced_size;
  }
  for (; renames_roll_back && !renamed_.empty(); renamed_.pop_back()) {
    Renamed& rename = renamed_.back();
    auto node = files_.extract(rename.to);
    node.key() = rename.from;
    files_.insert(std::move(node));
    if (rename.replaced) files_[rename.to] = std::move(*rename.replaced);
  }
  renamed_.clear();
  power_off_ = false;
  power_cut_after = UINT64_MAX;
}

int FakeFileSystem::Find(const std::string& path, bool* folder) {
  *folder = false;
  if (inputs_.count(path) != 0 || files_.count(path) != 0) return 0;
  *folder = !Children(path).empty();
  return *folder ? 0 : ENOENT;
}

int FakeFileSystem::ListFolder(const std::string& folder, std::vector<FolderEntry>* entries) {
  if (list_error != 0) return list_error;
  for (const auto& [name, is_folder] : Children(folder))
    entries->push_back({name, is_folder, !is_folder});
  return 0;
}

std::map<std::string, bool> FakeFileSystem::Children(const std::string& folder) const {
  std::map<std::string, bool> names;  // whether a folder
  auto add = [&](const std::string& path) {
    if (!path.starts_with(folder) || path.size() <= folder.size()) return;
    size_t start = folder.size();
    if (!folder.empty() && !IsSeparator(folder.back()) && !IsSeparator(path[start++])) return;
    if (start == path.size()) return;
    size_t end = path.find_first_of(kPathSeparators, start);
    names[path.substr(start, end - start)] = end != std::string::npos;
  };
  for (const auto& [path, input] : inputs_) add(path);
  for (const auto& [path, file] : files_) add(path);
  return names;
}

size_t FakeFileSystem::temporary_files() const {
  size_t n = 0;
  for (const auto& [path, file] : files_) n += path.find(".ondavo-part-") != std::string::npos;
  return n;
}

}  // namespace ondavo::testing
