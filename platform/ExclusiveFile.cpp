#include "platform/ExclusiveFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tavrik::platform {

namespace {

class TDir {
 public:
  explicit TDir(int fd) : dir_(fd == -1 ? nullptr : ::fdopendir(fd)) {
    if (!dir_ && fd != -1) ::close(fd);
  }
  ~TDir() {
    if (dir_) ::closedir(dir_);
  }
  TDir(const TDir&) = delete;
  TDir& operator=(const TDir&) = delete;
  DIR* Get() const { return dir_; }

 private:
  DIR* dir_;
};

bool IsNumber(const char* name) {
  if (!*name) return false;
  for (; *name; ++name)
    if (*name < '0' || *name > '9') return false;
  return true;
}

// Whether any descriptor in /proc/<pid>/fd other than `own_fd` of this process refers to the
// file `own` (same device and inode).
bool OpenElsewhere(const struct stat& own, int own_fd) {
  TDir proc(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!proc.Get()) return false;
  const pid_t self = ::getpid();
  while (dirent* process = ::readdir(proc.Get())) {
    if (!IsNumber(process->d_name)) continue;
    const bool is_self = std::atol(process->d_name) == static_cast<long>(self);
    const std::string fds = std::string("/proc/") + process->d_name + "/fd";
    // Processes come and go, and others' descriptors may be closed to us: those are skipped.
    TDir dir(::open(fds.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.Get()) continue;
    while (dirent* entry = ::readdir(dir.Get())) {
      if (!IsNumber(entry->d_name)) continue;
      if (is_self && std::atoi(entry->d_name) == own_fd) continue;
      struct stat other {};
      // The entry is a link to what the descriptor has open; stat follows it to that file.
      if (::fstatat(::dirfd(dir.Get()), entry->d_name, &other, 0) != 0) continue;
      if (other.st_dev == own.st_dev && other.st_ino == own.st_ino) return true;
    }
  }
  return false;
}

TExclusiveOpen Failed(int fd, int error) {
  if (fd != -1) ::close(fd);
  return {-1, error};
}

}  // namespace

TExclusiveOpen OpenReadExclusive(const std::string& path) {
  // O_NONBLOCK: a FIFO must not hang the open; it is refused below like any other non-file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd == -1) return {-1, errno};
  struct stat own {};
  if (::fstat(fd, &own) != 0) return Failed(fd, errno);
  if (S_ISDIR(own.st_mode)) return Failed(fd, EISDIR);
  if (!S_ISREG(own.st_mode)) return Failed(fd, EINVAL);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return Failed(fd, errno);

  struct flock lock {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;  // start 0, length 0: the whole file, however it grows
  if (::fcntl(fd, F_OFD_SETLK, &lock) != 0)
    return Failed(fd, errno == EAGAIN || errno == EACCES ? EBUSY : errno);
  if (OpenElsewhere(own, fd)) return Failed(fd, EBUSY);
  return {fd, 0};
}

}  // namespace tavrik::platform
