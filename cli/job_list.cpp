#include "job_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "file_system.h"
#include "output_claims.h"
#include "path.h"

namespace ondavo {

namespace fs = std::filesystem;

namespace {

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string FolderFor(const JobListOptions& options, const fs::path& relative_folder) {
  if (options.output_root.empty()) return {};
  // lexically_normal also puts the system's separator throughout.
  return Utf8FromPath((PathFromUtf8(options.output_root) / relative_folder).lexically_normal());
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
    std::vector<FolderEntry> entries;
    if (int err = options.file_system->ListFolder(folder, &entries)) {
      list->failures.push_back("Can't search folder " + folder + " (" + ErrorText(err) + ")");
      complete = false;
      return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    for (const FolderEntry& entry : entries) {
      const std::string path = JoinPath(folder, entry.name);
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
    const int missing = options.file_system->Find(path, &folder);
    if (options.recursive && missing) {
      list.refusals.push_back("Can't find folder " + path + " (" + ErrorText(missing) + ")");
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
  OutputClaims places(options.file_system);
  for (Job& job : found) {
    if (seen.insert(places.Key(job.input)).second) list.jobs.push_back(std::move(job));
  }
  return list;
}

}  // namespace ondavo
