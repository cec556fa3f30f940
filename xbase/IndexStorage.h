// Where an index file's bytes live: a file on disk, or memory (tests, temporary orders). The
// pager reaches the bytes only through this interface, so a test can put a fake in its place
// that fails or tears a write on purpose.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavrik::xbase {

class TIndexStorage {
 public:
  virtual ~TIndexStorage() = default;
  // The file name, for messages.
  virtual const std::string& Name() const = 0;
  virtual uint64_t Size() = 0;
  // Reads exactly `size` bytes; raises EIndexError when fewer are there or the read fails.
  virtual void Read(uint64_t offset, void* data, size_t size) = 0;
  // Writes exactly `size` bytes; raises EIndexError when the write fails.
  virtual void Write(uint64_t offset, const void* data, size_t size) = 0;
  // Returns when everything written so far is on stable storage.
  virtual void Sync() = 0;
  virtual void Truncate(uint64_t size) = 0;
  // A key that is the same for two opens of the same file ("" when there is none), so that one
  // process opens each index file once.
  virtual std::string Identity() const { return {}; }
};

enum class TStorageMode { smRead, smReadWrite, smCreate };

// Opens (or, with smCreate, creates or empties) a file and takes an advisory lock on it: shared
// for smRead, exclusive otherwise. Raises EIndexError "Cannot open index file <path>: <reason>"
// or "Index file <path> is in use by another process".
std::unique_ptr<TIndexStorage> OpenFileStorage(const std::string& path, TStorageMode mode);

// Bytes in memory, shared with whoever holds `bytes`, so a test can reopen or damage them.
class TMemoryStorage : public TIndexStorage {
 public:
  TMemoryStorage(std::string name, std::shared_ptr<std::vector<uint8_t>> bytes)
      : name_(std::move(name)), bytes_(std::move(bytes)) {}
  const std::string& Name() const override { return name_; }
  uint64_t Size() override { return bytes_->size(); }
  void Read(uint64_t offset, void* data, size_t size) override;
  void Write(uint64_t offset, const void* data, size_t size) override;
  void Sync() override {}
  void Truncate(uint64_t size) override { bytes_->resize(size); }

 private:
  std::string name_;
  std::shared_ptr<std::vector<uint8_t>> bytes_;
};

}  // namespace tavrik::xbase
