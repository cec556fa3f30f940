#include "platform/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace tavrik::platform {

namespace {

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

void MakeDirs(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) throw ETrashError("Cannot create " + path + ": " + error.message());
}

// The path as the restore information wants it: bytes outside the unreserved set and "/" as %XX.
std::string PercentEncode(const std::string& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    if (std::isalnum(c) || std::strchr("/-_.~", c)) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
  return out;
}

}  // namespace

std::string TrashDir() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data == '/') return std::string(data) + "/Trash";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.local/share/Trash";
}

void MoveToTrash(const std::string& path) {
  // The folder is resolved, the file itself is not: a link goes to the trash, not its target.
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  char resolved[PATH_MAX];
  if (name.empty() || !::realpath(dir.c_str(), resolved)) throw ETrashError(Reason("Cannot find " + path));
  std::string absolute = std::string(resolved) + (std::strcmp(resolved, "/") == 0 ? "" : "/") + name;

  const std::string trash = TrashDir();
  MakeDirs(trash + "/files");
  MakeDirs(trash + "/info");

  char date[32];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  const std::string info_text = "[Trash Info]\nPath=" + PercentEncode(absolute) + "\nDeletionDate=" + date + "\n";

  // The information file is made first, exclusively: it reserves the name in the trash.
  for (int n = 1; n < 10000; ++n) {
    std::string trashed = n == 1 ? name : name + "." + std::to_string(n);
    std::string info = trash + "/info/" + trashed + ".trashinfo";
    int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      throw ETrashError(Reason("Cannot write " + info));
    }
    bool written = ::write(fd, info_text.data(), info_text.size()) == static_cast<ssize_t>(info_text.size());
    written = ::close(fd) == 0 && written;
    if (written && ::rename(absolute.c_str(), (trash + "/files/" + trashed).c_str()) == 0) return;
    std::string why = Reason(written ? "Cannot move " + absolute + " to the trash" : "Cannot write " + info);
    ::unlink(info.c_str());
    throw ETrashError(why);
  }
  throw ETrashError("No free name in the trash for " + absolute);
}

}  // namespace tavrik::platform
