// FileSystem on Win32 file handles. Buffering is the caller's business
// (BufferedReader, BufferedWriter), so each call here is one system call.
// Windows' error codes are passed on as they are (kWindowsErrorBase + code),
// so that a failure gives Windows' own reason: a file another program has
// open says so, where "Permission denied" would send the user looking at
// the file's permissions. The refusals the core decides on itself (a folder,
// a read-only output) are errno values, as on POSIX systems.
// Paths come in UTF-8 and go to the wide APIs (SystemPath), so that any name
// opens, however long.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwctype>

#include "file_system.h"
#include "path.h"
#include "windows_text.h"

namespace ondavo {
namespace {

int LastError() {
  return kWindowsErrorBase + static_cast<int>(::GetLastError());
}

// Nothing is at the path: as good as a removed file, or a free name.
bool IsMissing(int error) {
  switch (error - kWindowsErrorBase) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
      return true;
    default:
      return false;
  }
}

// ReadFile and WriteFile take 32-bit lengths.
DWORD Chunk(size_t size) {
  return static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
}

int CloseOnce(HANDLE* handle) {
  if (*handle == INVALID_HANDLE_VALUE) return 0;
  int result = ::CloseHandle(*handle) ? 0 : LastError();
  *handle = INVALID_HANDLE_VALUE;
  return result;
}

int Position(HANDLE handle, uint64_t* position) {
  LARGE_INTEGER here;
  if (!::SetFilePointerEx(handle, LARGE_INTEGER{}, &here, FILE_CURRENT)) return LastError();
  *position = static_cast<uint64_t>(here.QuadPart);
  return 0;
}

int Seek(HANDLE handle, uint64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  return ::SetFilePointerEx(handle, to, nullptr, FILE_BEGIN) ? 0 : LastError();
}

class WinInputFile final : public InputFile {
 public:
  explicit WinInputFile(HANDLE handle) : handle_(handle) {}
  ~WinInputFile() override { CloseOnce(&handle_); }

  int Read(void* data, size_t size, size_t* read) override {
    DWORD n = 0;
    *read = 0;
    if (!::ReadFile(handle_, data, Chunk(size), &n, nullptr)) {
      // The writing end of a pipe went away: that is its end of file.
      return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : LastError();
    }
    *read = n;
    return 0;
  }

  int Size(uint64_t* size) override {
    LARGE_INTEGER length;
    if (!::GetFileSizeEx(handle_, &length)) return LastError();
    *size = static_cast<uint64_t>(length.QuadPart);
    return 0;
  }

  int ModificationTime(int64_t* seconds) override {
    FILETIME written;
    if (!::GetFileTime(handle_, nullptr, nullptr, &written)) return LastError();
    // 100-nanosecond steps since 1601-01-01, 11644473600 s before 1970.
    const uint64_t steps = uint64_t{written.dwHighDateTime} << 32 | written.dwLowDateTime;
    *seconds = static_cast<int64_t>(steps / 10000000) - 11644473600;
    return 0;
  }

  int Close() override { return CloseOnce(&handle_); }

 private:
  HANDLE handle_;
};

class WinOutputFile final : public OutputFile {
 public:
  explicit WinOutputFile(HANDLE handle) : handle_(handle) {}
  ~WinOutputFile() override { CloseOnce(&handle_); }

  int Write(const void* data, size_t size, size_t* written) override {
    const char* p = static_cast<const char*>(data);
    *written = 0;
    while (*written < size) {
      DWORD n = 0;
      if (!::WriteFile(handle_, p + *written, Chunk(size - *written), &n, nullptr)) {
        return LastError();
      }
      *written += n;
    }
    return 0;
  }

  // A positioned write moves a synchronous handle's file pointer, so the
  // append position is put back afterwards.
  int WriteAt(uint64_t offset, const void* data, size_t size) override {
    uint64_t append_at = 0;
    if (int err = Position(handle_, &append_at)) return err;
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
      const uint64_t at = offset + done;
      OVERLAPPED where = {};
      where.Offset = static_cast<DWORD>(at);
      where.OffsetHigh = static_cast<DWORD>(at >> 32);
      DWORD n = 0;
      if (!::WriteFile(handle_, p + done, Chunk(size - done), &n, &where)) {
        int err = LastError();
        Seek(handle_, append_at);
        return err;
      }
      done += n;
    }
    return Seek(handle_, append_at);
  }

