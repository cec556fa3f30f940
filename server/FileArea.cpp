#include "server/FileArea.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

namespace tavrik::server {

namespace {

std::string Reason() { return std::strerror(errno); }

std::string NextPartialName() {
  static std::atomic<uint64_t> counter{0};
  static const uint64_t seed = std::random_device{}();
  uint64_t n = seed ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull) ^ static_cast<uint64_t>(::getpid());
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(n));
  return std::string(kPartialPrefix) + text + ".part";
}

}  // namespace

void CheckPlainName(std::string_view name) {
  if (name.find_first_not_of(' ') == std::string_view::npos) throw EBadFileName("empty file name");
  if (name == "." || name == "..") throw EBadFileName("not a file name: " + std::string(name));
  for (char c : name) {
    if (c == '/' || c == '\\') throw EBadFileName("file name with a path separator");
    if (static_cast<unsigned char>(c) < 32 || c == 127) throw EBadFileName("file name with a control character");
  }
  if (name.substr(0, kPartialPrefix.size()) == kPartialPrefix)
    throw EBadFileName("file name reserved for partial uploads");
}

namespace {
bool IsPartialName(std::string_view name) {
  constexpr std::string_view suffix = ".part";
  if (name.size() != kPartialPrefix.size() + 16 + suffix.size()) return false;
  if (name.substr(0, kPartialPrefix.size()) != kPartialPrefix || name.substr(name.size() - suffix.size()) != suffix)
    return false;
  for (char c : name.substr(kPartialPrefix.size(), 16))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}
}  // namespace

int RemovePartialUploads(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  while (dirent* e = ::readdir(dir)) {
    struct stat st {};
    if (!IsPartialName(e->d_name) || ::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode))
      continue;
    if (::unlinkat(::dirfd(dir), e->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

ssize_t TUploadIo::Write(int fd, const void* data, size_t size) { return ::write(fd, data, size); }
int TUploadIo::SyncRange(int fd, off_t offset, off_t length, unsigned flags) {
  return ::sync_file_range(fd, offset, length, flags);
}
int TUploadIo::Fsync(int fd) { return ::fsync(fd); }

TFileArea::TFileArea(const std::string& folder)
    : dir_fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  if (dir_fd_ < 0) throw EFileArea("cannot open folder " + folder + ": " + Reason());
}

TFileArea::~TFileArea() { ::close(dir_fd_); }

bool TFileArea::Exists(std::string_view name) const { return Length(name).has_value(); }

std::optional<uint64_t> TFileArea::Length(std::string_view name) const {
  CheckPlainName(name);
  struct stat st {};
  if (::fstatat(dir_fd_, std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
    return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

bool TFileArea::Delete(std::string_view name) const {
  if (!Exists(name)) return false;
  // unlinkat never follows a link: whatever replaced the file meanwhile, only the name goes.
  if (::unlinkat(dir_fd_, std::string(name).c_str(), 0) != 0) throw EFileArea("cannot delete: " + Reason());
  return true;
}

std::unique_ptr<TUpload> TFileArea::BeginUpload(std::string_view name, TUploadIo& io) const {
  CheckPlainName(name);
  return std::unique_ptr<TUpload>(new TUpload(dir_fd_, std::string(name), io));
}

TUpload::TUpload(int dir_fd, std::string target, TUploadIo& io) : dir_fd_(dir_fd), target_(std::move(target)), io_(io) {
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    partial_ = NextPartialName();
    fd_ = ::openat(dir_fd_, partial_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) throw EFileArea("cannot create a partial file: " + Reason());
}

TUpload::~TUpload() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_) ::unlinkat(dir_fd_, partial_.c_str(), 0);
}

void TUpload::Write(const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = io_.Write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;  // a write that moves nothing will never finish
      throw EFileArea("cannot write " + target_ + ": " + Reason());
    }
    data += n;
    size -= static_cast<size_t>(n);
    written_ += static_cast<uint64_t>(n);
  }
  WriteBehind();
}

void TUpload::WriteBehind() {
  if (written_ - started_ < kWriteBackChunk) return;
  SyncRange(started_, written_, SYNC_FILE_RANGE_WRITE);
  if (started_ > settled_) {
    SyncRange(settled_, started_, SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
    // Only advice: the range is written, whatever the kernel keeps of it.
    ::posix_fadvise(fd_, static_cast<off_t>(settled_), static_cast<off_t>(started_ - settled_), POSIX_FADV_DONTNEED);
    settled_ = started_;
  }
  started_ = written_;
}

void TUpload::SyncRange(uint64_t begin, uint64_t end, unsigned flags) {
  // A failed write-back is reported here and only here: the fsync after it no longer sees it.
  if (io_.SyncRange(fd_, static_cast<off_t>(begin), static_cast<off_t>(end - begin), flags) != 0)
    throw EFileArea("cannot write " + target_ + ": " + Reason());
}

void TUpload::Commit() {
  // The data reaches the disk before the name does, so the name never shows a half file.
  if (io_.Fsync(fd_) != 0) throw EFileArea("cannot flush " + target_ + ": " + Reason());
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw EFileArea("cannot close " + target_ + ": " + Reason());
  if (::renameat(dir_fd_, partial_.c_str(), dir_fd_, target_.c_str()) != 0)
    throw EFileArea("cannot rename to " + target_ + ": " + Reason());
  committed_ = true;
  ::fsync(dir_fd_);  // the rename itself; the file is complete under its name either way
}

}  // namespace tavrik::server
