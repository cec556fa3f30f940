#include "xbase/IndexStorage.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "xbase/IndexError.h"

namespace tavrik::xbase {

namespace {

std::string Reason(int err) { return std::strerror(err); }

class TFileStorage : public TIndexStorage {
 public:
  TFileStorage(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~TFileStorage() override { ::close(fd_); }
  TFileStorage(const TFileStorage&) = delete;
  TFileStorage& operator=(const TFileStorage&) = delete;

  const std::string& Name() const override { return path_; }

  uint64_t Size() override {
    struct stat st{};
    if (::fstat(fd_, &st) != 0) throw EIndexError("Cannot read index file " + path_ + ": " + Reason(errno));
    return static_cast<uint64_t>(st.st_size);
  }

  void Read(uint64_t offset, void* data, size_t size) override {
    auto* p = static_cast<char*>(data);
    while (size > 0) {
      ssize_t n = ::pread(fd_, p, size, static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw EIndexError("Cannot read index file " + path_ + ": " + Reason(errno));
      if (n == 0) throw EIndexCorrupt("Index file " + path_ + " is damaged: it ends inside a page");
      p += n, offset += static_cast<uint64_t>(n), size -= static_cast<size_t>(n);
    }
  }

  void Write(uint64_t offset, const void* data, size_t size) override {
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
      ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw EIndexError("Cannot write index file " + path_ + ": " + Reason(n < 0 ? errno : ENOSPC));
      p += n, offset += static_cast<uint64_t>(n), size -= static_cast<size_t>(n);
    }
  }

  void Sync() override {
    if (::fdatasync(fd_) != 0) throw EIndexError("Cannot write index file " + path_ + ": " + Reason(errno));
  }

  void Truncate(uint64_t size) override {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
      throw EIndexError("Cannot write index file " + path_ + ": " + Reason(errno));
  }

  std::string Identity() const override {
    struct stat st{};
    if (::fstat(fd_, &st) != 0) return {};
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  }

 private:
  int fd_;
  std::string path_;
};

}  // namespace

std::unique_ptr<TIndexStorage> OpenFileStorage(const std::string& path, TStorageMode mode) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case TStorageMode::smRead: flags |= O_RDONLY; break;
    case TStorageMode::smReadWrite: flags |= O_RDWR; break;
    case TStorageMode::smCreate: flags |= O_RDWR | O_CREAT; break;
  }
  int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) throw EIndexError("Cannot open index file " + path + ": " + Reason(errno));
  auto storage = std::make_unique<TFileStorage>(fd, path);
  // Only one process may change an index file; readers share it.
  if (::flock(fd, (mode == TStorageMode::smRead ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0)
    throw EIndexError("Index file " + path + " is in use by another process");
  // Emptied only once the lock is ours, never under another process's feet.
  if (mode == TStorageMode::smCreate) storage->Truncate(0);
  return storage;
}

void TMemoryStorage::Read(uint64_t offset, void* data, size_t size) {
  if (offset > bytes_->size() || size > bytes_->size() - offset)
    throw EIndexCorrupt("Index file " + name_ + " is damaged: it ends inside a page");
  std::memcpy(data, bytes_->data() + offset, size);
}

void TMemoryStorage::Write(uint64_t offset, const void* data, size_t size) {
  if (bytes_->size() < offset + size) bytes_->resize(offset + size);
  std::memcpy(bytes_->data() + offset, data, size);
}

}  // namespace tavrik::xbase
