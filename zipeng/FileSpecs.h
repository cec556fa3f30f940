// From file specs to the files to add, each with its name in the archive.
//
// A spec is a path, relative to its root folder (or to the current folder when it has
// none). When it names something that exists it is taken literally, whatever characters it
// holds: a file is added; a folder adds its files, and with recursion everything below it.
// Otherwise its last part is a pattern ("*" any run of characters, "?" any one character; no
// other character is special) matched in the folder before it, and with recursion in every
// folder below that one too. Names starting with "." are hidden: found by patterns and
// recursion only when hidden files are asked for. Devices, pipes and sockets are never read.
//
// Entry names use "/": the file spec's own path (relative specs) or the path
// without its leading "/" (absolute ones), never with "." or ".." parts; with junk directories
// only the file name. Folders get entries of their own ("name/") when asked for and not junked:
// a named folder and every folder reached by recursion.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace tavrik::zipeng {

struct TSpec {
  std::string spec;
  std::string root_dir;  // empty, or ending in "/"
  bool recurse = false;
  bool encrypt = false;
  std::string password;  // empty: the run's password, asked for when needed
};

struct TSpecOptions {
  bool junk_dirs = false;
  bool dir_entries = false;
  bool hidden_files = false;
  // Patterns of files and folders to leave out; one matches a file when it matches its name,
  // its entry name or its path.
  std::vector<std::string> excludes;
  // A file never to add (the archive itself): device and inode, or 0 and 0.
  dev_t skip_device = 0;
  ino_t skip_inode = 0;
};

struct TSourceFile {
  std::string path;        // on disk
  std::string entry_name;  // in the archive; folders end in "/"
  bool is_dir = false;
  off_t size = 0;
  time_t mtime = 0;
  mode_t mode = 0;
  const TSpec* spec = nullptr;  // the file spec that found it
};

// Problems found while expanding: an engine error code and a text.
using TSpecReport = std::function<void(int code, const std::string& text)>;

// The files the file specs name, each entry name once (the first spec wins), in
// the order of the file specs and, within a folder, of the names.
std::vector<TSourceFile> ExpandSpecs(const std::vector<TSpec>& specs, const TSpecOptions& options,
                                     const TSpecReport& report);

// Whether `name` matches `pattern`, where only "*" and "?" are special.
bool MatchesPattern(const std::string& pattern, const std::string& name);

}  // namespace tavrik::zipeng
