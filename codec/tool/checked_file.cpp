#include "checked_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <random>
#else
#include <unistd.h>
#endif

namespace vek {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void ThrowFileError(const std::string& what, const std::string& path,
                                 const std::string& reason) {
  throw FileError(what + " " + path + ": " + reason);
}

[[noreturn]] void ThrowSystemError(const char* what, const std::string& path, int error) {
  ThrowFileError(what, path, std::strerror(error));
}

// Closes silently when an exception unwinds; the success paths close
// explicitly so that a failing close is reported.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

#ifdef _WIN32
// Paths are UTF-8 here (see main); a path made from a std::string would read
// them in the C library's multibyte encoding, the ANSI code page or narrower.
fs::path Native(const std::string& path) {
  return fs::path(std::u8string(path.begin(), path.end()));
}
std::FILE* OpenForReading(const std::string& path) {
  return _wfopen(Native(path).c_str(), L"rb");
}
// A new file of its own: `temp`'s trailing XXXXXX become random letters.
int CreateTemporary(fs::path* temp) {
  std::wstring name = temp->native();
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (size_t i = name.size() - 6; i < name.size(); ++i) name[i] = L'a' + random() % 26;
    const int fd =
        _wopen(name.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      *temp = name;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}
std::FILE* StreamForDescriptor(int fd) {
  return _fdopen(fd, "wb");
}
void CloseDescriptor(int fd) {
  _close(fd);
}
int SyncToDisk(std::FILE* file) {
  return _commit(_fileno(file));
}
// Windows keeps no permission bits worth copying: a read-only file cannot
// be renamed over anyway, and a new file is writable as created.
int SetOutputPermissions(int, const std::string&) {
  return 0;
}
#else
fs::path Native(const std::string& path) {
  return fs::path(path);
}
std::FILE* OpenForReading(const std::string& path) {
  return std::fopen(path.c_str(), "rb");
}
int CreateTemporary(fs::path* temp) {
  std::string name = temp->native();
  const int fd = mkstemp(name.data());
  if (fd >= 0) *temp = name;
  return fd;
}
std::FILE* StreamForDescriptor(int fd) {
  return fdopen(fd, "wb");
}
void CloseDescriptor(int fd) {
  close(fd);
}
int SyncToDisk(std::FILE* file) {
  return fsync(fileno(file));
}
// The permissions of the regular file being replaced, or what a new file
// gets (0666 less the umask); never set-ID bits. mkstemp gave the file 0600.
int SetOutputPermissions(int fd, const std::string& path) {
  struct stat replaced;
  mode_t mode;
  if (lstat(path.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode)) {
    mode = replaced.st_mode & 0777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  return fchmod(fd, mode);
}
#endif

// Writes, flushes to the disk and closes; returns what failed first (null
// for nothing) with its errno in *error. Closes even after a failure.
const char* WriteAndClose(int fd, const std::string& path, const std::vector<uint8_t>& data,
                          int* error) {
  const char* failed = nullptr;
  auto fail = [&](const char* what) {
    if (failed == nullptr) {
      failed = what;
      *error = errno;
    }
  };
  if (SetOutputPermissions(fd, path) != 0) fail("cannot create");
  std::FILE* file = StreamForDescriptor(fd);
  if (file == nullptr) {
    fail("cannot create");
    CloseDescriptor(fd);
    return failed;
  }
  if (failed == nullptr && (std::fwrite(data.data(), 1, data.size(), file) != data.size() ||
                            std::fflush(file) != 0 || SyncToDisk(file) != 0)) {
    fail("cannot write");
  }
  if (std::fclose(file) != 0) fail("cannot close");
  return failed;
}

// What a failure left at the output's name, for the end of its message.
std::string Aftermath(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(Native(path), error)) ? "; " + path + " is left as it was"
                                                             : "; nothing written";
}

}  // namespace

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  // Checked before opening: opening a FIFO waits for a writer.
  std::error_code error;
  const fs::file_status status = fs::status(Native(path), error);
  if (error) ThrowFileError("cannot open", path, error.message());
  if (fs::is_directory(status)) ThrowSystemError("cannot open", path, EISDIR);
  if (!fs::is_regular_file(status)) ThrowFileError("cannot open", path, "not a regular file");

  FilePointer file(OpenForReading(path));
  if (!file) ThrowSystemError("cannot open", path, errno);
  std::vector<uint8_t> data;
  uint8_t buffer[1 << 16];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof(buffer), file.get())) > 0) {
    data.insert(data.end(), buffer, buffer + count);
  }
  if (std::ferror(file.get())) ThrowSystemError("cannot read", path, errno);
  if (std::fclose(file.release()) != 0) ThrowSystemError("cannot close", path, errno);
  return data;
}

void CheckNotSameFile(const std::string& input, const std::string& output) {
  if (input == output) {
    ThrowFileError("cannot write", output, "it is the input file; nothing written");
  }
  std::error_code error;  // a file that is not there is nobody's twin
  if (fs::equivalent(Native(input), Native(output), error)) {
    ThrowFileError("cannot write", output,
                   "it is the input file " + input + " by another name; nothing written");
  }
}

void CheckMayReplace(const std::string& output, bool force) {
  std::error_code error;  // a name that cannot be looked at fails when written
  if (!force && fs::exists(fs::symlink_status(Native(output), error))) {
    throw FileError(output + " exists; not replaced (--force replaces it)");
  }
}

void ReplaceWholeFile(const std::string& path, const std::vector<uint8_t>& data) {
  // Only a regular file or a link is replaced: a device or a FIFO renamed
  // over would be gone for everyone else, and a folder cannot be.
  std::error_code error;
  const fs::file_status existing = fs::symlink_status(Native(path), error);
  if (fs::is_directory(existing)) ThrowSystemError("cannot write", path, EISDIR);
  if (fs::exists(existing) && !fs::is_regular_file(existing) && !fs::is_symlink(existing)) {
    ThrowFileError("cannot write", path, "not a regular file");
  }

  // Beside the output, so that the rename stays on one file system, and
  // named after it, so that a leftover from a crash shows whose it was.
  const fs::path output = Native(path);
  const fs::path::string_type name = output.filename().native();
  fs::path temp = output.parent_path() / name.substr(0, name.find('.'));
  temp += ".vek-part-XXXXXX";
#ifndef _WIN32
  // A signal that would end the program waits until the temporary file is
  // in place or gone, so that none is left behind; the data is all in
  // memory, so that is no longer than the write takes.
  sigset_t ending, before;
  sigemptyset(&ending);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&ending, signal);
  sigprocmask(SIG_BLOCK, &ending, &before);
  struct Unblock {
    sigset_t* mask;
    ~Unblock() { sigprocmask(SIG_SETMASK, mask, nullptr); }
  } unblock{&before};
#endif
  const int fd = CreateTemporary(&temp);
  if (fd < 0) ThrowFileError("cannot create", path, std::strerror(errno) + Aftermath(path));

  try {
    int write_error = 0;
    if (const char* failed = WriteAndClose(fd, path, data, &write_error)) {
      ThrowFileError(failed, path, std::strerror(write_error) + Aftermath(path));
    }
    // rename() replaces a symbolic link itself, not the file it points to.
    std::error_code rename_error;
    fs::rename(temp, output, rename_error);
    if (rename_error) {
      ThrowFileError("cannot write", path, rename_error.message() + Aftermath(path));
    }
  } catch (const FileError&) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    throw;
  }
}

}  // namespace vek
