// The central directory of a ZIP archive as the component reads it: one ZipDirEntry per entry,
// the end records that say where the directory lies, and the code-page rule for entry names.
// Every number taken from the file is checked against the bytes that are really there before it
// is used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrik {

enum CodePageOpts { cpAuto, cpNone, cpOEM };

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kEndRecordSignature = 0x06054B50;
constexpr uint32_t kZip64EndRecordSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kSpanMarkerSignature = 0x08074B50;

// Central directory file header, 46 bytes:
//   OFFSET SIZE CONTENT
//    0     4    signature 0x02014B50
//    4     2    version made by (low byte: version, high byte: host system)
//    6     2    version needed to extract
//    8     2    general purpose flags (bit 0: encrypted, bit 11: name and comment in UTF-8)
//   10     2    compression method
//   12     2    modification time (DOS)
//   14     2    modification date (DOS)
//   16     4    CRC-32
//   20     4    compressed size (0xFFFFFFFF: in the Zip64 extra field)
//   24     4    uncompressed size (0xFFFFFFFF: in the Zip64 extra field)
//   28     2    name length n
//   30     2    extra field length e
//   32     2    comment length c
//   34     2    disk number start
//   36     2    internal attributes
//   38     4    external attributes
//   42     4    offset of the local header (0xFFFFFFFF: in the Zip64 extra field)
//   46     n    name, then e bytes of extra field, then c bytes of comment
constexpr size_t kCentralHeaderSize = 46;

// End of central directory record, 22 bytes and a comment:
//   OFFSET SIZE CONTENT
//    0     4    signature 0x06054B50
//    4     2    number of this disk
//    6     2    disk where the central directory starts
//    8     2    entries on this disk
//   10     2    entries in all
//   12     4    size of the central directory
//   16     4    offset of the central directory (from the start of its first disk)
//   20     2    comment length c
//   22     c    archive comment
constexpr size_t kEndRecordSize = 22;
// The largest comment and the record: where the record must be found when it is anywhere.
constexpr size_t kEndSearchWindow = 65557;

// Zip64 end of central directory locator, 20 bytes right before the end record:
//   OFFSET SIZE CONTENT
//    0     4    signature 0x07064B50
//    4     4    disk of the Zip64 end record
//    8     8    offset of the Zip64 end record
//   16     4    number of disks
// Zip64 end of central directory record, 56 bytes (and an extensible part):
//   OFFSET SIZE CONTENT
//    0     4    signature 0x06064B50
//    4     8    size of the rest of the record
//   12     2    version made by
//   14     2    version needed
//   16     4    number of this disk
//   20     4    disk where the central directory starts
//   24     8    entries on this disk
//   32     8    entries in all
//   40     8    size of the central directory
//   48     8    offset of the central directory
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndRecordSize = 56;

struct ZipDirEntry {
  // The 42 bytes after the signature, as read.
  uint16_t VersionMadeBy = 0;
  uint16_t VersionNeeded = 0;
  uint16_t Flags = 0;
  uint16_t Method = 0;
  uint16_t ModTime = 0;
  uint16_t ModDate = 0;
  uint32_t Crc32 = 0;
  uint32_t CompressedSize32 = 0;
  uint32_t UncompressedSize32 = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;
  uint16_t CommentLength = 0;
  uint16_t DiskNumberStart = 0;
  uint16_t InternalAttributes = 0;
  uint32_t ExternalAttributes = 0;
  uint32_t LocalHeaderOffset32 = 0;

  std::string FileName;     // code-page converted; folders separated by "/", as on this system
  std::string FileComment;  // code-page converted
  uint8_t Encrypted = 0;    // bit 0 of Flags
  std::string ExtraField;   // a copy of the extra field; empty when there is none

  // The sizes and the local header offset, from the Zip64 extra field where the 32-bit fields
  // say so.
  uint64_t UncompressedSize() const;
  uint64_t CompressedSize() const;
  uint64_t LocalHeaderOffset() const;

  // Decodes the header at the start of `header` (at least kCentralHeaderSize bytes, signature
  // already checked); the name, comment and extra field are not filled.
  static ZipDirEntry FromHeader(std::string_view header);
};

// The end record's fields, and what the Zip64 end record says where it is present.
struct TZipEndRecord {
  uint16_t DiskNumber = 0;
  uint16_t CentralDisk = 0;
  uint64_t EntriesOnDisk = 0;
  uint64_t TotalEntries = 0;
  uint64_t CentralSize = 0;
  uint64_t CentralOffset = 0;
  uint16_t CommentLength = 0;

  static TZipEndRecord FromBytes(std::string_view record);  // at least kEndRecordSize bytes
  // Takes the counts, size and offset of a Zip64 end record (at least kZip64EndRecordSize bytes).
  void ApplyZip64(std::string_view record);
};

// Where in `tail` (the last bytes of a file) an end record starts whose comment ends within
// `tail`: first at its last 22 bytes, then scanning backwards. Nothing when there is none.
std::optional<size_t> FindEndRecord(std::string_view tail);

// The offset of the Zip64 end record from the locator in `locator` (kZip64LocatorSize bytes),
// or nothing when those bytes are not a locator.
std::optional<uint64_t> Zip64EndRecordOffset(std::string_view locator);

// A name or comment of the archive in the system's single-byte code page. Bytes from 0x80 up
// are taken as OEM text when `code_page` is cpOEM, or the made-by host is 0 (MS-DOS) and
// `code_page` is cpAuto, or the host is 6 (HPFS), or the host is 11 (NTFS) with made-by version
// 50; a text flagged as UTF-8 (general purpose bit 11) is converted from UTF-8 (a character
// the code page lacks becomes "?"); anything else is copied unchanged.
std::string EntryTextToAnsi(const std::string& raw, uint16_t version_made_by, uint16_t flag, CodePageOpts code_page);

uint16_t GetLE16(std::string_view bytes, size_t at);
uint32_t GetLE32(std::string_view bytes, size_t at);
uint64_t GetLE64(std::string_view bytes, size_t at);

}  // namespace tavrik
