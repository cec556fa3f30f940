#include "server/FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tavrik::server {

TFolderLock::TFolderLock(const std::string& folder, const std::string& what)
    : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  if (fd_ < 0) return;
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
  const int err = errno;
  ::close(fd_);
  fd_ = -1;
  if (err == EWOULDBLOCK) throw EFolderInUse(what + " " + folder + " is served by another marvekd");
  throw EFolderInUse("Cannot lock " + what + " " + folder + ": " + std::strerror(err));
}

TFolderLock::~TFolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace tavrik::server
