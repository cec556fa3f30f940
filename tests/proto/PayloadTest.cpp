// The protocol's layouts read back what they write, on both ends, and refuse what does not fit.
#include <gtest/gtest.h>

#include <set>

#include "core/StrUtils.h"
#include "proto/MvCommands.h"
#include "proto/MvFields.h"
#include "proto/MvPayloads.h"
#include "proto/MvTraverse.h"
#include "proto/MvUse.h"

namespace tavrik {
namespace {

TEST(Catalogue, EveryCodeIsFourDigitsAndNamedOnce) {
  std::set<std::string> codes, names;
  int unanswered = 0;
  for (const char* code : {"0464", "0037", "0469", "0626", "0577", "0566", "0587"}) {
    const TMvCommand* c = FindMvCommand(code);
    ASSERT_NE(c, nullptr) << code;
    EXPECT_EQ(std::string(c->code), code);
  }
#define TAVRIK_CHECK(name, code, answered)                                            \
  EXPECT_EQ(std::string(code).find_first_not_of("0123456789"), std::string::npos); \
  EXPECT_EQ(std::string(code).size(), 4u);                                          \
  EXPECT_TRUE(codes.insert(code).second) << code;                                   \
  EXPECT_TRUE(names.insert(#name).second) << #name;                                 \
  unanswered += answered ? 0 : 1;
  TAVRIK_MV_COMMANDS(TAVRIK_CHECK)
#undef TAVRIK_CHECK
  EXPECT_EQ(unanswered, 3);
  EXPECT_EQ(std::string(mvcmd::Go.name), "Go");
  EXPECT_FALSE(IsAnswered(mvcmd::SetLockTimeOut.code));
  EXPECT_TRUE(IsAnswered("9999"));  // an unknown code gets the failure reply
  EXPECT_EQ(FindMvCommand("9999"), nullptr);
}

TEST(Use, TheRequestReadsBackAndItsOneDigitFieldsRefuseMore) {
  TMvUseParams p;
  p.DatabaseName = "FILES";
  p.TableName = "USERS.DBF";
  p.OpenMode = 2;
  p.TableType = 4;
  p.Password = "pw";
  p.IndexName = "USER_ID";
  p.Epoch = 1950;
  p.DateFormat = 3;
  p.MemoBlockSize = 512;
  p.SoftSeek = true;
  p.ApplyEnvironment = true;
  p.CommitLevel = 12;
  const std::string request = BuildUseRequest(p);
  EXPECT_EQ(request.substr(510, 2), "24");
  TMvUseParams back = ParseUseRequest(request);
  EXPECT_EQ(BuildUseRequest(back), request);
  EXPECT_EQ(back.IndexName, "USER_ID");
  EXPECT_EQ(back.Epoch, 1950);
  EXPECT_EQ(back.CommitLevel, 12);
  p.OpenMode = 10;  // would shift every field after it
  EXPECT_THROW(BuildUseRequest(p), EMvField);
  EXPECT_THROW(ParseUseRequest(request.substr(0, 600)), EMvField);
}

TEST(Use, TheReplyReadsBackWithItsIndexEntries) {
  TMvTableInfo info;
  info.WorkArea = 3;
  info.RecCount = 70000;
  info.FieldCount = 4;
  info.RecordSize = 201;
  info.IndexCondition = "AGE > 17";
  info.IndexOrder = 1;
  TMvIndexEntry e;
  e.Name = "CITY";
  e.Expression = "UPPER(CITY)";
  e.Unique = e.CaseInsensitive = e.IsExpression = true;
  info.Indexes = {e, e};
  info.Indexes[1].Name = std::string(300, 'N');  // cut at its field, never moving what follows
  const std::string reply = BuildUseReply(info);
  EXPECT_EQ(reply.size(), 300 + 2 * kMvIndexEntrySize + 8);
  TMvTableInfo back = DecodeUseReply(reply);
  EXPECT_EQ(back.WorkArea, 3);
  EXPECT_EQ(back.RecCount, 70000);
  EXPECT_EQ(back.IndexCondition, "AGE > 17");
  ASSERT_EQ(back.Indexes.size(), 2u);
  EXPECT_EQ(back.Indexes[0].Expression, "UPPER(CITY)");
  EXPECT_TRUE(back.Indexes[0].Unique && back.Indexes[0].IsExpression && !back.Indexes[0].Descending);
  EXPECT_EQ(back.Indexes[1].Name, std::string(255, 'N'));
  info.Indexes.clear();
  info.ErrorCode = 4;
  info.ErrorMessage = "Table USERS.DBF is locked";
  back = DecodeUseReply(BuildUseReply(info));
  EXPECT_EQ(back.ErrorCode, 4);
  EXPECT_EQ(back.ErrorMessage, "Table USERS.DBF is locked");
  EXPECT_THROW(DecodeUseReply(BuildUseReply(info).substr(0, 307)), EMvField);
  TMvUseExParams x{"A.DBF", "AREA", 0, 3, 1};
  EXPECT_EQ(ParseUseExRequest(BuildUseExRequest(x)).Alias, "AREA");
}

TEST(Traverse, RequestAndEntriesReadBack) {
  TMvTraverseRequest q;
  q.GoBottom = true;
  q.Direction = 2;
  q.FetchCount = 50;
  q.RecNo = 26;
  const std::string request = BuildTraverseRequest(q);
  EXPECT_EQ(request, "NY120" "00000032" "0000001A");
  EXPECT_EQ(BuildTraverseRequest(ParseTraverseRequest(request)), request);
  std::string entries;
  AppendFetchEntry(entries, kFetchRecord, 7, 1, "*ROW");
  AppendFetchEntry(entries, kFetchEnd, 8, 0, "    ");
  std::vector<TMvFetchSlot> slots = DecodeTraverseReply(BuildTraverseReply(2, entries), 4, 50);
  ASSERT_EQ(slots.size(), 2u);
  EXPECT_EQ(slots[0].RecNo, 7);
  EXPECT_EQ(slots[0].Record, "*ROW");
  EXPECT_EQ(slots[1].Result, kFetchEnd);
  EXPECT_THROW(DecodeTraverseReply(BuildTraverseReply(2, entries), 4, 1), EMvField);  // more than asked
  EXPECT_THROW(DecodeTraverseReply(BuildTraverseReply(3, entries), 4, 50), EMvField);
  q.Direction = 10;
  EXPECT_THROW(BuildTraverseRequest(q), EMvField);
}

TEST(Payloads, EachReadsBackWhatItsWriterWrote) {
  struct SysCase {
    uint16_t code;
    int32_t value;
    std::string payload;
    int32_t read_back;
  } sys[] = {
      {3000, 5, "00000BB8", 0},   {1001, 0x100, "000003E9N", 0}, {1003, 1, "000003EBY", 1},
      {1107, 2, "000004530", 0}, {1302, 7, "000005160", 0},    {2000, -1, "000007D0FFFFFFFF", -1},
  };
  for (const auto& c : sys) {
    EXPECT_EQ(BuildSysProp(c.code, c.value), c.payload) << c.code;
    TMvSysProp p = ParseSysProp(c.payload);
    EXPECT_EQ(p.code, c.code);
    EXPECT_EQ(p.value, c.read_back) << c.code;
  }
  EXPECT_THROW(ParseSysProp("00000BB8Y"), EMvField);  // 3000 takes no value

  TMvScope scope = ParseScope(BuildScope("AB ", ""));  // a key may end in a blank of its own
  EXPECT_EQ(scope.low, "AB ");
  EXPECT_EQ(scope.high, "");
  TMvReplaceHeader r = ParseReplaceHeader(BuildReplaceHeader("NAME", 1024));
  EXPECT_EQ(r.field, "NAME");
  EXPECT_EQ(r.type_code, 1024);
  EXPECT_EQ(ReplaceValueSize(1024), kMvValueText);
  EXPECT_EQ(ReplaceValueSize(8), 8);
  EXPECT_EQ(ReplaceValueSize(99), 0);
  EXPECT_EQ(ParseBlobHeader(BuildBlobHeader("PIC", 0)).length, 0u);
  EXPECT_EQ(ParseMemoRequest(BuildMemoRequest(72, "NOTE")).field, "NOTE");
  TMvRowCount count = DecodeRowCount("  " + BuildRowCount({3, 70000}) + " ");
  EXPECT_EQ(count.record_count, 70000);
  TMvProgress progress = DecodeProgress(BuildProgress({0, 1000, -1}));
  EXPECT_EQ(progress.position, -1);
  EXPECT_THROW(DecodeProgress("0000"), EMvField);
}

// Names longer than their field are cut, so the file's bytes stay where the server reads them.
TEST(Payloads, FileFieldsAreCutAndLengthsFitThirtyOneBits) {
  const std::string long_area(300, 'A'), long_name(256, 'n');
  const std::string fields = BuildFileFields(long_area, long_name);
  ASSERT_EQ(fields.size(), kMvFileFields);
  TMvFileFields read = ParseFileFields(fields);
  EXPECT_EQ(read.area, long_area.substr(0, 255));
  EXPECT_EQ(read.name, long_name.substr(0, 255));
  EXPECT_EQ(BuildFileFields("Files", "a b.zip"), PadRight("Files", 255) + PadRight("a b.zip", 255));
  EXPECT_EQ(ParseFileFields(BuildFileFields("Files", "a b.zip")).name, "a b.zip");

  EXPECT_EQ(BuildFileLength(0x4E20), "00004E20");
  EXPECT_EQ(BuildFileLength(0x7FFFFFFF), "7FFFFFFF");
  EXPECT_THROW(BuildFileLength(0x80000000ull), EMvField);
  const std::pair<const char*, int32_t> good[] = {{"00000400", 1024}, {"0", 0}, {"7fffffff", 0x7FFFFFFF}};
  for (auto [reply, length] : good) EXPECT_EQ(DecodeFileLength(reply), length) << reply;
  for (const char* bad : {"", "80000000", "FFFFFFFF", "100000000", " 400", "400 ", "12G", "-1"})
    EXPECT_THROW(DecodeFileLength(bad), EMvField) << bad;
}

TEST(Fields, ReadersCheckEveryField) {
  mvproto::TFieldReader f("Y0000001Azq");
  EXPECT_TRUE(f.YN("flag"));
  EXPECT_EQ(f.Hex(8, "number"), 26u);
  EXPECT_THROW(f.Hex(4, "more"), EMvField);
  EXPECT_EQ(mvproto::ParseHexField("FFFFFFFF", 8, "x"), 0xFFFFFFFFu);
  EXPECT_THROW(mvproto::ParseHexField("FFFF", 8, "x"), EMvField);
  EXPECT_EQ(mvproto::ParseDec("-12", "x"), -12);
  EXPECT_THROW(mvproto::ParseDec(" 12", "x"), EMvField);
  EXPECT_DOUBLE_EQ(mvproto::ParseFloat("1,5", "x"), 1.5);
  EXPECT_EQ(mvproto::Hex(-1, 4), "FFFFFFFF");  // a negative number in its 32-bit two's complement
}

}  // namespace
}  // namespace tavrik
