// Opening tables into server work areas (Use, UseEx), naming and choosing work areas (Alias,
// WorkArea, Select) and closing them.
//
// Use request ("0469"), in this order:
//   #  SIZE    CONTENT
//   1  255     database alias, blank-padded
//   2  255     table file name without directory, padded
//   3  dec     open mode: 2 exclusive, 1 read-only, 0 shared
//   4  dec     table driver code
//   5  255     table password, padded
//   6  1       turbo read Y/N
//   7  255     index name, padded
//   8  4       epoch year, hexadecimal
//   9  4       date format code, hexadecimal
//   10 4       memo block size, hexadecimal
//   11 1       deleted records hidden Y/N
//   12 1       century Y/N
//   13 1       soft seek Y/N
//   14 1       exact match Y/N
//   15 1       OEM translation Y/N
//   16 1       apply fields 8 to 14 Y/N
//   17 dec     commit level
//
// Use reply (numbers hexadecimal):
//   OFFSET  SIZE    CONTENT
//   0       4       work area number (0 = not opened); becomes the current work area
//   4       8       record count
//   12      8       field count
//   20      8       record size in bytes
//   28      1       "Y" when the table is encrypted
//   29      255     index condition of the active order, blank-padded
//   284     4       active order number
//   288     4       number of index entries N
//   292     8       length L of the index block; must be N * 1026
//   300     L       N index entries (below)
//   300+L   8       error code: 0 success, above 0 failure
//   308+L   rest    error message
//
// Index entry:
//   OFFSET  SIZE    CONTENT
//   0       255     name          (each text blank-padded, read trimmed)
//   255     255     fields
//   510     255     source
//   765     255     expression
//   1020    6       flags, "1" = set: primary, unique, descending, case-insensitive,
//                   expression (the expression field counts only then), non-maintained
#include "net/MvConn.h"
#include "net/MvConnCodec.h"

namespace tavrik {

namespace {
constexpr size_t kIndexEntrySize = 1026;
constexpr size_t kUseFixedPart = 300;

std::string_view Field(std::string_view s, size_t offset, size_t size) { return s.substr(offset, size); }
}  // namespace

TMvTableInfo DecodeUseReply(std::string_view reply) {
  using mvcodec::HexReply;
  if (reply.size() < kUseFixedPart + 8) throw EMvReplyError("Invalid Use reply");
  TMvTableInfo info;
  const int32_t work_area = HexReply(Field(reply, 0, 4));
  info.RecCount = HexReply(Field(reply, 4, 8));
  info.FieldCount = HexReply(Field(reply, 12, 8));
  info.RecordSize = HexReply(Field(reply, 20, 8));
  info.Encrypted = reply[28] == 'Y';
  info.IndexCondition = Trim(Field(reply, 29, 255));
  info.IndexOrder = HexReply(Field(reply, 284, 4));
  const int32_t count = HexReply(Field(reply, 288, 4));
  const int64_t block = static_cast<uint32_t>(HexReply(Field(reply, 292, 8)));
  if (work_area < 0 || work_area > 0xFFFF || info.RecordSize < 0 || info.FieldCount < 0 || count < 0 ||
      block != static_cast<int64_t>(count) * static_cast<int64_t>(kIndexEntrySize) ||
      reply.size() < kUseFixedPart + static_cast<size_t>(block) + 8)
    throw EMvReplyError("Invalid Use reply");
  info.WorkArea = static_cast<uint16_t>(work_area);
  for (int32_t i = 0; i < count; ++i) {
    std::string_view e = Field(reply, kUseFixedPart + static_cast<size_t>(i) * kIndexEntrySize, kIndexEntrySize);
    TMvIndexEntry entry;
    entry.Name = Trim(Field(e, 0, 255));
    entry.Fields = Trim(Field(e, 255, 255));
    entry.Source = Trim(Field(e, 510, 255));
    entry.Expression = Trim(Field(e, 765, 255));
    entry.Primary = e[1020] == '1';
    entry.Unique = e[1021] == '1';
    entry.Descending = e[1022] == '1';
    entry.CaseInsensitive = e[1023] == '1';
    entry.IsExpression = e[1024] == '1';
    entry.NonMaintained = e[1025] == '1';
    info.Indexes.push_back(std::move(entry));
  }
  const size_t tail = kUseFixedPart + static_cast<size_t>(block);
  info.ErrorCode = HexReply(Field(reply, tail, 8));
  info.ErrorMessage = std::string(reply.substr(tail + 8));
  return info;
}

int TMarvekConnection::Use(const TMvUseParams& p, TMvTableInfo& info) {
  using namespace mvcodec;
  info = TMvTableInfo();
  return Trap("Use", 0, [&] {
    const std::string payload = Pad(p.DatabaseName, 255) + Pad(p.TableName, 255) + Dec(p.OpenMode) +
                                Dec(p.TableType) + Pad(p.Password, 255) + YN(p.TurboRead) + Pad(p.IndexName, 255) +
                                Hex(p.Epoch, 4) + Hex(p.DateFormat, 4) + Hex(p.MemoBlockSize, 4) + YN(p.Deleted) +
                                YN(p.Century) + YN(p.SoftSeek) + YN(p.Exact) + YN(p.OEMTranslate) +
                                YN(p.ApplyEnvironment) + Dec(p.CommitLevel);
    info = DecodeUseReply(ClientXmit("0469", payload, true));
    work_area_ = info.WorkArea;
    return static_cast<int>(info.WorkArea);
  });
}

int TMarvekConnection::UseEx(const std::string& file, const std::string& alias, int open_mode, int table_type,
                             int commit_level) {
  using namespace mvcodec;
  std::string reply;
  try {
    reply = ClientXmit("0467", Pad(file, 255) + Pad(alias, 255) + Dec(open_mode) + Dec(table_type) + Dec(commit_level),
                       true);
  } catch (const std::exception&) {
    ReportError("MarvekConnection.Use", "Use");
    return 0;
  }
  return Trap("UseEx", 0, [&] { return static_cast<int>(TrimmedHexReply(reply)); });
}

std::string TMarvekConnection::Alias(uint16_t work_area) {
  return Trap("Alias", std::string(), [&] { return ClientXmit("0530", mvcodec::Dec(work_area), true); });
}

int TMarvekConnection::WorkArea(const std::string& alias) {
  return Trap("WorkArea", 0, [&] { return static_cast<int>(mvcodec::TrimmedDecReply(ClientXmit("0571", alias, true))); });
}

int TMarvekConnection::Select(uint16_t work_area) {
  if (work_area == work_area_) return work_area;
  return Trap("Select", 0, [&] {
    ClientXmit("0504", mvcodec::Hex(work_area, 4), true);
    // A request that lost the connection (reported by the routine itself when OnError is set)
    // switched nothing on the server, so the cached work area must not move either.
    if (!Active()) throw EMvReplyError("Not connected");
    const int previous = work_area_;
    work_area_ = work_area;
    return previous;
  });
}

void TMarvekConnection::Close() {
  TrapVoid("Close", [&] { ClientXmit("0523", "", true); });
}

}  // namespace tavrik
