#include "xbase/TableCreate.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>

#include "core/StrUtils.h"
#include "xbase/DbfFields.h"
#include "xbase/LockRegion.h"
#include "xbase/MemoFile.h"
#include "xbase/Table.h"
#include "xbase/TableError.h"
#include "xbase/TableRegistry.h"

namespace tavrik::xbase {

namespace {

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = s.find(sep, start);
    parts.emplace_back(s.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) return parts;
    start = at + 1;
  }
}

// Plain decimal digits (no sign, no hexadecimal), at most five of them.
std::optional<int> DecimalOf(std::string_view text) {
  const std::string t = Trim(text);
  if (t.empty() || t.size() > 5) return std::nullopt;
  int v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

TFieldInfo CheckedField(const TFieldSpec& spec) {
  TFieldInfo f;
  f.name = UpperCase(spec.name);
  f.type = UpperCase(std::string(1, spec.type))[0];
  f.width = spec.width;
  f.decimals = spec.decimals;
  auto bad = [&](const std::string& what) { return ETableError("Field " + f.name + ": " + what); };
  if (f.name.empty() || f.name.size() > 10) throw ETableError("Field name '" + spec.name + "' must have 1 to 10 characters");
  if (!(f.name[0] >= 'A' && f.name[0] <= 'Z')) throw ETableError("Field name '" + spec.name + "' must start with a letter");
  for (char c : f.name)
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
      throw ETableError("Field name '" + spec.name + "' may hold only letters, digits and underscores");
  if (f.decimals < 0) throw bad("decimals cannot be negative");
  auto fixed = [&](int width) {
    if (f.width != 0 && f.width != width) throw bad("type " + std::string(1, f.type) + " has width " + std::to_string(width));
    if (f.decimals != 0) throw bad("type " + std::string(1, f.type) + " has no decimals");
    f.width = width;
  };
  switch (f.type) {
    case 'C':
      if (f.width < 1 || f.width > 254) throw bad("character width must be 1 to 254");
      if (f.decimals != 0) throw bad("type C has no decimals");
      break;
    case 'N':
    case 'F':
      if (f.width < 1 || f.width > 20) throw bad("numeric width must be 1 to 20");
      if (f.decimals > 15 || (f.decimals > 0 && f.decimals > f.width - 2))
        throw bad(std::to_string(f.decimals) + " decimals do not fit width " + std::to_string(f.width));
      break;
    case 'D': fixed(8); break;
    case 'L': fixed(1); break;
    case 'M': case 'B': case 'G': case 'P': fixed(int(kMemoReferenceWidth)); break;
    default: throw bad("unknown field type '" + std::string(1, spec.type) + "'");
  }
  return f;
}

}  // namespace

TMemoKind MemoKindOfTableType(int table_type) {
  switch (table_type) {
    case 1: case 4: return TMemoKind::dbt;
    case 2: case 3: return TMemoKind::fpt;
    default: throw ETableError("Unknown table type " + std::to_string(table_type));
  }
}

std::vector<TFieldSpec> ParseFieldList(std::string_view list) {
  std::vector<TFieldSpec> specs;
  if (Trim(list).empty()) throw ETableError("A table needs at least one field");
  for (const std::string& item : Split(list, ';')) {
    if (Trim(item).empty()) continue;  // a trailing ";" is harmless
    std::vector<std::string> parts = Split(item, ',');
    auto bad = [&] { return ETableError("Invalid field description '" + item + "'"); };
    if (parts.size() < 3 || parts.size() > 4) throw bad();
    TFieldSpec spec;
    spec.name = Trim(parts[0]);
    const std::string type = Trim(parts[1]);
    if (type.size() != 1) throw bad();
    spec.type = type[0];
    auto width = DecimalOf(parts[2]);
    auto decimals = parts.size() == 4 ? DecimalOf(parts[3]) : std::optional<int>(0);
    if (!width || !decimals) throw bad();
    spec.width = *width;
    spec.decimals = *decimals;
    specs.push_back(spec);
  }
  return specs;
}

void CreateTable(const std::string& path, const std::vector<TFieldSpec>& specs, int table_type, int memo_block_size) {
  const TMemoKind kind = MemoKindOfTableType(table_type);
  if (specs.empty()) throw ETableError("A table needs at least one field");
  std::vector<TFieldInfo> fields;
  std::set<std::string> names;
  int offset = 1;
  bool has_memo = false;
  for (const TFieldSpec& spec : specs) {
    TFieldInfo f = CheckedField(spec);
    if (!names.insert(f.name).second) throw ETableError("Field " + f.name + " appears twice");
    f.offset = offset;
    offset += f.width;
    has_memo = has_memo || IsMemoType(f.type);
    fields.push_back(std::move(f));
  }
  const size_t header_length = kDbfHeaderSize + kFieldDescriptorSize * fields.size() + 1;
  if (offset > 0xFFFF || header_length > 0xFFFF) throw ETableError("The fields of " + path + " do not fit one record");
  if (has_memo && kind == TMemoKind::fpt && FptBlockSizeOf(memo_block_size) == 0)
    throw ETableError("Invalid memo block size " + std::to_string(memo_block_size));

  if (TTableRegistry::Instance().IsOpen(path)) throw ETableError("Table " + path + " is in use");
  // Another process may have it open: then its presence lock keeps us from replacing it.
  TTableFile existing;  // holds the presence lock until the new table is written
  if (::access(path.c_str(), F_OK) == 0) {
    existing = TTableFile::Open(path, true);
    if (!TryLockByte(existing.Fd(), kPresenceLockOffset, TLockKind::exclusive))
      throw ETableError("Table " + path + " is in use by another process");
  }

  TDbfHeader header;
  header.version = !has_memo ? 0x03 : kind == TMemoKind::dbt ? 0x83 : 0xF5;
  StampUpdateDate(header);
  header.header_length = uint16_t(header_length);
  header.record_length = uint16_t(offset);
  header.code_page = 0x03;  // Windows ANSI, the text of this system
  const TDbfFamily family = kind == TMemoKind::fpt ? TDbfFamily::foxpro : TDbfFamily::dbase3;
  std::string bytes = header.Serialize() + SerializeFieldDescriptors(fields, family);
  bytes += char(kDbfEndOfFile);

  const std::string memo_path = has_memo ? MemoPathFor(path, kind) : std::string();
  try {
    TTableFile file = TTableFile::Create(path);
    file.Write(0, bytes);
    if (has_memo) CreateMemoFile(memo_path, kind, memo_block_size);
  } catch (...) {
    // Half a table is worse than none.
    std::remove(path.c_str());
    if (has_memo) std::remove(memo_path.c_str());
    throw;
  }
}

}  // namespace tavrik::xbase
