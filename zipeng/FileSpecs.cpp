#include "zipeng/FileSpecs.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "zip/ZIPENG.h"

namespace tavrik::zipeng {

namespace {

// The path without empty, "." and ".." parts (a ".." takes away the part before it and never
// climbs above the start), parts joined with "/".
std::string NormalEntry(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  std::string joined;
  for (const auto& part : parts) joined += (joined.empty() ? "" : "/") + part;
  return joined;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

class TExpander {
 public:
  TExpander(const TSpecOptions& options, const TSpecReport& report) : options_(options), report_(report) {}

  void Add(const TSpec& spec);
  std::vector<TSourceFile> Take() { return std::move(files_); }

 private:
  using TFolderIds = std::set<std::pair<dev_t, ino_t>>;

  void AddItem(const std::string& path, const std::string& entry, const struct stat& st, const TSpec& spec);
  void Walk(const std::string& folder, const std::string& prefix, const std::string& pattern, const TSpec& spec,
            TFolderIds& path_ids);
  bool Excluded(const std::string& path, const std::string& entry) const;

  const TSpecOptions& options_;
  const TSpecReport& report_;
  std::vector<TSourceFile> files_;
  std::map<std::string, std::string> entries_;  // entry name -> path
  size_t found_ = 0;  // files and folders found, those already added included
};

bool TExpander::Excluded(const std::string& path, const std::string& entry) const {
  for (const auto& pattern : options_.excludes)
    if (MatchesPattern(pattern, BaseName(path)) || MatchesPattern(pattern, entry) || MatchesPattern(pattern, path))
      return true;
  return false;
}

void TExpander::AddItem(const std::string& path, const std::string& entry, const struct stat& st, const TSpec& spec) {
  const bool dir = S_ISDIR(st.st_mode);
  if (dir && (!options_.dir_entries || options_.junk_dirs || entry.empty())) return;
  if (st.st_dev == options_.skip_device && st.st_ino == options_.skip_inode) return;
  ++found_;
  std::string name = options_.junk_dirs ? BaseName(entry) : entry;
  if (name.empty()) return;
  if (dir) name += "/";
  auto [known, added] = entries_.emplace(name, path);
  if (!added) {
    if (known->second != path) report_(zeDuplicateName, "Left out " + path + ": " + name + " is already added");
    return;
  }
  TSourceFile file;
  file.path = path;
  file.entry_name = name;
  file.is_dir = dir;
  file.size = dir ? 0 : st.st_size;
  file.mtime = st.st_mtime;
  file.mode = st.st_mode;
  file.spec = &spec;
  files_.push_back(std::move(file));
}

void TExpander::Walk(const std::string& folder, const std::string& prefix, const std::string& pattern,
                     const TSpec& spec, TFolderIds& path_ids) {
  DIR* d = ::opendir(folder.c_str());
  if (!d) {
    report_(zeOpenRead, "Cannot read the folder " + folder);
    return;
  }
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (name[0] == '.' && !options_.hidden_files) continue;
    names.push_back(name);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  std::vector<std::pair<std::string, std::string>> subfolders;
  for (const auto& name : names) {
    std::string path = Join(folder, name);
    std::string entry = Join(prefix, name);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || Excluded(path, entry)) continue;  // a dangling link adds nothing
    if (S_ISREG(st.st_mode) && MatchesPattern(pattern, name)) {
      AddItem(path, entry, st, spec);
    } else if (S_ISDIR(st.st_mode)) {
      if (spec.recurse)
        subfolders.emplace_back(path, entry);
      else if (MatchesPattern(pattern, name))
        AddItem(path, entry, st, spec);  // its own entry at most
    }
  }
  // Files first, then what lies below, as a listing of the folder reads.
  for (const auto& [path, entry] : subfolders) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !path_ids.insert({st.st_dev, st.st_ino}).second) continue;  // a loop
    AddItem(path, entry, st, spec);
    Walk(path, entry, pattern, spec, path_ids);
    path_ids.erase({st.st_dev, st.st_ino});
  }
}

void TExpander::Add(const TSpec& spec) {
  if (spec.spec.empty()) return;
  const bool absolute = spec.spec[0] == '/';
  const std::string disk = absolute || spec.root_dir.empty() ? spec.spec : spec.root_dir + spec.spec;
  const std::string entry = NormalEntry(spec.spec);
  struct stat st {};
  if (::stat(disk.c_str(), &st) == 0) {
    if (Excluded(disk, entry)) return;
    if (S_ISREG(st.st_mode)) {
      AddItem(disk, entry, st, spec);
    } else if (S_ISDIR(st.st_mode)) {
      AddItem(disk, entry, st, spec);
      TFolderIds path_ids{{st.st_dev, st.st_ino}};
      Walk(disk, entry, "*", spec, path_ids);
    } else {
      report_(zeNotRegular, "Not a regular file: " + disk);
    }
    return;
  }
  size_t slash = disk.rfind('/');
  std::string pattern = slash == std::string::npos ? disk : disk.substr(slash + 1);
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : disk.substr(0, slash);
  size_t spec_slash = spec.spec.rfind('/');
  std::string prefix = spec_slash == std::string::npos ? "" : NormalEntry(spec.spec.substr(0, spec_slash));
  struct stat folder_st {};
  if (pattern.find_first_of("*?") == std::string::npos || ::stat(folder.c_str(), &folder_st) != 0 ||
      !S_ISDIR(folder_st.st_mode)) {
    report_(zeNotFound, "Not found: " + disk);
    return;
  }
  size_t before = found_;
  TFolderIds path_ids{{folder_st.st_dev, folder_st.st_ino}};
  Walk(folder, prefix, pattern, spec, path_ids);
  if (found_ == before) report_(zeNotFound, "Nothing matches " + disk);
}

}  // namespace

bool MatchesPattern(const std::string& pattern, const std::string& name) {
  std::string escaped;
  for (char c : pattern) {
    if (c == '[' || c == ']' || c == '\\') escaped.push_back('\\');
    escaped.push_back(c);
  }
  return ::fnmatch(escaped.c_str(), name.c_str(), 0) == 0;
}

std::vector<TSourceFile> ExpandSpecs(const std::vector<TSpec>& specs, const TSpecOptions& options,
                                     const TSpecReport& report) {
  TExpander expander(options, report);
  for (const auto& spec : specs) expander.Add(spec);
  return expander.Take();
}

}  // namespace tavrik::zipeng
