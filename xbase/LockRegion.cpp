#include "xbase/LockRegion.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "xbase/TableError.h"

namespace tavrik::xbase {

namespace {

struct flock ByteRange(int64_t offset, short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = 1;
  fl.l_pid = 0;  // must be 0 for open file description locks
  return fl;
}

// A header change holds its byte for a few writes; waiting longer than this means something is
// wrong with the other process.
constexpr std::chrono::milliseconds kHeaderWait{10000};

}  // namespace

bool TryLockByte(int fd, int64_t offset, TLockKind kind) {
  struct flock fl = ByteRange(offset, kind == TLockKind::shared ? F_RDLCK : F_WRLCK);
  while (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return false;
    throw ETableError(std::string("Cannot lock a table region: ") + std::strerror(errno));
  }
  return true;
}

bool LockByteWithin(int fd, int64_t offset, TLockKind kind, std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    if (TryLockByte(fd, offset, kind)) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
    if (pause < std::chrono::milliseconds(20)) pause *= 2;
  }
}

void UnlockByte(int fd, int64_t offset) {
  struct flock fl = ByteRange(offset, F_UNLCK);
  while (::fcntl(fd, F_OFD_SETLK, &fl) != 0 && errno == EINTR) {
  }
}

bool ByteLockedElsewhere(int fd, int64_t offset) {
  struct flock fl = ByteRange(offset, F_WRLCK);
  while (::fcntl(fd, F_OFD_GETLK, &fl) != 0) {
    if (errno == EINTR) continue;
    throw ETableError(std::string("Cannot test a table region lock: ") + std::strerror(errno));
  }
  return fl.l_type != F_UNLCK;
}

THeaderLock::THeaderLock(int fd, const std::string& path, TLockKind kind) : fd_(fd) {
  if (fd_ < 0) return;
  if (!LockByteWithin(fd_, kHeaderLockOffset, kind, kHeaderWait))
    throw ETableError("Timed out waiting for the header of " + path);
}

THeaderLock::~THeaderLock() {
  if (fd_ >= 0) UnlockByte(fd_, kHeaderLockOffset);
}

}  // namespace tavrik::xbase
