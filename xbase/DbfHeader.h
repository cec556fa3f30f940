// The fixed header at the start of every DBF file, and what its version byte says about the
// table (its family and its memo file). Reading checks every length against the file.
//
//   OFFSET  SIZE  CONTENT
//   0       1     version: 0x03 dBASE III (and FoxPro) without memo file, 0x83 dBASE III with a
//                 .dbt memo file, 0xF5 FoxPro 2 with a .fpt memo file, 0x30 Visual FoxPro
//   1       3     date of the last update: year - 1900, month, day
//   4       4     number of records, little-endian
//   8       2     header length in bytes, little-endian: this header, the field descriptors, their
//                 terminator 0x0D and, in Visual FoxPro, a 263-byte database back-link
//   10      2     record length in bytes, little-endian: the deletion flag and every field
//   12      2     reserved
//   14      1     incomplete-transaction flag (dBASE IV)
//   15      1     encryption flag: non-zero when the records are encrypted
//   16      12    reserved for multi-user use
//   28      1     table flags (FoxPro: 0x01 structural index, 0x02 memo file, 0x04 database)
//   29      1     code page mark (0x01 OEM 437, 0x02 OEM 850, 0x03 Windows ANSI)
//   30      2     reserved
//
// Records follow the header back to back, numbered from 1; byte 0 of a record is "*" for a
// deleted record and a blank otherwise. The byte 0x1A may mark the end of the records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrik::xbase {

constexpr size_t kDbfHeaderSize = 32;
constexpr uint8_t kDbfEndOfFile = 0x1A;

enum class TDbfFamily { dbase3, foxpro, visual_foxpro };
enum class TMemoKind { none, dbt, fpt };

struct TDbfHeader {
  uint8_t version = 0x03;
  int update_year = 1900;  // full year
  int update_month = 1;
  int update_day = 1;
  uint32_t record_count = 0;
  uint16_t header_length = 0;
  uint16_t record_length = 0;
  uint8_t encrypted = 0;
  uint8_t table_flags = 0;
  uint8_t code_page = 0;

  // Reads the 32 bytes at the start of `file` (a file of `file_size` bytes). Raises ETableCorrupt
  // "Corrupt table <path>: <what is wrong>" for a short file, an unknown version, lengths that
  // cannot hold a record or a header, and a record count beyond the end of the file.
  static TDbfHeader Parse(std::string_view bytes, uint64_t file_size, const std::string& path);
  // The 32 bytes of this header.
  std::string Serialize() const;

  TDbfFamily Family() const;
  // The memo file the version byte announces (none for 0x03: such a table may still hold memo
  // fields written by other programs, see TTable).
  TMemoKind AnnouncedMemo() const;
  uint64_t RecordOffset(uint32_t recno) const { return header_length + uint64_t(recno - 1) * record_length; }
};

// Today's date into the update date of `header`.
void StampUpdateDate(TDbfHeader& header);

}  // namespace tavrik::xbase
