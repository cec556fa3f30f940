// dBASE III memo files (.dbt): 512-byte blocks, the first of them a header.
//
// Header (block 0):
//   OFFSET  SIZE  CONTENT
//   0       4     number of the next free block, little-endian
//   4       12    reserved (zeros)
//   16      1     version 0x03
//   17      495   reserved
//
// A text memo starts at the beginning of its block and runs on through the following blocks up
// to the byte 0x1A; it is written followed by 0x1A 0x1A. Binary contents (fields B, G, P, and a
// text that itself holds 0x1A) are written in the dBASE IV block form, which keeps their length:
//   OFFSET  SIZE  CONTENT
//   0       4     signature FF FF 08 00
//   4       4     length including these 8 bytes, little-endian
//   8       n     the content
#pragma once

#include "xbase/MemoFile.h"

namespace tavrik::xbase {

constexpr uint32_t kDbtBlockSize = 512;

class TDbtMemoFile : public TMemoFile {
 public:
  // Checks the header against the file; raises ETableCorrupt when it cannot be right.
  explicit TDbtMemoFile(TTableFile file);
  TMemoData Read(uint32_t block) const override;
  uint32_t Write(uint32_t old_block, const TMemoData& data, bool shared) override;

  static std::string EmptyHeader();

 private:
  uint32_t ReadNextFree() const;
  // Blocks that the memo at `block` surely occupies, 0 when it cannot be told (then its place is
  // not reused).
  uint32_t BlocksInUse(uint32_t block) const;
  uint32_t next_free_ = 1;
};

}  // namespace tavrik::xbase
