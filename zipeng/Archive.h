// The engine's archives, both through minizip: the existing archive read on minizip's unzip
// side, and the new one written on its zip side in raw mode. The engine compresses and encrypts
// itself; minizip writes the local headers, the sizes, the Zip64 records where sizes or offsets
// need them, and the central directory. The new archive is made in a private folder (mode 0700,
// a random name) and takes the old one's place in one rename, only once it is complete: a run
// that fails or is stopped leaves the old archive as it was.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Exception.h"

namespace tavrik::zipeng {

// An error with an engine error code (ZipEngineError in the low byte, the operating system's
// error number above it when there is one).
class EEngineError : public Exception {
 public:
  EEngineError(int code, const std::string& message, int os_error = 0)
      : Exception(message), code_(code | os_error << 8) {}
  const char* ClassName() const noexcept override { return "EEngineError"; }
  int Code() const { return code_; }

 private:
  int code_;
};

// An entry of the existing archive, as its central directory describes it.
struct TOldEntry {
  std::string name;  // as stored
  uint32_t dos_datetime = 0;
  uint16_t version_made_by = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t crc = 0;
  uint64_t compressed_size = 0;
  uint64_t uncompressed_size = 0;
  uint16_t internal_attributes = 0;
  uint32_t external_attributes = 0;
  std::string central_extra;
  std::string comment;
  uint64_t directory_position = 0;  // where minizip finds it again
  uint64_t entry_number = 0;
};

// What the new archive needs to open an entry.
struct TNewEntry {
  std::string name;
  uint32_t dos_datetime = 0;
  uint16_t version_made_by = 0;
  uint16_t flags = 0;  // the level bits of deflated entries are set from `level`
  int method = 0;      // 0 stored, 8 deflated
  int level = 0;
  bool zip64 = false;
  uint16_t internal_attributes = 0;
  uint32_t external_attributes = 0;
  std::string local_extra;
  std::string central_extra;
  std::string comment;
};

class TNewArchive;

class TOldArchive {
 public:
  // Raises EEngineError zeBadArchive when `path` is not an archive minizip can read.
  explicit TOldArchive(const std::string& path);
  ~TOldArchive();
  TOldArchive(const TOldArchive&) = delete;
  TOldArchive& operator=(const TOldArchive&) = delete;

  const std::vector<TOldEntry>& Entries() const { return entries_; }
  const std::string& Comment() const { return comment_; }
  // Copies `entry` unchanged (still compressed, still encrypted) into `out`.
  void CopyTo(const TOldEntry& entry, TNewArchive& out);

 private:
  void* unzip_ = nullptr;
  std::string path_;
  std::vector<TOldEntry> entries_;
  std::string comment_;
};

class TNewArchive {
 public:
  // Makes the private folder (in `temp_dir`, or beside `target` when that is empty) and the
  // temporary archive in it.
  TNewArchive(const std::string& target, const std::string& temp_dir);
  // Removes the temporary archive and its folder unless Commit succeeded.
  ~TNewArchive();
  TNewArchive(const TNewArchive&) = delete;
  TNewArchive& operator=(const TNewArchive&) = delete;

  void OpenEntry(const TNewEntry& entry);
  void Write(const void* data, size_t size);
  void CloseEntry(uint64_t uncompressed_size, uint32_t crc);
  // Writes the central directory with `comment`, flushes the archive to the disk and puts it
  // in the target's place with permissions `mode`.
  void Commit(const std::string& comment, mode_t mode);

 private:
  void Discard();

  std::string target_;
  std::string folder_;
  std::string temp_path_;
  void* zip_ = nullptr;
  bool committed_ = false;
};

}  // namespace tavrik::zipeng
