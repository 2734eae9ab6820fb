// FileSystem on POSIX file descriptors. Buffering is the caller's business
// (BufferedReader, BufferedWriter), so each call here is one system call.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <system_error>

#include "file_system.h"
#include "path.h"

namespace ondavo {
namespace {

namespace fs = std::filesystem;

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
    *size = static_cast<uint64_t>(st.st_size);
    return 0;
  }

  int ModificationTime(int64_t* seconds) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return errno;
    *seconds = st.st_mtime;
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

  int Sync() override { return ::fdatasync(fd_) == 0 ? 0 : errno; }
  int Close() override { return CloseOnce(&fd_); }

 private:
  int fd_;
};

int OpenFd(const std::string& path, int flags, mode_t mode, int* fd) {
  do {
    *fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
  } while (*fd < 0 && errno == EINTR);
  return *fd < 0 ? errno : 0;
}

// Locks a temporary file just created for as long as it is open. False when
// another run took it for a stale one and removed it before the lock took:
// that run holds the lock while it removes, so the file has no name by then.
// Where the file system has no locks, the others cannot lock it either, so
// they leave it alone.
bool LockNewTemporary(int fd) {
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) return true;
  }
  struct stat st;
  return ::fstat(fd, &st) != 0 || st.st_nlink > 0;
}

// Removes `path`, a temporary file, if nobody holds its lock, under the lock
// and only while the name still stands for the file locked.
bool RemoveIfStale(const std::string& path) {
  int fd;
  if (OpenFd(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW, 0, &fd) != 0) return false;
  struct stat held, named;
  bool removed = ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
                 ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &named) == 0 &&
                 named.st_dev == held.st_dev && named.st_ino == held.st_ino &&
                 ::unlink(path.c_str()) == 0;
  ::close(fd);
  return removed;
}

// `name` with each ASCII letter in the other case.
std::string OtherCase(std::string name) {
  for (char& c : name)
    c = std::isalpha(static_cast<unsigned char>(c)) ? static_cast<char>(c ^ 0x20) : c;
  return name;
}

// What stands at `path` as an input: a regular file, or why not.
int InputKind(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return 0;
  return S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile;
}

class PosixFileSystem final : public FileSystem {
 public:
  int OpenInput(const std::string& path, std::unique_ptr<InputFile>* file) override {
    // Looked at before opening: opening a FIFO waits for a writer, and
    // opening a device can do things of its own.
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return errno;
    if (int err = InputKind(st)) return err;
    // Non-blocking, should it have been swapped for a FIFO meanwhile.
    int fd;
    if (int err = OpenFd(path, O_RDONLY | O_NONBLOCK, 0, &fd)) return err;
    int err = ::fstat(fd, &st) != 0 ? errno : InputKind(st);
    if (err == 0 && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) err = errno;
    if (err) {
      ::close(fd);
      return err;
    }
    file->reset(new PosixInputFile(fd));
    return 0;
  }

  int CheckOutputName(const std::string& path, bool* exists) override {
    struct stat st;
    *exists = false;
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
    *exists = true;
    if (S_ISLNK(st.st_mode)) return 0;
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return kNotRegularFile;
    // A file its owner made read-only is kept, as a plain write would be
    // refused, although a rename in a writable folder could replace it.
    return ::access(path.c_str(), W_OK) == 0 ? 0 : errno;
  }

  int CreateTemporary(const std::string& path, std::unique_ptr<OutputFile>* file,
                      std::string* temporary) override {
    std::random_device random;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
      char unique[16];
      std::snprintf(unique, sizeof unique, "%06x", random() & 0xFFFFFFu);
      *temporary = TemporaryNameFor(path, unique);
      // 0666 less the umask: what a new file gets.
      int err = OpenFd(*temporary, O_WRONLY | O_CREAT | O_EXCL, 0666, &fd);
      if (err != 0 && (err != EEXIST || attempt == 100)) return err;
      if (fd >= 0 && !LockNewTemporary(fd)) {
        ::close(fd);
        fd = -1;
        if (attempt == 100) return ENOENT;
      }
    }
    // A file being replaced passes on its permissions.
    struct stat old_file, new_file;
    if (::lstat(path.c_str(), &old_file) == 0 && S_ISREG(old_file.st_mode) &&
        ::fstat(fd, &new_file) == 0 && (old_file.st_mode & 0777) != (new_file.st_mode & 0777)) {
      if (::fchmod(fd, old_file.st_mode & 0777) != 0) {
        int err = errno;
        ::close(fd);
        ::unlink(temporary->c_str());
        return err;
      }
    }
    file->reset(new PosixOutputFile(fd));
    return 0;
  }

  int Rename(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  }

  int Remove(const std::string& path) override {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
  }

  std::vector<std::string> RemoveStaleTemporaries(const std::string& path) override {
    const std::string prefix = TemporaryNameFor(path, "");
    const std::string folder = prefix.substr(0, FileNameStart(prefix));
    std::vector<std::string> found, removed;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return removed;
    // Listed whole before any goes, as removing during readdir is unsettled.
    while (const dirent* entry = ::readdir(dir)) {
      std::string name = folder + entry->d_name;
      if (name.starts_with(prefix)) found.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end());
    for (const std::string& name : found) {
      if (RemoveIfStale(name)) removed.push_back(name);
    }
    return removed;
  }

  bool SameFile(const std::string& a, const std::string& b) override {
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }

  int Find(const std::string& path, bool* folder) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return errno;
    *folder = S_ISDIR(st.st_mode);
    return 0;
  }

  int ListFolder(const std::string& folder, std::vector<FolderEntry>* entries) override {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      std::error_code ignored;
      entries->push_back({it->path().filename().native(),
                          it->is_directory(ignored) && !it->is_symlink(ignored),
                          it->is_regular_file(ignored)});
    }
    return error.value();
  }

  int CreateFolders(const std::string& folder) override {
    std::error_code error;
    fs::create_directories(folder, error);
    return error.value();
  }

  int CopyModificationTime(const std::string& from, const std::string& to) override {
    struct stat st;
    if (::stat(from.c_str(), &st) != 0) return errno;
    const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    return ::utimensat(AT_FDCWD, to.c_str(), times, 0) == 0 ? 0 : errno;
  }

  // Taken to ignore case when a name the folder lists is found spelt in
  // another case that it does not list; asked of the nearest folder that
  // exists and lists a name with a letter.
  int IgnoresCase(const std::string& folder, bool* ignores) override {
    *ignores = false;
    std::error_code error;
    for (fs::path at = folder; !at.empty(); at = at.parent_path()) {
      std::set<std::string> names;
      for (fs::directory_iterator it(at, error), end; !error && it != end; it.increment(error))
        names.insert(it->path().filename().native());
      for (const std::string& name : names) {
        const std::string other = OtherCase(name);
        if (other != name && names.count(other) == 0) {
          *ignores = fs::exists(at / other, error);
          return error.value();
        }
      }
      if (at == at.parent_path()) break;
    }
    return 0;
  }
};

}  // namespace

std::string ErrorText(int error) {
  if (error == kNotRegularFile) return "Not a regular file";
  return std::strerror(error);
}

FileSystem* DefaultFileSystem() {
  static PosixFileSystem file_system;
  return &file_system;
}

}  // namespace ondavo
