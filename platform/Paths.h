// Where the running program lives, and names derived from it.
#pragma once

#include <string>
#include <string_view>

namespace tavrik::platform {

// The full path of the running executable ("" when it cannot be read).
std::string ExecutablePath();
// The folder of the executable, without a trailing separator.
std::string ExecutableDir();
// The file name of `path`: what follows its last "/" (all of it when there is none).
std::string FileNameOf(std::string_view path);
// The folder of `path` without the "/" after it ("" for a bare name).
std::string FolderOf(std::string_view path);
// The file name of `path` without its extension (a leading dot starts none: ".profile").
std::string StemOf(std::string_view path);
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
