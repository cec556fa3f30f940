// One open table or memo file: positioned reads and writes that either do all they were asked or
// raise ETableError naming the file, so callers never act on half a record. Owns its descriptor.
// Safe to use from several threads at once (pread/pwrite carry their own offsets).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrik::xbase {

class TTableFile {
 public:
  TTableFile() = default;
  ~TTableFile();
  TTableFile(const TTableFile&) = delete;
  TTableFile& operator=(const TTableFile&) = delete;
  TTableFile(TTableFile&& other) noexcept;
  TTableFile& operator=(TTableFile&& other) noexcept;

  // Opens an existing file, for reading and writing when `writable`. Raises "File not found: "
  // + path when it does not exist, "Cannot open <path>: <reason>" otherwise.
  static TTableFile Open(const std::string& path, bool writable);
  // Creates (or empties) a file for reading and writing.
  static TTableFile Create(const std::string& path);

  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  bool Writable() const { return writable_; }
  const std::string& Path() const { return path_; }

  uint64_t Size() const;
  // Exactly `size` bytes at `offset`; fewer bytes in the file is an error of the caller's choice:
  // ReadExact raises ETableCorrupt with `what` ("record 5 lies past the end of the file").
  std::string ReadExact(uint64_t offset, size_t size, std::string_view what) const;
  // Up to `size` bytes at `offset` (fewer at the end of the file).
  std::string ReadUpTo(uint64_t offset, size_t size) const;
  // All of `data` at `offset`; a short write (full disk, file size limit) raises ETableError
  // "Cannot write to <path>: <reason>".
  void Write(uint64_t offset, std::string_view data) const;
  void Truncate(uint64_t size) const;
  void Sync() const;
  void Close();

 private:
  TTableFile(int fd, std::string path, bool writable) : fd_(fd), path_(std::move(path)), writable_(writable) {}
  int fd_ = -1;
  std::string path_;
  bool writable_ = false;
};

}  // namespace tavrik::xbase
