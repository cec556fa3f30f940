#include "xbase/MemoFpt.h"

#include <algorithm>

#include "core/ByteOrder.h"
#include "xbase/TableError.h"

namespace tavrik::xbase {

namespace {

constexpr size_t kBlockHeader = 8;

}  // namespace

TFptMemoFile::TFptMemoFile(TTableFile file) : TMemoFile(std::move(file)) {
  const std::string h = file_.ReadUpTo(0, kFptHeaderSize);
  if (h.size() < kFptHeaderSize) throw ETableCorrupt("Corrupt memo file " + Path() + ": the file is shorter than its header");
  block_size_ = GetBe16(h, 6);
  if (block_size_ == 0) throw ETableCorrupt("Corrupt memo file " + Path() + ": the block size is 0");
  next_free_ = ReadNextFree();
}

std::string TFptMemoFile::EmptyHeader(uint32_t block_size) {
  std::string h(kFptHeaderSize, '\0');
  h.replace(0, 4, Be32Bytes((kFptHeaderSize + block_size - 1) / block_size));
  PutBe16(h, 6, static_cast<uint16_t>(block_size));
  return h;
}

uint32_t TFptMemoFile::ReadNextFree() const {
  // A pointer past the end of the file is damaged: trusted, it would send the next memo far
  // beyond the file's end. The end of the file is the safe place.
  const uint32_t stored = GetBe32(file_.ReadExact(0, 4, "the memo header is missing"), 0);
  const uint64_t at_end = std::min<uint64_t>((file_.Size() + block_size_ - 1) / block_size_, 0xFFFFFFFFull);
  return std::max(stored > at_end ? uint32_t(at_end) : stored, FirstBlock());
}

TMemoData TFptMemoFile::Read(uint32_t block) const {
  const uint64_t size = file_.Size();
  const uint64_t at = uint64_t(block) * block_size_;
  auto corrupt = [&](const std::string& what) {
    return ETableCorrupt("Corrupt memo file " + Path() + ": block " + std::to_string(block) + " " + what);
  };
  if (block < FirstBlock() || at + kBlockHeader > size) throw corrupt("lies outside the file");
  const std::string head = file_.ReadExact(at, kBlockHeader, "a memo block ends early");
  const uint32_t type = GetBe32(head, 0);
  const uint32_t length = GetBe32(head, 4);
  if (at + kBlockHeader + length > size)
    throw corrupt("claims " + std::to_string(length) + " bytes, past the end of the file");
  TMemoData memo;
  memo.type = type == 1 ? TMemoType::text : type == 2 ? TMemoType::object : TMemoType::binary;
  memo.bytes = file_.ReadExact(at + kBlockHeader, length, "a memo ends early");
  return memo;
}

uint32_t TFptMemoFile::BlocksInUse(uint32_t block) const {
  try {
    const uint64_t at = uint64_t(block) * block_size_;
    if (block < FirstBlock() || at + kBlockHeader > file_.Size()) return 0;
    const uint32_t length = GetBe32(file_.ReadExact(at, kBlockHeader, "a memo block ends early"), 4);
    const uint64_t blocks = (kBlockHeader + uint64_t(length) + block_size_ - 1) / block_size_;
    return uint64_t(block) + blocks <= next_free_ ? uint32_t(blocks) : 0;
  } catch (const ETableCorrupt&) {
    return 0;
  }
}

uint32_t TFptMemoFile::Write(uint32_t old_block, const TMemoData& data, bool shared) {
  if (shared) next_free_ = ReadNextFree();
  if (data.bytes.size() > 0xFFFFFFFFull - kBlockHeader) throw ETableError("Memo too large for " + Path());
  std::string payload;
  payload.reserve(kBlockHeader + data.bytes.size());
  payload += Be32Bytes(uint32_t(data.type));
  payload += Be32Bytes(uint32_t(data.bytes.size()));
  payload += data.bytes;
  const uint64_t blocks = (payload.size() + block_size_ - 1) / block_size_;
  if (old_block != 0 && BlocksInUse(old_block) >= blocks) {
    file_.Write(uint64_t(old_block) * block_size_, payload);
    return old_block;
  }
  const uint64_t file_size = file_.Size();
  const uint64_t at_end = std::max<uint64_t>(next_free_, (file_size + block_size_ - 1) / block_size_);
  if (at_end + blocks > 0xFFFFFFFFull) throw ETableError("Memo file " + Path() + " is full");
  const uint32_t block = uint32_t(at_end);
  payload.resize(size_t(blocks * block_size_), '\0');
  try {
    file_.Write(uint64_t(block) * block_size_, payload);
    file_.Write(0, Be32Bytes(uint32_t(block + blocks)));
  } catch (...) {
    try { file_.Truncate(file_size); } catch (...) {}
    throw;
  }
  next_free_ = uint32_t(block + blocks);
  return block;
}

}  // namespace tavrik::xbase
