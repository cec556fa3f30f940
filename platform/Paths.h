// Where the running program lives, and names derived from it.
#pragma once

#include <string>

namespace tavrik::platform {

// The full path of the running executable ("" when it cannot be read).
std::string ExecutablePath();
// The folder of the executable, without a trailing separator.
std::string ExecutableDir();
// `path` with its file name replaced by `name` (the whole of `name` when `path` has no folder).
std::string ChangeFileName(const std::string& path, const std::string& name);
// The user's configuration folder ("~/.config"), where per-user settings files live.
std::string UserConfigDir();
// Something (a file, a folder, ...) exists at `path`.
bool PathExists(const std::string& path);
// A regular file exists at `path`.
bool IsRegularFile(const std::string& path);
// The entry of folder `dir` ("" = the current folder) whose name equals `name` but for letter
// case, "" when there is none: names written on a case-blind system still find their files.
std::string FindEntryIgnoringCase(const std::string& dir, const std::string& name);

}  // namespace tavrik::platform
