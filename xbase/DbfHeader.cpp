#include "xbase/DbfHeader.h"

#include <ctime>

#include "core/ByteOrder.h"
#include "xbase/TableError.h"

namespace tavrik::xbase {

namespace {

bool KnownVersion(uint8_t v) { return v == 0x03 || v == 0x83 || v == 0xF5 || v == 0x30; }

std::string Hex2(uint8_t v) {
  const char* digits = "0123456789ABCDEF";
  return std::string("0x") + digits[v >> 4] + digits[v & 15];
}

}  // namespace

TDbfHeader TDbfHeader::Parse(std::string_view b, uint64_t file_size, const std::string& path) {
  auto corrupt = [&](const std::string& what) { return ETableCorrupt("Corrupt table " + path + ": " + what); };
  if (b.size() < kDbfHeaderSize || file_size < kDbfHeaderSize) throw corrupt("the file is shorter than a table header");
  TDbfHeader h;
  h.version = uint8_t(b[0]);
  if (!KnownVersion(h.version))
    throw ETableError("Table " + path + " has version " + Hex2(h.version) + ", which this engine does not read");
  h.update_year = 1900 + uint8_t(b[1]);
  h.update_month = uint8_t(b[2]);
  h.update_day = uint8_t(b[3]);
  h.record_count = GetLe32(b, 4);
  h.header_length = GetLe16(b, 8);
  h.record_length = GetLe16(b, 10);
  h.encrypted = uint8_t(b[15]);
  h.table_flags = uint8_t(b[28]);
  h.code_page = uint8_t(b[29]);
  // The smallest header holds one field descriptor and the terminator.
  if (h.header_length < kDbfHeaderSize + 32 + 1)
    throw corrupt("header length " + std::to_string(h.header_length) + " cannot hold a field");
  if (h.header_length > file_size)
    throw corrupt("header length " + std::to_string(h.header_length) + " exceeds the file size " + std::to_string(file_size));
  if (h.record_length < 2) throw corrupt("record length " + std::to_string(h.record_length) + " cannot hold a field");
  const uint64_t room = (file_size - h.header_length) / h.record_length;
  if (h.record_count > room)
    throw corrupt("the header counts " + std::to_string(h.record_count) + " records but the file holds " + std::to_string(room));
  return h;
}

std::string TDbfHeader::Serialize() const {
  std::string b(kDbfHeaderSize, '\0');
  b[0] = char(version);
  b[1] = char(uint8_t(update_year - 1900));
  b[2] = char(update_month);
  b[3] = char(update_day);
  PutLe32(b, 4, record_count);
  PutLe16(b, 8, header_length);
  PutLe16(b, 10, record_length);
  b[15] = char(encrypted);
  b[28] = char(table_flags);
  b[29] = char(code_page);
  return b;
}

TDbfFamily TDbfHeader::Family() const {
  if (version == 0x30) return TDbfFamily::visual_foxpro;
  if (version == 0xF5) return TDbfFamily::foxpro;
  return TDbfFamily::dbase3;
}

TMemoKind TDbfHeader::AnnouncedMemo() const {
  switch (version) {
    case 0x83: return TMemoKind::dbt;
    case 0xF5: return TMemoKind::fpt;
    case 0x30: return (table_flags & 0x02) ? TMemoKind::fpt : TMemoKind::none;
    default: return TMemoKind::none;
  }
}

void StampUpdateDate(TDbfHeader& header) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  // One byte holds the years since 1900: 2156 and later wrap, as every other writer does.
  header.update_year = 1900 + (local.tm_year & 0xFF);
  header.update_month = local.tm_mon + 1;
  header.update_day = local.tm_mday;
}

}  // namespace tavrik::xbase
