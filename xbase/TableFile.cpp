#include "xbase/TableFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "xbase/TableError.h"

namespace tavrik::xbase {

namespace {
std::string Reason(int err) { return std::strerror(err); }
}  // namespace

TTableFile::~TTableFile() { Close(); }

TTableFile::TTableFile(TTableFile&& other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)), writable_(other.writable_) {
  other.fd_ = -1;
}

TTableFile& TTableFile::operator=(TTableFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    writable_ = other.writable_;
    other.fd_ = -1;
  }
  return *this;
}

TTableFile TTableFile::Open(const std::string& path, bool writable) {
  int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    if (err == ENOENT) throw ETableError("File not found: " + path);
    throw ETableError("Cannot open " + path + ": " + Reason(err));
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw ETableError("Cannot open " + path + ": not a regular file");
  }
  return TTableFile(fd, path, writable);
}

TTableFile TTableFile::Create(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw ETableError("Cannot create " + path + ": " + Reason(errno));
  return TTableFile(fd, path, true);
}

uint64_t TTableFile::Size() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) throw ETableError("Cannot read the size of " + path_ + ": " + Reason(errno));
  return static_cast<uint64_t>(st.st_size);
}

std::string TTableFile::ReadUpTo(uint64_t offset, size_t size) const {
  std::string data(size, '\0');
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd_, data.data() + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw ETableError("Cannot read " + path_ + ": " + Reason(errno));
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  data.resize(done);
  return data;
}

std::string TTableFile::ReadExact(uint64_t offset, size_t size, std::string_view what) const {
  std::string data = ReadUpTo(offset, size);
  if (data.size() != size) throw ETableCorrupt("Corrupt file " + path_ + ": " + std::string(what));
  return data;
}

void TTableFile::Write(uint64_t offset, std::string_view data) const {
  if (!writable_) throw ETableError("Cannot write to " + path_ + ": opened for reading only");
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw ETableError("Cannot write to " + path_ + ": " + Reason(errno));
    }
    if (n == 0) throw ETableError("Cannot write to " + path_ + ": nothing was written");
    done += static_cast<size_t>(n);
  }
}

void TTableFile::Truncate(uint64_t size) const {
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
    throw ETableError("Cannot change the size of " + path_ + ": " + Reason(errno));
}

void TTableFile::Sync() const {
  if (::fsync(fd_) != 0) throw ETableError("Cannot flush " + path_ + " to disk: " + Reason(errno));
}

void TTableFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace tavrik::xbase
