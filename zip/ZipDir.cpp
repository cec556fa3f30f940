#include "zip/ZipDir.h"

#include "platform/CodePage.h"

namespace tavrik {

namespace {

constexpr uint32_t kSaturated32 = 0xFFFFFFFF;
constexpr uint16_t kZip64ExtraTag = 0x0001;

// The Zip64 extra field holds, in this order, only those of the uncompressed size, compressed
// size and local header offset whose 32-bit fields are saturated, 8 bytes each.
struct TZip64Values {
  std::optional<uint64_t> uncompressed, compressed, offset;
};

TZip64Values ReadZip64Extra(const ZipDirEntry& e) {
  TZip64Values values;
  std::string_view extra = e.ExtraField;
  for (size_t at = 0; at + 4 <= extra.size();) {
    uint16_t tag = GetLE16(extra, at);
    uint16_t length = GetLE16(extra, at + 2);
    if (at + 4 + length > extra.size()) break;
    if (tag == kZip64ExtraTag) {
      std::string_view data = extra.substr(at + 4, length);
      size_t pos = 0;
      auto next = [&](uint32_t field, std::optional<uint64_t>& into) {
        if (field != kSaturated32 || pos + 8 > data.size()) return;
        into = GetLE64(data, pos);
        pos += 8;
      };
      next(e.UncompressedSize32, values.uncompressed);
      next(e.CompressedSize32, values.compressed);
      next(e.LocalHeaderOffset32, values.offset);
      break;
    }
    at += 4 + length;
  }
  return values;
}

}  // namespace

uint16_t GetLE16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

uint32_t GetLE32(std::string_view b, size_t at) { return GetLE16(b, at) | static_cast<uint32_t>(GetLE16(b, at + 2)) << 16; }

uint64_t GetLE64(std::string_view b, size_t at) { return GetLE32(b, at) | static_cast<uint64_t>(GetLE32(b, at + 4)) << 32; }

uint64_t ZipDirEntry::UncompressedSize() const {
  return UncompressedSize32 == kSaturated32 ? ReadZip64Extra(*this).uncompressed.value_or(kSaturated32) : UncompressedSize32;
}

uint64_t ZipDirEntry::CompressedSize() const {
  return CompressedSize32 == kSaturated32 ? ReadZip64Extra(*this).compressed.value_or(kSaturated32) : CompressedSize32;
}

uint64_t ZipDirEntry::LocalHeaderOffset() const {
  return LocalHeaderOffset32 == kSaturated32 ? ReadZip64Extra(*this).offset.value_or(kSaturated32) : LocalHeaderOffset32;
}

ZipDirEntry ZipDirEntry::FromHeader(std::string_view h) {
  ZipDirEntry e;
  e.VersionMadeBy = GetLE16(h, 4);
  e.VersionNeeded = GetLE16(h, 6);
  e.Flags = GetLE16(h, 8);
  e.Method = GetLE16(h, 10);
  e.ModTime = GetLE16(h, 12);
  e.ModDate = GetLE16(h, 14);
  e.Crc32 = GetLE32(h, 16);
  e.CompressedSize32 = GetLE32(h, 20);
  e.UncompressedSize32 = GetLE32(h, 24);
  e.NameLength = GetLE16(h, 28);
  e.ExtraLength = GetLE16(h, 30);
  e.CommentLength = GetLE16(h, 32);
  e.DiskNumberStart = GetLE16(h, 34);
  e.InternalAttributes = GetLE16(h, 36);
  e.ExternalAttributes = GetLE32(h, 38);
  e.LocalHeaderOffset32 = GetLE32(h, 42);
  e.Encrypted = e.Flags & 1;
  return e;
}

TZipEndRecord TZipEndRecord::FromBytes(std::string_view r) {
  TZipEndRecord end;
  end.DiskNumber = GetLE16(r, 4);
  end.CentralDisk = GetLE16(r, 6);
  end.EntriesOnDisk = GetLE16(r, 8);
  end.TotalEntries = GetLE16(r, 10);
  end.CentralSize = GetLE32(r, 12);
  end.CentralOffset = GetLE32(r, 16);
  end.CommentLength = GetLE16(r, 20);
  return end;
}

void TZipEndRecord::ApplyZip64(std::string_view r) {
  EntriesOnDisk = GetLE64(r, 24);
  TotalEntries = GetLE64(r, 32);
  CentralSize = GetLE64(r, 40);
  CentralOffset = GetLE64(r, 48);
}

std::optional<size_t> FindEndRecord(std::string_view tail) {
  if (tail.size() < kEndRecordSize) return std::nullopt;
  auto fits = [&](size_t at) {
    return GetLE32(tail, at) == kEndRecordSignature && at + kEndRecordSize + GetLE16(tail, at + 20) <= tail.size();
  };
  size_t last = tail.size() - kEndRecordSize;
  if (fits(last)) return last;
  // Scanning backwards finds the record that lies last; a signature that happens to stand in
  // its comment (or anywhere else) does not count unless its own comment fits in the file.
  for (size_t at = last; at-- > 0;)
    if (fits(at)) return at;
  return std::nullopt;
}

std::optional<uint64_t> Zip64EndRecordOffset(std::string_view locator) {
  if (locator.size() < kZip64LocatorSize || GetLE32(locator, 0) != kZip64LocatorSignature) return std::nullopt;
  return GetLE64(locator, 8);
}

std::string EntryTextToAnsi(const std::string& raw, uint16_t version_made_by, uint16_t flag, CodePageOpts code_page) {
  const int host = version_made_by >> 8;
  const int version = version_made_by & 0xFF;
  if (code_page == cpOEM || (host == 0 && code_page == cpAuto) || host == 6 || (host == 11 && version == 50))
    return platform::OemToAnsi(raw);
  if ((flag & 0x0800) != 0) return platform::Utf8ToAnsi(raw);
  return raw;
}

}  // namespace tavrik