  int Sync() override { return ::FlushFileBuffers(handle_) ? 0 : LastError(); }
  int Close() override { return CloseOnce(&handle_); }

 private:
  HANDLE handle_;
};

int Open(const std::string& path, DWORD access, DWORD share, DWORD disposition, HANDLE* handle) {
  const std::wstring wide = SystemPath(path);  // freed only after GetLastError
  *handle = ::CreateFileW(wide.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                          nullptr);
  return *handle == INVALID_HANDLE_VALUE ? LastError() : 0;
}

bool IsFolder(const std::string& path) {
  DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The volume and file index that name a file, whatever path reached it.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
  // Backup semantics let folders be opened too; no access is asked for.
  HANDLE handle = ::CreateFileW(SystemPath(path).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool known = ::GetFileInformationByHandle(handle, info) != 0;
  ::CloseHandle(handle);
  return known;
}

class WinFileSystem final : public FileSystem {
 public:
  int OpenInput(const std::string& path, std::unique_ptr<InputFile>* file) override {
    // Windows refuses to open a folder as a file with "access denied".
    if (IsFolder(path)) return EISDIR;
    HANDLE handle;
    if (int err =
            Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, &handle)) {
      return err;
    }
    // Pipes, consoles and devices are not recordings.
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
      ::CloseHandle(handle);
      return kNotRegularFile;
    }
    file->reset(new WinInputFile(handle));
    return 0;
  }

  int CheckOutputName(const std::string& path, bool* exists) override {
    const std::wstring wide = SystemPath(path);  // freed only after GetLastError
    DWORD attributes = ::GetFileAttributesW(wide.c_str());
    *exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!*exists) {
      int err = LastError();
      return IsMissing(err) ? 0 : err;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return 0;  // a link: replaced, not followed
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EISDIR;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return kNotRegularFile;
    return (attributes & FILE_ATTRIBUTE_READONLY) ? EACCES : 0;
  }

  int CreateTemporary(const std::string& path, std::unique_ptr<OutputFile>* file,
                      std::string* temporary) override {
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; handle == INVALID_HANDLE_VALUE; ++attempt) {
      char unique[16];
      std::snprintf(unique, sizeof unique, "%06x",
                    static_cast<unsigned>((::GetTickCount() * 2654435761u) ^
                                          ::GetCurrentProcessId() ^ (attempt * 40503u)) &
                        0xFFFFFFu);
      *temporary = TemporaryNameFor(path, unique);
      // Shared for deletion, so that a console closed under us can still
      // remove it; it goes once this handle closes.
      int err =
          Open(*temporary, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW, &handle);
      if (err != 0 && (err != kWindowsErrorBase + ERROR_FILE_EXISTS || attempt == 100)) return err;
    }
    file->reset(new WinOutputFile(handle));
    return 0;
  }

  int Rename(const std::string& from, const std::string& to) override {
    return ::MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING)
               ? 0
               : LastError();
  }

  int Remove(const std::string& path) override {
    int err = ::DeleteFileW(SystemPath(path).c_str()) ? 0 : LastError();
    return IsMissing(err) ? 0 : err;
  }

  std::vector<std::string> RemoveStaleTemporaries(const std::string& path) override {
    const std::string prefix = TemporaryNameFor(path, "");
    const std::string folder = prefix.substr(0, FileNameStart(prefix));
    std::vector<std::string> found, removed;
    WIN32_FIND_DATAW entry;
    HANDLE search = ::FindFirstFileW(SystemPath(prefix + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return removed;
    do {
      const DWORD not_regular =
          FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
      if (!(entry.dwFileAttributes & not_regular)) {
        found.push_back(folder + Utf8FromWide(entry.cFileName));
      }
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
    std::sort(found.begin(), found.end());
    for (const std::string& name : found) {
      // Shared with nobody, it opens only when no other handle is open on
      // it, the writer's included, and it goes as this handle closes.
      HANDLE handle =
          ::CreateFileW(SystemPath(name).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
      if (handle == INVALID_HANDLE_VALUE) continue;
      if (::CloseHandle(handle)) removed.push_back(name);
    }
    return removed;
  }

  bool SameFile(const std::string& a, const std::string& b) override {
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!FileIdentity(a, &ia) || !FileIdentity(b, &ib)) return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
  }

  int Find(const std::string& path, bool* folder) override {
    const std::wstring wide = SystemPath(path);  // freed only after GetLastError
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
    *folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return 0;
  }

  // A folder whose path passes MAX_PATH is listed through the "\\?\" form.
  int ListFolder(const std::string& folder, std::vector<FolderEntry>* entries) override {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileExW(SystemPath(JoinPath(folder, "*")).c_str(), FindExInfoBasic,
                                       &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
      // A drive with nothing on it.
      return ::GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : LastError();
    }
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const DWORD attributes = found.dwFileAttributes;
      const bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      entries->push_back({Utf8FromWide(name),
                          directory && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0,
                          !directory});
    } while (::FindNextFileW(search, &found));
    const DWORD error = ::GetLastError();
    ::FindClose(search);
    return error == ERROR_NO_MORE_FILES ? 0 : kWindowsErrorBase + static_cast<int>(error);
  }

  // Through the wide functions and SystemPath, so that folders past MAX_PATH
  // are made too; each missing one above first.
  int CreateFolders(const std::string& folder) override {
    std::string path = folder;
    while (path.size() > 1 && kPathSeparators.find(path.back()) != std::string_view::npos)
      path.pop_back();
    if (path.empty() || IsFolder(path)) return 0;
    const std::wstring wide = SystemPath(path);  // freed only after GetLastError
    if (::CreateDirectoryW(wide.c_str(), nullptr)) return 0;
    int err = LastError();
    const size_t name_start = FileNameStart(path);
    if (err == kWindowsErrorBase + ERROR_PATH_NOT_FOUND && name_start > 0) {
      if (int above = CreateFolders(path.substr(0, name_start))) return above;
      err = ::CreateDirectoryW(wide.c_str(), nullptr) ? 0 : LastError();
    }
    // Made meanwhile by another run of ours.
    return err == kWindowsErrorBase + ERROR_ALREADY_EXISTS && IsFolder(path) ? 0 : err;
  }

  int CopyModificationTime(const std::string& from, const std::string& to) override {
    // Wide paths freed only after GetLastError.
    const std::wstring wide_from = SystemPath(from), wide_to = SystemPath(to);
    WIN32_FILE_ATTRIBUTE_DATA source;
    if (!::GetFileAttributesExW(wide_from.c_str(), GetFileExInfoStandard, &source))
      return LastError();
    HANDLE handle = ::CreateFileW(wide_to.c_str(), FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    int err = ::SetFileTime(handle, nullptr, nullptr, &source.ftLastWriteTime) ? 0 : LastError();
    ::CloseHandle(handle);
    return err;
  }

  // Windows' file systems all take names that differ only in case for one.
  int IgnoresCase(const std::string&, bool* ignores) override {
    *ignores = true;
    return 0;
  }
};

}  // namespace

std::string ErrorText(int error) {
  if (error == kNotRegularFile) return "Not a regular file";
  if (error < kWindowsErrorBase) return std::strerror(error);
  const DWORD code = static_cast<DWORD>(error - kWindowsErrorBase);
  wchar_t* text = nullptr;
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide(text != nullptr ? text : L"", length);
  ::LocalFree(text);
  // Windows ends each text with a period and a line break; the messages
  // put it in parentheses.
  while (!wide.empty() && (wide.back() == L'.' || iswspace(wide.back()))) wide.pop_back();
  if (wide.empty()) return "Windows error " + std::to_string(code);
  return Utf8FromWide(wide);
}

FileSystem* DefaultFileSystem() {
  static WinFileSystem file_system;
  return &file_system;
}

}  // namespace ondavo
