#include "job_list.h"

#ifdef _WIN32
#include <windows.h>

#include "windows_text.h"
#else
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <string_view>
#include <system_error>

#include "file_system.h"
#include "output_claims.h"
#include "path.h"

namespace ondavo {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
constexpr std::string_view kSeparators = "/\\:";
#else
constexpr char kSeparator = '/';
constexpr std::string_view kSeparators = "/";
#endif

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// `name` in `folder`, as the user spelt the folder.
std::string Join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && kSeparators.find(folder.back()) != std::string_view::npos) {
    return folder + name;
  }
  return folder + kSeparator + name;
}

std::string FolderFor(const JobListOptions& options, const fs::path& relative_folder) {
  if (options.output_root.empty()) return {};
  // lexically_normal also puts the system's separator throughout.
  return Utf8FromPath((PathFromUtf8(options.output_root) / relative_folder).lexically_normal());
}

#ifdef _WIN32
// Windows' own reason, worded as for the files a conversion opens.
std::string Reason(DWORD error) {
  return ErrorText(kWindowsErrorBase + static_cast<int>(error));
}
#endif

// False, with the system's reason, when nothing can be found at `path`.
bool Find(const std::string& path, bool* folder, std::string* reason) {
#ifdef _WIN32
  const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    *reason = Reason(::GetLastError());
    return false;
  }
  *folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) {
    *reason = std::strerror(errno);
    return false;
  }
  *folder = S_ISDIR(info.st_mode);
#endif
  return true;
}

struct Entry {
  std::string name;
  bool folder = false;  // a link to a folder is not followed
  bool file = false;    // a regular file, or a link to one
};

// The entries of `folder`, or false with the system's reason. On Windows a
// folder whose path passes MAX_PATH is listed through the "\\?\" form.
bool ListFolder(const std::string& folder, std::vector<Entry>* entries, std::string* reason) {
#ifdef _WIN32
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileExW(SystemPath(Join(folder, "*")).c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    *reason = Reason(error);
    return error == ERROR_FILE_NOT_FOUND;  // a drive with nothing on it
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const DWORD attributes = found.dwFileAttributes;
    const bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entries->push_back({Utf8FromWide(name),
                        directory && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0, !directory});
  } while (::FindNextFileW(search, &found));
  const DWORD error = ::GetLastError();
  ::FindClose(search);
  *reason = Reason(error);
  return error == ERROR_NO_MORE_FILES;
#else
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code ignored;
    entries->push_back({it->path().filename().native(),
                        it->is_directory(ignored) && !it->is_symlink(ignored),
                        it->is_regular_file(ignored)});
  }
  *reason = error.message();
  return !error;
#endif
}

struct Search {
  const JobListOptions& options;
  JobList* list;
  std::vector<Job> found;
  std::vector<std::string> other_case;  // a.dvr: the command takes only .DVR
  bool complete = true;

  // Depth first, each folder's entries by name: the files come sorted by
  // path. A folder that cannot be searched fails alone.
  void Walk(const std::string& folder, const fs::path& relative) {
    std::vector<Entry> entries;
    std::string reason;
    if (!ListFolder(folder, &entries, &reason)) {
      list->failures.push_back("Can't search folder " + folder + " (" + reason + ")");
      complete = false;
      return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    for (const Entry& entry : entries) {
      const std::string path = Join(folder, entry.name);
      if (entry.folder) {
        Walk(path, relative / PathFromUtf8(entry.name));
      } else if (entry.file && EndsWith(entry.name, options.command->input_marker)) {
        found.push_back({path, FolderFor(options, relative)});
      } else if (entry.file && EndsWith(Lower(entry.name), Lower(options.command->input_marker))) {
        other_case.push_back(path);
      }
    }
  }
};

void AddFolder(const std::string& root, const JobListOptions& options, JobList* list,
               std::vector<Job>* jobs) {
  Search search{options, list, {}, {}, true};
  search.Walk(root, {});
  // A folder that could not be searched has been named already.
  if (search.found.empty() && search.complete && !options.quiet) {
    std::string note = std::string("No ") + options.command->input_marker + " files under " + root;
    for (size_t i = 0; i < search.other_case.size(); ++i) {
      note += (i == 0 ? " (left out: " : ", ") + search.other_case[i];
    }
    list->notes.push_back(search.other_case.empty() ? note : note + ")");
  }
  jobs->insert(jobs->end(), search.found.begin(), search.found.end());
}

}  // namespace

JobList ListJobs(const std::vector<std::string>& paths, const JobListOptions& options) {
  JobList list;
  std::vector<Job> found;
  for (const std::string& path : paths) {
    bool folder = false;
    std::string reason;
    const bool there = Find(path, &folder, &reason);
    if (options.recursive && !there) {
      list.refusals.push_back("Can't find folder " + path + " (" + reason + ")");
    } else if (options.recursive && folder) {
      AddFolder(path, options, &list, &found);
    } else if (folder) {
      list.refusals.push_back(options.command->refusal + ("\n" + path) +
                              " is a folder; -r searches it");
    } else {
      found.push_back({path, FolderFor(options, {})});
    }
  }
  // A file named twice, or found again under a folder also named, is one
  // input; its first place decides where its output goes.
  std::set<std::string> seen;
  OutputClaims places;
  for (Job& job : found) {
    if (seen.insert(places.Key(job.input)).second) list.jobs.push_back(std::move(job));
  }
  return list;
}

}  // namespace ondavo
