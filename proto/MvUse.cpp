#include "proto/MvUse.h"

#include "core/StrUtils.h"
#include "proto/MvFields.h"

namespace tavrik {

using namespace mvproto;

namespace {

constexpr size_t kText = 255;
constexpr size_t kUseFixedPart = 300;

// A reply text in its field: cut at the width, so that a long one cannot move what follows.
std::string Cut(std::string_view text) { return Pad(text.substr(0, kText), kText); }

int32_t HexAt(std::string_view reply, size_t offset, size_t size) {
  return static_cast<int32_t>(ParseHex(reply.substr(offset, size), "Use reply"));
}

}  // namespace

std::string BuildUseRequest(const TMvUseParams& p) {
  return Pad(p.DatabaseName, kText) + Pad(p.TableName, kText) + Digit(p.OpenMode, "Use open mode") +
         Digit(p.TableType, "Use table type") + Pad(p.Password, kText) + YN(p.TurboRead) + Pad(p.IndexName, kText) +
         Hex(p.Epoch, 4) + Hex(p.DateFormat, 4) + Hex(p.MemoBlockSize, 4) + YN(p.Deleted) + YN(p.Century) +
         YN(p.SoftSeek) + YN(p.Exact) + YN(p.OEMTranslate) + YN(p.ApplyEnvironment) + Dec(p.CommitLevel);
}

TMvUseParams ParseUseRequest(std::string_view payload) {
  TFieldReader r(payload);
  TMvUseParams p;
  p.DatabaseName = r.Padded(kText, "Use database alias");
  p.TableName = r.Padded(kText, "Use table name");
  p.OpenMode = r.Digit("Use open mode");
  p.TableType = r.Digit("Use table type");
  p.Password = r.Padded(kText, "Use password");
  p.TurboRead = r.YN("Use turbo read");
  p.IndexName = r.Padded(kText, "Use index name");
  p.Epoch = static_cast<uint16_t>(r.Hex(4, "Use epoch"));
  p.DateFormat = static_cast<uint16_t>(r.Hex(4, "Use date format"));
  p.MemoBlockSize = static_cast<uint16_t>(r.Hex(4, "Use memo block size"));
  p.Deleted = r.YN("Use deleted setting");
  p.Century = r.YN("Use century setting");
  p.SoftSeek = r.YN("Use soft seek setting");
  p.Exact = r.YN("Use exact setting");
  p.OEMTranslate = r.YN("Use OEM translation");
  p.ApplyEnvironment = r.YN("Use environment flag");
  p.CommitLevel = ParseDec(r.Rest(), "Use commit level");
  return p;
}

std::string BuildUseReply(const TMvTableInfo& info) {
  std::string entries;
  for (const TMvIndexEntry& e : info.Indexes) {
    entries += Cut(e.Name) + Cut(e.Fields) + Cut(e.Source) + Cut(e.Expression);
    for (bool flag : {e.Primary, e.Unique, e.Descending, e.CaseInsensitive, e.IsExpression, e.NonMaintained})
      entries += flag ? '1' : '0';
  }
  return Hex(info.WorkArea, 4) + Hex(static_cast<uint32_t>(info.RecCount), 8) +
         Hex(static_cast<uint32_t>(info.FieldCount), 8) + Hex(static_cast<uint32_t>(info.RecordSize), 8) +
         YN(info.Encrypted) + Cut(Trim(info.IndexCondition)) + Hex(static_cast<uint32_t>(info.IndexOrder), 4) +
         Hex(static_cast<int64_t>(info.Indexes.size()), 4) + Hex(static_cast<int64_t>(entries.size()), 8) + entries +
         Hex(static_cast<uint32_t>(info.ErrorCode), 8) + info.ErrorMessage;
}

TMvTableInfo DecodeUseReply(std::string_view reply) {
  if (reply.size() < kUseFixedPart + 8) throw EMvField("Invalid Use reply");
  TMvTableInfo info;
  const int32_t work_area = HexAt(reply, 0, 4);
  info.RecCount = HexAt(reply, 4, 8);
  info.FieldCount = HexAt(reply, 12, 8);
  info.RecordSize = HexAt(reply, 20, 8);
  info.Encrypted = reply[28] == 'Y';
  info.IndexCondition = Trim(reply.substr(29, kText));
  info.IndexOrder = HexAt(reply, 284, 4);
  const int32_t count = HexAt(reply, 288, 4);
  const int64_t block = static_cast<uint32_t>(HexAt(reply, 292, 8));
  if (info.RecordSize < 0 || info.FieldCount < 0 || count < 0 ||
      block != static_cast<int64_t>(count) * static_cast<int64_t>(kMvIndexEntrySize) ||
      reply.size() < kUseFixedPart + static_cast<size_t>(block) + 8)
    throw EMvField("Invalid Use reply");
  info.WorkArea = static_cast<uint16_t>(work_area);
  for (int32_t i = 0; i < count; ++i) {
    std::string_view e = reply.substr(kUseFixedPart + static_cast<size_t>(i) * kMvIndexEntrySize, kMvIndexEntrySize);
    TMvIndexEntry entry;
    entry.Name = Trim(e.substr(0, kText));
    entry.Fields = Trim(e.substr(255, kText));
    entry.Source = Trim(e.substr(510, kText));
    entry.Expression = Trim(e.substr(765, kText));
    entry.Primary = e[1020] == '1';
    entry.Unique = e[1021] == '1';
    entry.Descending = e[1022] == '1';
    entry.CaseInsensitive = e[1023] == '1';
    entry.IsExpression = e[1024] == '1';
    entry.NonMaintained = e[1025] == '1';
    info.Indexes.push_back(std::move(entry));
  }
  const size_t tail = kUseFixedPart + static_cast<size_t>(block);
  info.ErrorCode = HexAt(reply, tail, 8);
  info.ErrorMessage = std::string(reply.substr(tail + 8));
  return info;
}

std::string BuildUseExRequest(const TMvUseExParams& p) {
  return Pad(p.FileName, kText) + Pad(p.Alias, kText) + Digit(p.OpenMode, "UseEx open mode") +
         Digit(p.TableType, "UseEx table type") + Digit(p.CommitLevel, "UseEx commit level");
}

TMvUseExParams ParseUseExRequest(std::string_view payload) {
  TFieldReader r(payload);
  TMvUseExParams p;
  p.FileName = r.Padded(kText, "UseEx file name");
  p.Alias = r.Padded(kText, "UseEx alias");
  p.OpenMode = r.Digit("UseEx open mode");
  p.TableType = r.Digit("UseEx table type");
  p.CommitLevel = r.Digit("UseEx commit level");
  r.End("UseEx");
  return p;
}

}  // namespace tavrik
