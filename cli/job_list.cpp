#include "job_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

#include "output_claims.h"
#include "utf8_path.h"

namespace ondavo {

namespace fs = std::filesystem;

namespace {

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string FolderFor(const JobListOptions& options, const fs::path& relative_folder) {
  if (options.output_root.empty()) return {};
  return Utf8FromPath((PathFromUtf8(options.output_root) / relative_folder).lexically_normal());
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

void AddFolder(const std::string& root, const JobListOptions& options, std::vector<Job>* jobs,
               std::vector<std::string>* problems, std::vector<std::string>* notes) {
  std::vector<fs::path> found;
  std::vector<std::string> other_case;  // a.dvr: the command takes only .DVR
  std::error_code error;
  const fs::path root_path = PathFromUtf8(root);
  fs::recursive_directory_iterator it(root_path, fs::directory_options::skip_permission_denied,
                                      error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (!it->is_regular_file()) continue;
    const std::string name = Utf8FromPath(it->path().filename());
    if (EndsWith(name, options.extension)) {
      found.push_back(it->path());
    } else if (EndsWith(Lower(name), Lower(options.extension))) {
      other_case.push_back(Utf8FromPath(it->path()));
    }
  }
  if (error) {
    problems->push_back("Can't search folder " + root + " (" + error.message() + ")");
    return;
  }
  if (found.empty()) {
    std::string note = "No " + options.extension + " files under " + root;
    std::sort(other_case.begin(), other_case.end());
    for (size_t i = 0; i < other_case.size(); ++i) {
      note += (i == 0 ? " (left out: " : ", ") + other_case[i];
    }
    notes->push_back(other_case.empty() ? note : note + ")");
  }
  std::sort(found.begin(), found.end());
  for (const fs::path& path : found) {
    fs::path relative = path.parent_path().lexically_relative(root_path);
    jobs->push_back({Utf8FromPath(path), FolderFor(options, relative)});
  }
}

}  // namespace

std::vector<Job> ListJobs(const std::vector<std::string>& paths, const JobListOptions& options,
                          std::vector<std::string>* problems, std::vector<std::string>* notes) {
  std::vector<Job> found;
  for (const std::string& path : paths) {
    std::error_code error;
    if (options.recursive && fs::is_directory(PathFromUtf8(path), error)) {
      AddFolder(path, options, &found, problems, notes);
    } else {
      found.push_back({path, FolderFor(options, {})});
    }
  }
  // A file named twice, or found again under a folder also named, is one
  // input; its first place decides where its output goes.
  std::vector<Job> jobs;
  std::set<std::string> seen;
  OutputClaims places;
  for (Job& job : found) {
    if (seen.insert(places.Key(job.input)).second) jobs.push_back(std::move(job));
  }
  return jobs;
}

}  // namespace ondavo
