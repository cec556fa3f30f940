// FoxPro memo files (.fpt): blocks of a size the header gives, the first 512 bytes a header.
//
// Header:
//   OFFSET  SIZE  CONTENT
//   0       4     number of the next free block, big-endian
//   4       2     reserved
//   6       2     block size in bytes, big-endian
//   8       504   reserved (zeros)
//
// Memo block (at block number * block size, never inside the header):
//   OFFSET  SIZE  CONTENT
//   0       4     type, big-endian: 0 picture or binary, 1 text, 2 object
//   4       4     length of the content in bytes, big-endian
//   8       n     the content, then unused bytes up to the next block
#pragma once

#include "xbase/MemoFile.h"

namespace tavrik::xbase {

constexpr uint32_t kFptHeaderSize = 512;

class TFptMemoFile : public TMemoFile {
 public:
  explicit TFptMemoFile(TTableFile file);
  TMemoData Read(uint32_t block) const override;
  uint32_t Write(uint32_t old_block, const TMemoData& data, bool shared) override;

  uint32_t BlockSize() const { return block_size_; }
  static std::string EmptyHeader(uint32_t block_size);

 private:
  uint32_t FirstBlock() const { return (kFptHeaderSize + block_size_ - 1) / block_size_; }
  uint32_t ReadNextFree() const;
  uint32_t BlocksInUse(uint32_t block) const;
  uint32_t block_size_ = 64;
  uint32_t next_free_ = 0;
};

}  // namespace tavrik::xbase
