#include "platform/Volumes.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <climits>
#include <cstdlib>

namespace tavrik::platform {

namespace {

// Labels under /dev/disk/by-label have blanks and other bytes written as "\xHH".
std::string UnescapeLabel(const std::string& name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
      char* end = nullptr;
      std::string hex = name.substr(i + 2, 2);
      long value = std::strtol(hex.c_str(), &end, 16);
      if (end == hex.c_str() + 2) {
        out.push_back(static_cast<char>(value));
        i += 3;
        continue;
      }
    }
    out.push_back(name[i]);
  }
  return out;
}

std::string LabelOfDevice(dev_t device) {
  const std::string dir = "/dev/disk/by-label";
  DIR* d = ::opendir(dir.c_str());
  if (!d) return {};
  std::string label;
  while (dirent* e = ::readdir(d)) {
    struct stat st {};
    if (e->d_name[0] == '.' || ::stat((dir + "/" + e->d_name).c_str(), &st) != 0) continue;
    if (S_ISBLK(st.st_mode) && st.st_rdev == device) {
      label = UnescapeLabel(e->d_name);
      break;
    }
  }
  ::closedir(d);
  return label;
}

}  // namespace

std::optional<TVolumeInfo> VolumeOf(const std::string& path) {
  char resolved[PATH_MAX];
  struct stat st {};
  if (!::realpath(path.c_str(), resolved) || ::stat(resolved, &st) != 0) return std::nullopt;
  // Walk up while the parent lies on the same device: the last folder reached is the mount point.
  std::string mount = resolved;
  if (!S_ISDIR(st.st_mode)) mount.erase(mount.rfind('/') == 0 ? 1 : mount.rfind('/'));
  while (mount != "/") {
    size_t slash = mount.rfind('/');
    std::string parent = slash == 0 ? "/" : mount.substr(0, slash);
    struct stat up {};
    if (::stat(parent.c_str(), &up) != 0 || up.st_dev != st.st_dev) break;
    mount = parent;
  }
  struct statvfs fs {};
  if (::statvfs(mount.c_str(), &fs) != 0) return std::nullopt;
  TVolumeInfo info;
  info.mount_point = mount;
  info.label = LabelOfDevice(st.st_dev);
  info.total_bytes = static_cast<uint64_t>(fs.f_blocks) * fs.f_frsize;
  info.free_bytes = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
  return info;
}

}  // namespace tavrik::platform
