// One named file area: a folder whose plain files clients test for, measure, delete and upload
// by name. A name is only ever looked up inside the area's folder (no separators, no "..",
// symbolic links never followed), and an upload becomes visible under its name only when it is
// complete and on disk.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/Exception.h"

namespace tavrik::server {

TAVRIK_EXCEPTION(EFileArea, Exception);
TAVRIK_EXCEPTION(EBadFileName, EFileArea);

// Uploads in progress live beside their target under this prefix; clients cannot use it.
constexpr std::string_view kPartialPrefix = ".marvekd-";

// Raises EBadFileName unless `name` is a plain file name: not empty or blank-only, not "." or
// "..", no "/", "\" or control characters (NUL among them), not the partial-upload prefix.
void CheckPlainName(std::string_view name);

// Removes the partial uploads a server that was killed left in `folder`: regular files named as
// this server names them (the prefix, 16 hexadecimal digits, ".part"), nothing else. Returns how
// many went. Run at start, before any client can begin an upload.
int RemovePartialUploads(const std::string& folder);

// The system calls an upload makes to write and flush; tests override one to fail on purpose
// (a full disk, a failing write-back or flush).
class TUploadIo {
 public:
  virtual ~TUploadIo() = default;
  virtual ssize_t Write(int fd, const void* data, size_t size);
  // sync_file_range(2).
  virtual int SyncRange(int fd, off_t offset, off_t length, unsigned flags);
  virtual int Fsync(int fd);
};

// An upload hands its data to the disk in pieces of this size while the rest arrives, and lets
// each piece go from the page cache once it is written: large enough for long sequential writes,
// small enough that an upload holds little of the cache.
constexpr uint64_t kWriteBackChunk = 8 << 20;

class TFileArea;

// A file being uploaded: written to a fresh partial file in the area, then fsynced and renamed
// over the target by Commit. Destroyed without Commit, it removes the partial file.
//
// Write-back runs behind the writes with one chunk (kWriteBackChunk) in flight: the disk works
// while the network delivers, Commit's fsync finds little left to do, and an upload keeps about
// two chunks in the page cache instead of the whole file. Reusing those chunks' memory also keeps
// the writes cheap: growing the cache by a gigabyte of memory not touched lately can cost several
// times the copy itself (as on a virtual machine whose host takes free memory back).
class TUpload {
 public:
  ~TUpload();
  TUpload(const TUpload&) = delete;
  TUpload& operator=(const TUpload&) = delete;

  // Raise EFileArea with the system's reason (e.g. "No space left on device").
  void Write(const char* data, size_t size);
  void Commit();
  const std::string& PartialName() const { return partial_; }

 private:
  friend class TFileArea;
  TUpload(int dir_fd, std::string target, TUploadIo& io);
  // Starts the write-back of what was written since the last call, once that is a whole chunk,
  // and waits for the chunk before it.
  void WriteBehind();
  void SyncRange(uint64_t begin, uint64_t end, unsigned flags);

  int dir_fd_;  // shared with the area, which outlives the upload
  int fd_ = -1;
  std::string target_, partial_;
  TUploadIo& io_;
  // [0, settled_) is on disk and out of the cache, [settled_, started_) on its way there.
  uint64_t written_ = 0, started_ = 0, settled_ = 0;
  bool committed_ = false;
};

class TFileArea {
 public:
  // Raises EFileArea when the folder cannot be opened.
  explicit TFileArea(const std::string& folder);
  ~TFileArea();
  TFileArea(const TFileArea&) = delete;
  TFileArea& operator=(const TFileArea&) = delete;

  // Each raises EBadFileName for a name that is not plain.
  bool Exists(std::string_view name) const;  // a regular file (not a link, not a folder)
  bool Delete(std::string_view name) const;  // true when a regular file was removed
  std::optional<uint64_t> Length(std::string_view name) const;
  // The upload must not outlive the area.
  std::unique_ptr<TUpload> BeginUpload(std::string_view name, TUploadIo& io) const;

 private:
  int dir_fd_;
};

}  // namespace tavrik::server
