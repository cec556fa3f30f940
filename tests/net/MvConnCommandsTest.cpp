// The work-area commands on the wire: each request's code and payload, the decoding of its reply,
// and the error each reports when the reply does not read or the connection is gone.
#include <gtest/gtest.h>

#include <cstring>

#include "core/StrUtils.h"
#include "net/MvConn.h"
#include "platform/FormatSettings.h"
#include "tests/net/ScriptedServer.h"

namespace tavrik {
namespace {

using testing::ScriptedServer;

std::string Pad(const std::string& s, size_t n) { return PadRight(s, n); }

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(nothing raised)";
}

// One exchange: the request that must arrive, the reply the server gives, and the result the
// command must decode from it (printed as text).
struct WireCase {
  const char* name;
  std::function<std::string(TMarvekConnection&)> call;
  std::string code;
  std::string payload;
  std::string reply;
  std::string expected;
};

std::string B(bool b) { return b ? "true" : "false"; }
std::string N(int64_t n) { return std::to_string(n); }

class MvConnCommandsTest : public ::testing::Test {
 protected:
  void Open(ScriptedServer& server, TMarvekConnection& conn) {
    server.Start();
    conn.SetPort(server.Port());
    conn.SetTimeOut(5000);
    conn.SetActive(true);  // no user: connected without a login
    ASSERT_TRUE(conn.Active());
  }
  void RunCases(const std::vector<WireCase>& cases) {
    for (const WireCase& c : cases) {
      SCOPED_TRACE(c.name);
      ScriptedServer server;
      server.Expect(c.code, c.payload).Reply(c.code, c.reply);
      TMarvekConnection conn;
      Open(server, conn);
      EXPECT_EQ(MessageOf([&] { EXPECT_EQ(c.call(conn), c.expected); }), "(nothing raised)");
      EXPECT_EQ(server.Finish(), "");
    }
  }
};

TEST_F(MvConnCommandsTest, RequestsAndDecodedReplies) {
  RunCases({
      {"Go 26", [](auto& c) { return N(c.Go(26)); }, "0493", "0000001A", "0000001A", "26"},
      {"Go wraps hex", [](auto& c) { return N(c.Go(1)); }, "0493", "00000001", "FFFFFFFF", "-1"},
      {"AppendBlank", [](auto& c) { return N(c.AppendBlank()); }, "0473", "", "0000002B", "43"},
      {"Bof needs the whole Y", [](auto& c) { return B(c.Bof()); }, "0476", "", "Yes", "false"},
      {"Bof Y", [](auto& c) { return B(c.Bof()); }, "0476", "", "Y", "true"},
      {"Seek takes the first character", [](auto& c) { return B(c.Seek("SMITH ")); }, "0503", "SMITH ", "Yes",
       "true"},
      {"Seek empty reply", [](auto& c) { return B(c.Seek("X")); }, "0503", "X", "", "false"},
      {"Eof", [](auto& c) { return B(c.Eof()); }, "0479", "", "Y", "true"},
      {"Found", [](auto& c) { return B(c.Found()); }, "0548", "", "N", "false"},
      {"Deleted", [](auto& c) { return B(c.Deleted()); }, "0478", "", "Y", "true"},
      {"Skip -1", [](auto& c) { c.Skip(-1); return std::string("ok"); }, "0509", "FFFFFFFF", "", "ok"},
      {"Skip 10", [](auto& c) { c.Skip(10); return std::string("ok"); }, "0509", "0000000A", "", "ok"},
      {"RecNo", [](auto& c) { return N(c.RecNo()); }, "0500", "", "42", "42"},
      {"RecCount trimmed", [](auto& c) { return N(c.RecCount()); }, "0470", "", " 42 ", "42"},
      {"Count", [](auto& c) { return N(c.Count()); }, "0516", "", "7", "7"},
      {"Rlock", [](auto& c) { return B(c.Rlock(26)); }, "0502", "26", "Y", "true"},
      {"Unlock", [](auto& c) { c.Unlock(26); return std::string("ok"); }, "0510", "0000001A", "Y", "ok"},
      {"GoTop", [](auto& c) { c.GoTop(); return std::string("ok"); }, "0495", "", "", "ok"},
      {"GoBottom", [](auto& c) { c.GoBottom(); return std::string("ok"); }, "0494", "", "", "ok"},
      {"Delete", [](auto& c) { c.Delete(); return std::string("ok"); }, "0477", "", "", "ok"},
      {"Commit", [](auto& c) { c.Commit(); return std::string("ok"); }, "0511", "", "", "ok"},
      {"Close", [](auto& c) { c.Close(); return std::string("ok"); }, "0523", "", "", "ok"},
      {"OrderPosSet", [](auto& c) { c.OrderPosSet(0.25); return std::string("ok"); }, "0558", "0.25", "", "ok"},
      {"FieldName", [](auto& c) { return c.FieldName(3); }, "0612", "3", "NAME", "NAME"},
      {"FieldType", [](auto& c) { return c.FieldType("NAME"); }, "0615", "NAME", "C", "C"},
      {"FieldWidth", [](auto& c) { return N(c.FieldWidth("NAME")); }, "0616", "NAME", "10", "10"},
      {"FieldDecimals", [](auto& c) { return N(c.FieldDecimals("AMOUNT")); }, "0611", "AMOUNT", "2", "2"},
      {"FieldOffset", [](auto& c) { return N(c.FieldOffset("AMOUNT")); }, "0614", "AMOUNT", "12", "12"},
      {"GetMemo", [](auto& c) { return c.GetMemo("NOTE", 0); }, "0489", "00000000" "00000000" "NOTE", "a\r\nb",
       "a\r\nb"},
      {"GetMemo width", [](auto& c) { return c.GetMemo("NOTE", 72); }, "0489", "00000000" "00000048" "NOTE", "",
       ""},
      {"GetBlobLength", [](auto& c) { return N(c.GetBlobLength("PIC")); }, "0481", "PIC", "1024", "1024"},
      {"GetDateString", [](auto& c) { return c.GetDateString("BORN"); }, "0484", "BORN", "11/05/2003",
       "11/05/2003"},
      {"GetInteger", [](auto& c) { return N(c.GetInteger("AGE")); }, "0486", "AGE", "-3", "-3"},
      {"GetTrimString", [](auto& c) { return c.GetTrimString("NAME"); }, "0492", "NAME", "Ann", "Ann"},
      {"GetDouble", [](auto& c) { return N(static_cast<int64_t>(c.GetDouble("AMOUNT") * 100)); }, "0485", "AMOUNT",
       " 12.5 ", "1250"},
      {"EvalTest trims", [](auto& c) { return N(c.EvalTest("  NAME  ")); }, "0546", "NAME", "1", "1"},
      {"EvalLogical", [](auto& c) { return B(c.EvalLogical("AGE>3")); }, "0543", "AGE>3", "Y", "true"},
      {"EvalString", [](auto& c) { return c.EvalString("NAME"); }, "0545", "NAME", "Ann  ", "Ann  "},
      {"DBFilter", [](auto& c) { return c.DBFilter(); }, "0539", "", "AGE>3", "AGE>3"},
      {"QueryRowCount",
       [](auto& c) {
         int32_t count = 0;
         int r = c.QueryRowCount("AGE>3", count);
         return N(r) + "/" + N(count);
       },
       "0646", "AGE>3", " 0000000500000007 ", "5/7"},
      {"QueryRecCount", [](auto& c) { return N(c.QueryRecCount()); }, "0519", "", "9", "9"},
      {"QueryTest", [](auto& c) { return N(c.QueryTest("AGE>3")); }, "0570", "AGE>3", " 1 ", "1"},
      {"CloseIndexes", [](auto& c) { c.CloseIndexes(); return std::string("ok"); }, "0533", "", "", "ok"},
      {"IndexCondition", [](auto& c) { return c.IndexCondition(); }, "0552", "", "!DELETED()", "!DELETED()"},
      {"IndexKey", [](auto& c) { return c.IndexKey(); }, "0554", "", "UPPER(NAME)", "UPPER(NAME)"},
      {"IndexKeyField", [](auto& c) { return c.IndexKeyField(); }, "0555", "", "NAME", "NAME"},
      {"IndexName", [](auto& c) { return c.IndexName(-1); }, "0525", "-1", "USERS.CDX", "USERS.CDX"},
      {"IndexOrd", [](auto& c) { return N(c.IndexOrd()); }, "0526", "", " 2", "2"},
      {"IndexType", [](auto& c) { return N(c.IndexType()); }, "0553", "", " 4 ", "4"},
      {"IndexOpen",
       [](auto& c) {
         c.SetDatabaseAlias("FILES");
         return N(c.IndexOpen("USERS.CDX"));
       },
       "0620", Pad("FILES", 255) + Pad("USERS.CDX", 255), " 3 ", "3"},
      {"SetOrder", [](auto& c) { return N(c.SetOrder(2)); }, "0507", "0002", " 1 ", "1"},
      {"SetOrder -1", [](auto& c) { return N(c.SetOrder(-1)); }, "0507", "FFFFFFFF", "0", "0"},
      {"TagArea", [](auto& c) { return N(c.TagArea("BYNAME")); }, "0517", "BYNAME", " 1", "1"},
      {"TagName", [](auto& c) { return c.TagName(1); }, "0518", "0001", "BYNAME", "BYNAME"},
      {"GetScope", [](auto& c) { return c.GetScope(0); }, "0550", "0", "A", "A"},
      {"SetScope", [](auto& c) { return B(c.SetScope("A", "BC")); }, "0567",
       "0001" "0002" + Pad("A", 255) + Pad("BC", 255), "Y", "true"},
      {"IsEncrypted", [](auto& c) { return B(c.IsEncrypted(1)); }, "0578", "1", "N", "false"},
      {"Alias", [](auto& c) { return c.Alias(1); }, "0530", "1", "USERS", "USERS"},
      {"WorkArea", [](auto& c) { return N(c.WorkArea("USERS")); }, "0571", "USERS", " 2 ", "2"},
      {"UseEx", [](auto& c) { return N(c.UseEx("USERS.DBF", "U", 0, 3, 1)); }, "0467",
       Pad("USERS.DBF", 255) + Pad("U", 255) + "031", " 000A ", "10"},
      {"Version", [](auto& c) { return c.ServerVersion(); }, "0618", "", "MDE 6.1", "MDE 6.1"},
      {"SetCentury", [](auto& c) { c.SetCentury(true); return std::string("ok"); }, "0556", "Y", "", "ok"},
      {"SetDeleted", [](auto& c) { c.SetDeleted(false); return std::string("ok"); }, "0508", "N", "", "ok"},
      {"SetExact", [](auto& c) { c.SetExact(true); return std::string("ok"); }, "0506", "Y", "", "ok"},
      {"SetSoftSeek", [](auto& c) { c.SetSoftSeek(true); return std::string("ok"); }, "0505", "Y", "", "ok"},
      {"SetTurboRead", [](auto& c) { c.SetTurboRead(false); return std::string("ok"); }, "0576", "N", "", "ok"},
      {"SetDateFormat", [](auto& c) { c.SetDateFormat(3); return std::string("ok"); }, "0557", "00000003", "", "ok"},
      {"SetEpoch", [](auto& c) { return N(c.SetEpoch(1980)); }, "0593", "000007BC", " 1980 ", "1980"},
      {"SetMemoBlockSize", [](auto& c) { return N(c.SetMemoBlockSize(64)); }, "0594", Pad("64", 10), "00000040",
       "64"},
      {"SysProp empty value", [](auto& c) { return N(c.SysProp(3000, 99)); }, "0563", "00000BB8", " 0000000A ",
       "10"},
      {"SysProp low byte", [](auto& c) { return N(c.SysProp(1001, 0x100)); }, "0563", "000003E9N", "1", "1"},
      {"SysProp Y", [](auto& c) { return N(c.SysProp(1303, 1)); }, "0563", "00000517Y", "1", "1"},
      {"SysProp one or zero", [](auto& c) { return N(c.SysProp(1107, 2)); }, "0563", "00000453" "0", "0", "0"},
      {"SysProp 1302", [](auto& c) { return N(c.SysProp(1302, 5)); }, "0563", "00000516" "0", "0", "0"},
      {"SysProp hex value", [](auto& c) { return N(c.SysProp(2000, -1)); }, "0563", "000007D0" "FFFFFFFF", "1",
       "1"},
      {"SysProp unknown code", [](auto& c) { return N(c.SysProp(4242, 7)); }, "0563", "00001092", "0", "0"},
  });
}

TEST_F(MvConnCommandsTest, UndecodableRepliesReportTheCommand) {
  struct Case {
    const char* name;
    std::function<void(TMarvekConnection&)> call;
    std::string code;
    std::string reply;
    std::string expected;
  };
  const Case cases[] = {
      {"Go", [](auto& c) { c.Go(1); }, "0493", "1A ", "[MarvekConnection.Go]Go"},
      {"RecNo untrimmed", [](auto& c) { c.RecNo(); }, "0500", " 42 ", "[MarvekConnection.RecNo]RecNo"},
      {"RecCount", [](auto& c) { c.RecCount(); }, "0470", "many", "[MarvekConnection.RecCount]RecCount"},
      {"UseEx", [](auto& c) { c.UseEx("A", "B", 0, 3, 1); }, "0467", "zz", "[MarvekConnection.UseEx]UseEx"},
      {"SysProp", [](auto& c) { c.SysProp(3000, 0); }, "0563", "zz", "[MarvekConnection.SysProp]SysProp"},
      {"QueryRowCount short", [](auto& c) { int32_t n; c.QueryRowCount("X", n); }, "0646", "00000005",
       "[MarvekConnection.QueryRowCount]QueryRowCount"},
      {"GetDouble", [](auto& c) { c.GetDouble("A"); }, "0485", "1,5", "[MarvekConnection.GetDouble]GetDouble"},
      {"EvalNumeric", [](auto& c) { c.EvalNumeric("A"); }, "0544", "", "[MarvekConnection.EvalNumeric]EvalNumeric"},
      {"SetEpoch", [](auto& c) { c.SetEpoch(1980); }, "0593", "x", "[MarvekConnection.SetEpoch]SetEpoch"},
      {"Use short", [](auto& c) { TMvTableInfo i; c.Use(TMvUseParams(), i); }, "0469", "0001",
       "[MarvekConnection.Use]Use"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server;
    server.ExpectCode(c.code).Reply(c.code, c.reply);
    TMarvekConnection conn;
    Open(server, conn);
    EXPECT_EQ(MessageOf([&] { c.call(conn); }), c.expected);
    EXPECT_TRUE(conn.Active());
    EXPECT_EQ(server.Finish(), "");
  }
}

TEST_F(MvConnCommandsTest, FloatsFollowTheRegionalSeparator) {
  auto& settings = platform::FormatSettings();
  const char saved = settings.DecimalSeparator;
  settings.DecimalSeparator = ',';
  ScriptedServer server;
  server.Expect("0544", "X").Reply("0544", "0,5").Expect("0558", "0,25").Reply("0558", "").Expect("0485", "A")
      .Reply("0485", "0.5");
  TMarvekConnection conn;
  Open(server, conn);
  EXPECT_EQ(conn.EvalNumeric("X"), 0.5);
  conn.OrderPosSet(0.25);
  EXPECT_EQ(MessageOf([&] { conn.GetDouble("A"); }), "[MarvekConnection.GetDouble]GetDouble");
  settings.DecimalSeparator = saved;
  EXPECT_EQ(server.Finish(), "");
}

// While inactive, each command fails with its own name, keeps quiet, or does nothing at all.
TEST_F(MvConnCommandsTest, InactiveConnection) {
  TMarvekConnection conn;
  struct Case {
    const char* name;
    std::function<void()> call;
    const char* expected;
  };
  std::vector<TMvFetchSlot> slots;
  int count = -1;
  char record[4] = {};
  const Case cases[] = {
      {"Go", [&] { conn.Go(1); }, "[MarvekConnection.Go]Go"},
      {"Select", [&] { conn.Select(5); }, "[MarvekConnection.Select]Select"},
      {"Use", [&] { TMvTableInfo i; conn.Use(TMvUseParams(), i); }, "[MarvekConnection.Use]Use"},
      {"UseEx", [&] { conn.UseEx("A", "B", 0, 3, 1); }, "[MarvekConnection.Use]Use"},
      {"CloseIndexes", [&] { conn.CloseIndexes(); }, "[CloseIndexes]CloseIndexes"},
      {"SetLockTimeOut", [&] { conn.SetLockTimeOut(3); }, "[MarvekConnection.SetLockTimeOut]SetLockTimeOut"},
      {"SetPassword", [&] { conn.SetTablePassword("pw"); }, "[MarvekConnection.SetPassword]SetPassword"},
      {"SetDateFormat", [&] { conn.SetDateFormat(1); }, "[MarvekConnection.SetDateFormat]SetDateFormat"},
      {"GetRecord", [&] { conn.GetRecord(record, 4); }, "[MarvekConnection.GetRecord]GetRecord"},
      {"GetBlob", [&] { conn.GetBlob("PIC", record, 4); }, "[MarvekConnection.GetBlob]GetBlob"},
      {"Version", [&] { conn.ServerVersion(); }, "[MarvekConnection.Version]Version"},
      {"Eof", [&] { EXPECT_FALSE(conn.Eof()); }, "(nothing raised)"},
      {"Seek", [&] { EXPECT_FALSE(conn.Seek("A")); }, "(nothing raised)"},
      {"IndexCondition", [&] { EXPECT_EQ(conn.IndexCondition(), ""); }, "(nothing raised)"},
      {"SysProp", [&] { EXPECT_EQ(conn.SysProp(3000, 0), 0); }, "(nothing raised)"},
      {"SetEpoch", [&] { EXPECT_EQ(conn.SetEpoch(1980), 0); }, "(nothing raised)"},
      {"SetMemoBlockSize", [&] { EXPECT_EQ(conn.SetMemoBlockSize(64), 0); }, "(nothing raised)"},
      {"SetCentury", [&] { conn.SetCentury(true); }, "(nothing raised)"},
      {"SetSoftSeek", [&] { conn.SetSoftSeek(true); }, "(nothing raised)"},
      {"GetStructure", [&] { EXPECT_EQ(conn.GetStructure(), nullptr); }, "(nothing raised)"},
      // A write that cannot go out is reported: it must not pass for one that was stored.
      {"PutRecord", [&] { conn.PutRecord(record, 4); }, "[MarvekConnection.PutRecord]PutRecord"},
      {"Replace", [&] { conn.Replace("A", 1024, "x"); }, "[MarvekConnection.Replace]Replace"},
      {"TraverseTable", [&] { EXPECT_EQ(conn.TraverseTable(TMvTraverseRequest(), 4, slots, count), 0); },
       "(nothing raised)"},
      {"MemDealloc", [&] { conn.MemDealloc(); conn.SetStringType(1); }, "(nothing raised)"},
  };
  for (const Case& c : cases) EXPECT_EQ(MessageOf(c.call), c.expected) << c.name;
  EXPECT_EQ(count, -1);  // no reply: nothing filled
  EXPECT_EQ(conn.CurrentWorkArea(), 0);
  EXPECT_EQ(conn.OutStream().Size(), 0);  // PutRecord leaves it empty
}

TEST_F(MvConnCommandsTest, SelectOfTheCurrentWorkAreaSendsNothing) {
  ScriptedServer server;
  server.Expect("0504", "0002").Reply("0504", "").Expect("0504", "0001").Reply("0504", "");
  TMarvekConnection conn;
  Open(server, conn);
  EXPECT_EQ(conn.Select(0), 0);  // current at creation
  EXPECT_EQ(conn.Select(2), 0);
  EXPECT_EQ(conn.CurrentWorkArea(), 2);
  EXPECT_EQ(conn.Select(2), 2);
  EXPECT_EQ(conn.Select(1), 2);
  EXPECT_EQ(conn.CurrentWorkArea(), 1);
  EXPECT_EQ(server.Finish(), "");
  EXPECT_EQ(server.Received().size(), 2u);
}

TEST_F(MvConnCommandsTest, NoWaitCommandsLeaveTheNextReplyToTheNextCommand) {
  ScriptedServer server;
  server.Expect("0577", "30").Expect("0566", "secret").Expect("0587", "Y").Expect("0493", "0000001A");
  server.Reply("0493", "0000001A");
  TMarvekConnection conn;
  Open(server, conn);
  conn.SetLockTimeOut(30);
  conn.SetTablePassword("secret");
  conn.SetTranslate(true);
  EXPECT_EQ(conn.Go(26), 26);
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvConnCommandsTest, PutBlobSendsTheStreamThenAsksForTheResult) {
  struct Case {
    const char* name;
    std::string data;
    std::string stream;
  };
  const Case cases[] = {
      {"empty", "", "NOTE      00000000"},
      {"three bytes", std::string("a\0c", 3), std::string("NOTE      00000003a\0c", 21)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server;
    server.Expect("0498", c.stream).Reply("0498", "").Expect("0624", "").Reply("0624", "00000005");
    TMarvekConnection conn;
    Open(server, conn);
    EXPECT_EQ(conn.PutBlob("NOTE", c.data.data(), static_cast<int>(c.data.size())), 5);
    EXPECT_EQ(server.Finish(), "");
  }
}

TEST_F(MvConnCommandsTest, ReplaceSendsValueBytesByTypeCode) {
  const int32_t i32 = 0x01020304;
  const double f64 = 1.0;
  std::string f64_bytes(8, '\0');
  std::memcpy(f64_bytes.data(), &f64, 8);
  const char flag = 'T';
  struct Case {
    int code;
    const void* value;
    std::string bytes;
  };
  const Case cases[] = {
      {1, &i32, "\x04\x03\x02\x01"}, {32, &i32, "\x04\x03\x02\x01"}, {8, &f64, f64_bytes},
      {128, &flag, "T"},            {1024, "Ann", "Ann"},            {3072, "", ""},
      {99, &i32, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    ScriptedServer server;
    server.Expect("0501", Pad("NAME", 10) + IntToHex(c.code, 4) + c.bytes).Reply("0501", "Y");
    TMarvekConnection conn;
    Open(server, conn);
    conn.Replace("NAME", c.code, c.value);
    EXPECT_EQ(server.Finish(), "");
  }
  TMarvekConnection conn;
  EXPECT_EQ(MessageOf([&] { conn.Replace("NAME", 1, nullptr); }), "[MarvekConnection.Replace]Replace");
  // The empty reply of a refusal is a failure too.
  ScriptedServer server;
  server.Expect("0501", Pad("NAME", 10) + "0400" "Ann").Reply("0501", "");
  Open(server, conn);
  EXPECT_EQ(MessageOf([&] { conn.Replace("NAME", 1024, "Ann"); }), "[MarvekConnection.Replace]Replace");
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvConnCommandsTest, RecordsAndBlobsComeWhole) {
  ScriptedServer server;
  server.Expect("0515", "").Reply("0515", "*JOHN      ")
      .Expect("0515", "").Reply("0515", "*JO")
      .Expect("0499", " MARY      ").Reply("0499", "Y")
      .Expect("0499", " MARY      ").Reply("0499", "")
      .Expect("0480", "PIC").Reply("0480", "abc")
      .Expect("0480", "PIC").Reply("0480", "abc")
      .Expect("0480", "PIC").Reply("0480", "")
      .Expect("0581", "").Reply("0581", "NAME\r\nC\r\nA\r\n0\r\n2\r\n");
  TMarvekConnection conn;
  Open(server, conn);
  std::string record(11, '\0');
  EXPECT_EQ(conn.GetRecord(record.data(), 11), 11);
  EXPECT_EQ(record, "*JOHN      ");
  EXPECT_EQ(MessageOf([&] { conn.GetRecord(record.data(), 11); }), "[MarvekConnection.GetRecord]GetRecord");
  conn.PutRecord(" MARY      ", 11);
  EXPECT_EQ(conn.OutStream().Size(), 0);
  EXPECT_EQ(MessageOf([&] { conn.PutRecord(" MARY      ", 11); }), "[MarvekConnection.PutRecord]PutRecord");
  char blob[3];
  EXPECT_EQ(conn.GetBlob("PIC", blob, 3), 3);
  EXPECT_EQ(std::string(blob, 3), "abc");
  EXPECT_EQ(MessageOf([&] { conn.GetBlob("PIC", blob, 2); }), "[MarvekConnection.GetBlob]GetBlob");
  EXPECT_EQ(MessageOf([&] { conn.GetBlob("PIC", blob, 3); }), "[MarvekConnection.GetBlob]GetBlob");
  TMemoryStream* structure = conn.GetStructure();
  ASSERT_NE(structure, nullptr);
  EXPECT_EQ(structure->Position(), 0);
  EXPECT_EQ(structure->ToString(), "NAME\r\nC\r\nA\r\n0\r\n2\r\n");
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvConnCommandsTest, TraverseTableFillsTheSlots) {
  TMvTraverseRequest request;
  request.GoTop = true;
  request.EofAction = 1;
  request.Direction = 1;
  request.PreviousDirection = 0;
  request.FetchCount = 2;
  request.RecNo = 26;
  const std::string payload = "YN110" "00000002" "0000001A";
  const std::string two = "00000002" "0" "00000001" "00000001" "*ABCD" "2" "0000001B" "FFFFFFFF" " EFGH";
  ScriptedServer server;
  server.Expect("0626", payload).Reply("0626", two)
      .Expect("0626", payload).Reply("0626", "00000003" + two.substr(8))  // more than asked
      .Expect("0626", payload).Reply("0626", two + "X")                   // trailing byte
      .Expect("0626", payload).Reply("0626", "00000001" "x00000001000000010ABCD")
      .Expect("0626", payload).Reply("0626", "00000000");
  TMarvekConnection conn;
  Open(server, conn);
  std::vector<TMvFetchSlot> slots(1);
  int count = 0;
  EXPECT_EQ(conn.TraverseTable(request, 5, slots, count), 2);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(slots[0].Result, 0);
  EXPECT_EQ(slots[0].RecNo, 1);
  EXPECT_EQ(slots[0].Position, 1);
  EXPECT_EQ(slots[0].Record, "*ABCD");
  EXPECT_EQ(slots[1].Result, 2);
  EXPECT_EQ(slots[1].RecNo, 27);
  EXPECT_EQ(slots[1].Position, -1);
  EXPECT_EQ(slots[1].Record, " EFGH");
  const std::string error = "[MarvekConnection.TraverseTable]Make sure DatabaseName is set to a valid alias.";
  for (int i = 0; i < 3; ++i) {
    count = 9;
    EXPECT_EQ(MessageOf([&] { conn.TraverseTable(request, 5, slots, count); }), error) << i;
    EXPECT_EQ(count, 0);
  }
  EXPECT_EQ(conn.TraverseTable(request, 5, slots, count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(server.Finish(), "");
}

// A Use reply with two index entries, built field by field.
std::string IndexEntry(const std::string& name, const std::string& fields, const std::string& source,
                       const std::string& expression, const std::string& flags) {
  return Pad(name, 255) + Pad(fields, 255) + Pad(source, 255) + Pad(expression, 255) + flags;
}

TEST_F(MvConnCommandsTest, UseSendsTheOpenRecordAndDecodesTheTable) {
  TMvUseParams p;
  p.DatabaseName = "FILES";
  p.TableName = "USERS.DBF";
  p.OpenMode = 1;
  p.TableType = 3;
  p.Password = "";
  p.TurboRead = true;
  p.IndexName = "BYNAME";
  p.Epoch = 1980;
  p.DateFormat = 2;
  p.MemoBlockSize = 64;
  p.Deleted = true;
  p.Century = true;
  p.SoftSeek = false;
  p.Exact = false;
  p.OEMTranslate = false;
  p.ApplyEnvironment = true;
  p.CommitLevel = 1;
  const std::string request = Pad("FILES", 255) + Pad("USERS.DBF", 255) + "1" + "3" + Pad("", 255) + "Y" +
                              Pad("BYNAME", 255) + "07BC" + "0002" + "0040" + "YYNNNY" + "1";
  const std::string block = IndexEntry("BYNAME", "NAME", "USERS.CDX", "", "010100") +
                            IndexEntry("BYKEY", "", "USERS.CDX", "UPPER(NAME)+ID", "001011");
  const std::string reply = std::string("0003") + "0000001A" + "00000004" + "00000029" + "N" +
                            Pad("  !DELETED()", 255) + "0001" + "0002" + IntToHex(2 * 1026, 8) + block +
                            "00000000" + "";
  ScriptedServer server;
  server.Expect("0469", request).Reply("0469", reply)
      .ExpectCode("0469").Reply("0469", std::string("0000") + "00000000" "00000000" "00000000" "N" + Pad("", 255) +
                                            "0000" "0000" "00000000" "00000001" "File not found")
      .ExpectCode("0469").Reply("0469", reply.substr(0, 288) + "0002" + IntToHex(2 * 1026 - 1, 8) + block + "00000000");
  TMarvekConnection conn;
  Open(server, conn);
  TMvTableInfo info;
  EXPECT_EQ(conn.Use(p, info), 3);
  EXPECT_EQ(conn.CurrentWorkArea(), 3);
  EXPECT_EQ(info.RecCount, 26);
  EXPECT_EQ(info.FieldCount, 4);
  EXPECT_EQ(info.RecordSize, 41);
  EXPECT_FALSE(info.Encrypted);
  EXPECT_EQ(info.IndexCondition, "!DELETED()");
  EXPECT_EQ(info.IndexOrder, 1);
  EXPECT_EQ(info.ErrorCode, 0);
  ASSERT_EQ(info.Indexes.size(), 2u);
  const TMvIndexEntry& a = info.Indexes[0];
  EXPECT_EQ(a.Name, "BYNAME");
  EXPECT_EQ(a.Fields, "NAME");
  EXPECT_EQ(a.Source, "USERS.CDX");
  EXPECT_TRUE(!a.Primary && a.Unique && !a.Descending && a.CaseInsensitive && !a.IsExpression && !a.NonMaintained);
  const TMvIndexEntry& b = info.Indexes[1];
  EXPECT_EQ(b.Expression, "UPPER(NAME)+ID");
  EXPECT_TRUE(!b.Primary && !b.Unique && b.Descending && !b.CaseInsensitive && b.IsExpression && b.NonMaintained);

  // A failing open: the server's error code and text, work area 0.
  EXPECT_EQ(conn.Use(p, info), 0);
  EXPECT_EQ(conn.CurrentWorkArea(), 0);
  EXPECT_EQ(info.ErrorCode, 1);
  EXPECT_EQ(info.ErrorMessage, "File not found");
  EXPECT_TRUE(info.Indexes.empty());

  // An index block whose length disagrees with its entry count.
  EXPECT_EQ(MessageOf([&] { conn.Use(p, info); }), "[MarvekConnection.Use]Use");
  EXPECT_TRUE(info.Indexes.empty());
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvConnCommandsTest, SysPropRequestFailureIsAConversionError) {
  ScriptedServer server;
  server.ExpectCode("0563").Hangup();
  TMarvekConnection conn;
  Open(server, conn);
  EXPECT_EQ(MessageOf([&] { conn.SysProp(3000, 0); }), "[MarvekConnection.SysProp]Converting data");
  EXPECT_FALSE(conn.Active());
  server.Finish();
}

TEST_F(MvConnCommandsTest, QuietCommandsSwallowALostConnection) {
  ScriptedServer server;
  server.ExpectCode("0479").Hangup();
  TMarvekConnection conn;
  Open(server, conn);
  EXPECT_EQ(MessageOf([&] { EXPECT_FALSE(conn.Eof()); }), "(nothing raised)");
  EXPECT_FALSE(conn.Active());
  server.Finish();
}

}  // namespace
}  // namespace tavrik
