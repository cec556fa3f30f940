#include "xbase/MemoDbt.h"

#include <algorithm>

#include "core/ByteOrder.h"
#include "xbase/TableError.h"

namespace tavrik::xbase {

namespace {

const std::string_view kBinarySignature("\xFF\xFF\x08\x00", 4);
constexpr size_t kBinaryHeader = 8;

uint32_t BlocksFor(uint64_t bytes) { return uint32_t((bytes + kDbtBlockSize - 1) / kDbtBlockSize); }

}  // namespace

TDbtMemoFile::TDbtMemoFile(TTableFile file) : TMemoFile(std::move(file)) {
  if (file_.Size() < kDbtBlockSize) throw ETableCorrupt("Corrupt memo file " + Path() + ": the file is shorter than its header");
  next_free_ = ReadNextFree();
}

std::string TDbtMemoFile::EmptyHeader() {
  std::string h(kDbtBlockSize, '\0');
  h.replace(0, 4, Le32Bytes(1));
  h[16] = 0x03;
  return h;
}

uint32_t TDbtMemoFile::ReadNextFree() const {
  // A pointer into the header itself or past the end of the file cannot be right (a damaged one
  // would send the next memo terabytes into the file); the end of the file is the safe place.
  const uint32_t stored = GetLe32(file_.ReadExact(0, 4, "the memo header is missing"), 0);
  const uint32_t at_end = uint32_t(std::min<uint64_t>(BlocksFor(file_.Size()), 0xFFFFFFFFull));
  return stored < 1 || stored > at_end ? std::max<uint32_t>(at_end, 1) : stored;
}

TMemoData TDbtMemoFile::Read(uint32_t block) const {
  const uint64_t size = file_.Size();
  const uint64_t at = uint64_t(block) * kDbtBlockSize;
  if (block == 0 || at >= size)
    throw ETableCorrupt("Corrupt memo file " + Path() + ": block " + std::to_string(block) + " lies outside the file");
  std::string head = file_.ReadUpTo(at, kBinaryHeader);
  if (head.size() == kBinaryHeader && std::string_view(head).substr(0, 4) == kBinarySignature) {
    const uint32_t length = GetLe32(head, 4);
    if (length < kBinaryHeader || at + length > size)
      throw ETableCorrupt("Corrupt memo file " + Path() + ": block " + std::to_string(block) + " claims " +
                          std::to_string(length) + " bytes, past the end of the file");
    return {TMemoType::binary, file_.ReadExact(at + kBinaryHeader, length - kBinaryHeader, "a memo ends early")};
  }
  // A text runs to its end mark; a text without one ends where the blocks in use end (the
  // header's next free block, when it is a sound one beyond this memo) or with the file.
  TMemoData memo{TMemoType::text, {}};
  const uint64_t in_use = uint64_t(ReadNextFree()) * kDbtBlockSize;
  const uint64_t end = in_use > at ? std::min(in_use, size) : size;
  uint64_t pos = at;
  while (pos < end) {
    std::string chunk = file_.ReadUpTo(pos, size_t(std::min<uint64_t>(8 * kDbtBlockSize, end - pos)));
    if (chunk.empty()) break;
    const size_t mark = chunk.find(char(kDbfEndOfFile));
    if (mark != std::string::npos) {
      memo.bytes.append(chunk, 0, mark);
      break;
    }
    memo.bytes += chunk;
    pos += chunk.size();
  }
  return memo;
}

uint32_t TDbtMemoFile::BlocksInUse(uint32_t block) const {
  try {
    const TMemoData old = Read(block);
    // A text was written with at least one end mark behind it; count no more than that.
    const uint64_t bytes = old.type == TMemoType::text ? old.bytes.size() + 1 : old.bytes.size() + kBinaryHeader;
    const uint32_t blocks = BlocksFor(bytes);
    return uint64_t(block) + blocks <= next_free_ ? blocks : 0;
  } catch (const ETableCorrupt&) {
    return 0;  // an unreadable old memo is left where it is
  }
}

uint32_t TDbtMemoFile::Write(uint32_t old_block, const TMemoData& data, bool shared) {
  if (shared) next_free_ = ReadNextFree();
  const bool binary_form = data.type != TMemoType::text || data.bytes.find(char(kDbfEndOfFile)) != std::string::npos;
  std::string payload;
  if (binary_form) {
    if (data.bytes.size() > 0xFFFFFFFFull - kBinaryHeader) throw ETableError("Memo too large for " + Path());
    payload.reserve(data.bytes.size() + kBinaryHeader);
    payload.append(kBinarySignature);
    payload += Le32Bytes(uint32_t(data.bytes.size() + kBinaryHeader));
    payload += data.bytes;
  } else {
    payload.reserve(data.bytes.size() + 2);
    payload = data.bytes;
    payload += "\x1A\x1A";
  }
  const uint32_t blocks = BlocksFor(payload.size());
  if (old_block != 0 && BlocksInUse(old_block) >= blocks) {
    file_.Write(uint64_t(old_block) * kDbtBlockSize, payload);
    return old_block;
  }
  // New blocks at the end: never below the end of the file, whatever the header says.
  const uint64_t file_size = file_.Size();
  const uint64_t at_end = std::max<uint64_t>(next_free_, BlocksFor(file_size));
  if (at_end + blocks > 0xFFFFFFFFull) throw ETableError("Memo file " + Path() + " is full");
  const uint32_t block = uint32_t(at_end);
  payload.resize(size_t(blocks) * kDbtBlockSize, '\0');
  try {
    file_.Write(uint64_t(block) * kDbtBlockSize, payload);
    file_.Write(0, Le32Bytes(block + blocks));
  } catch (...) {
    try { file_.Truncate(file_size); } catch (...) {}
    throw;
  }
  next_free_ = block + blocks;
  return block;
}

}  // namespace tavrik::xbase
