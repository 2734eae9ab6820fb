// FileSystem on POSIX file descriptors. Buffering is the caller's business
// (BufferedReader, BufferedWriter), so each call here is one system call.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "file_system.h"

namespace ondavo {
namespace {

int RetryRead(int fd, void* data, size_t size, size_t* read) {
  for (;;) {
    ssize_t n = ::read(fd, data, size);
    if (n >= 0) {
      *read = static_cast<size_t>(n);
      return 0;
    }
    if (errno != EINTR) {
      *read = 0;
      return errno;
    }
  }
}

int CloseOnce(int* fd) {
  if (*fd < 0) return 0;
  int result = ::close(*fd) == 0 ? 0 : errno;
  *fd = -1;
  // Linux closes the descriptor even when close reports EINTR; retrying
  // could close somebody else's file.
  return result == EINTR ? 0 : result;
}

class PosixInputFile final : public InputFile {
 public:
  explicit PosixInputFile(int fd) : fd_(fd) {}
  ~PosixInputFile() override { CloseOnce(&fd_); }

  int Read(void* data, size_t size, size_t* read) override {
    return RetryRead(fd_, data, size, read);
  }

  int Size(uint64_t* size) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return errno;
    if (S_ISREG(st.st_mode)) {
      *size = static_cast<uint64_t>(st.st_size);
      return 0;
    }
    // Block devices and the like: measure by seeking, then go back.
    off_t here = ::lseek(fd_, 0, SEEK_CUR);
    if (here < 0) return errno;
    off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0) return errno;
    if (::lseek(fd_, here, SEEK_SET) < 0) return errno;
    *size = static_cast<uint64_t>(end);
    return 0;
  }

  int Close() override { return CloseOnce(&fd_); }

 private:
  int fd_;
};

class PosixOutputFile final : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  ~PosixOutputFile() override { CloseOnce(&fd_); }

  int Write(const void* data, size_t size, size_t* written) override {
    const char* p = static_cast<const char*>(data);
    *written = 0;
    while (*written < size) {
      ssize_t n = ::write(fd_, p + *written, size - *written);
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      *written += static_cast<size_t>(n);
    }
    return 0;
  }

  int WriteAt(uint64_t offset, const void* data, size_t size) override {
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
      ssize_t n = ::pwrite(fd_, p + done, size - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      done += static_cast<size_t>(n);
    }
    return 0;
  }

  int Truncate(uint64_t size) override {
    return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 ? 0 : errno;
  }

  int Close() override { return CloseOnce(&fd_); }

 private:
  int fd_;
};

int OpenFd(const std::string& path, int flags, int* fd) {
  do {
    *fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  } while (*fd < 0 && errno == EINTR);
  return *fd < 0 ? errno : 0;
}

class PosixFileSystem final : public FileSystem {
 public:
  int OpenInput(const std::string& path, std::unique_ptr<InputFile>* file) override {
    int fd;
    if (int err = OpenFd(path, O_RDONLY, &fd)) return err;
    struct stat st;
    int err = ::fstat(fd, &st) != 0 ? errno : (S_ISDIR(st.st_mode) ? EISDIR : 0);
    if (err) {
      ::close(fd);
      return err;
    }
    file->reset(new PosixInputFile(fd));
    return 0;
  }

  int CreateOutput(const std::string& path, std::unique_ptr<OutputFile>* file) override {
    int fd;
    if (int err = OpenFd(path, O_WRONLY | O_CREAT | O_TRUNC, &fd)) return err;
    file->reset(new PosixOutputFile(fd));
    return 0;
  }

  int OpenForUpdate(const std::string& path, std::unique_ptr<OutputFile>* file) override {
    int fd;
    if (int err = OpenFd(path, O_RDWR, &fd)) return err;
    if (::lseek(fd, 0, SEEK_END) < 0) {
      int err = errno;
      ::close(fd);
      return err;
    }
    file->reset(new PosixOutputFile(fd));
    return 0;
  }

  bool Exists(const std::string& path) override {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
  }

  bool SameFile(const std::string& a, const std::string& b) override {
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }
};

}  // namespace

FileSystem* DefaultFileSystem() {
  static PosixFileSystem file_system;
  return &file_system;
}

}  // namespace ondavo
