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
// (a full disk, a failing flush).
class TUploadIo {
 public:
  virtual ~TUploadIo() = default;
  virtual ssize_t Write(int fd, const void* data, size_t size);
  virtual int Fsync(int fd);
};

class TFileArea;

// A file being uploaded: written to a fresh partial file in the area, then fsynced and renamed
// over the target by Commit. Destroyed without Commit, it removes the partial file.
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

  int dir_fd_;  // shared with the area, which outlives the upload
  int fd_ = -1;
  std::string target_, partial_;
  TUploadIo& io_;
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
