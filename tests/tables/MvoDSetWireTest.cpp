// TMarvekTable on the wire: the exact frames a table sends for opening, appending and posting
// to and closing a log table, for Locate through an order and through a filter expression, and
// what it makes of replies that are missing, empty or refuse something.
#include <gtest/gtest.h>

#include "core/StrUtils.h"
#include "tables/MvoDSet.h"
#include "tests/net/ScriptedServer.h"
#include "tests/support/ErrorText.h"
#include "tests/tables/TableFixture.h"
#include "tests/tables/WireScript.h"

namespace tavrik::testing {
namespace {

class WireTest : public ::testing::Test {
 protected:
  // Starts the script (a login, then `steps` in order, then a logout) and connects.
  void Run(const std::vector<std::vector<Step>>& parts) {
    server.Login();
    for (const auto& part : parts)
      for (const Step& s : part) server.Expect(s.code, s.payload).Reply("0001", s.reply);
    server.Logout("PORTAL");
    StartAndLogIn(server, connection);
    table.SetName("LogTbl");
    table.SetAccessMethod(TAccessMethod::amServer);
    table.SetMarvekConnection(&connection);
    table.SetDatabaseName("FILES");
  }
  std::string Finish() {
    connection.SetActive(false);
    return server.Finish();
  }

  ScriptedServer server;
  TMarvekConnection connection;
  TMarvekTable table;
};

TEST_F(WireTest, LogRowOpenAppendPostClose) {
  const std::string row = kLog.Record({"5-11-2003 10:00:00", "Login ok", "demo", "Permission = UPLOAD"});
  Run({OpenSteps(kLog, "LOG.DBF", {{2, 1, kLog.Record({})}}), AppendPostSteps(row, row), CloseSteps("LOG")});
  table.SetTableName("LOG.DBF");
  table.Open();
  EXPECT_TRUE(table.IsEmpty());
  table.Append();
  table.FieldByName("TIMESTAMP").SetAsString("5-11-2003 10:00:00");
  table.FieldByName("EVENT").SetAsString("Login ok");
  table.FieldByName("USER").SetAsString("demo");
  table.FieldByName("OPMERKING").SetAsString("Permission = UPLOAD");
  table.Post();
  EXPECT_EQ(table.RecNo(), 1);
  EXPECT_EQ(table.FieldByName("EVENT").AsString(), "Login ok");
  table.Close();
  EXPECT_EQ(Finish(), "");
}

TEST_F(WireTest, LocateThroughAnOrderOnTheKeyField) {
  const std::string demo = kUsers.Record({"demo", "welkom", "UPLOAD;TOOLS", ""});
  const std::string other = kUsers.Record({"anna", "x", "", ""});
  Run({OpenSteps(kUsers, "USERS.DBF", {{0, 1, other}, {0, 2, demo}, {2, 3, kUsers.Record({})}}),
       FirstSteps({{0, 1, other}, {0, 2, demo}, {2, 3, kUsers.Record({})}}),
       SeekUserSteps("demo", 2, demo),
       CloseSteps("USERS")});
  table.SetTableName("USERS.DBF");
  table.Open();
  table.First();
  EXPECT_TRUE(table.Locate("USER_ID", {TVariant("demo")}, 0));
  EXPECT_EQ(table.FieldByName("PASSWRD").AsString(), "welkom");
  EXPECT_EQ(table.FieldByName("PERMISSION").AsString(), "UPLOAD;TOOLS");
  table.Close();
  EXPECT_EQ(Finish(), "");
}

// The search without an order: a filter expression with the value padded to the field, and the
// table shows the record the engine found.
std::vector<Step> ExpressionLocate(const std::string& expression, int found, const std::string& image,
                                   int remembered, int previous_direction) {
  std::vector<Step> steps = {{"0526", "", "0"},
                             {"0563", Hex8(3000), "0"},
                             {"0539", "", ""},
                             {"0646", expression, Hex8(found ? 1 : 0) + Hex8(3)},
                             {"0500", "", std::to_string(found ? found : 4)},
                             {"0646", "", Hex8(3) + Hex8(3)}};
  if (found) {
    steps.push_back({"0493", Hex8(found), Hex8(found)});
    steps.push_back({"0500", "", std::to_string(found)});
    steps.push_back({"0493", Hex8(found), Hex8(found)});
    steps.push_back({"0626", Traverse(false, false, 0, previous_direction, found), Batch({{0, found, image}})});
  } else {
    steps.push_back({"0493", Hex8(remembered), Hex8(remembered)});
  }
  return steps;
}

TEST_F(WireTest, LocateThroughAFilterExpression) {
  const std::string anna = kUsers.Record({"anna"});
  const std::string demo = kUsers.Record({"demo", "welkom"});
  Run({OpenSteps(kUsers, "USERS.DBF", {{0, 1, anna}, {0, 2, demo}, {2, 3, kUsers.Record({})}}),
       ExpressionLocate("USER_ID=\"demo" + std::string(16, ' ') + "\"", 2, demo, 1, 1),
       ExpressionLocate("UPPER(USER_ID)=\"DEMO" + std::string(16, ' ') + "\"", 2, demo, 2, 0),
       ExpressionLocate("USER_ID=\"nobody" + std::string(14, ' ') + "\"", 0, "", 2, 0),
       CloseSteps("USERS")});
  table.SetTableName("USERS.DBF");
  table.Open();
  EXPECT_TRUE(table.Locate("USER_ID", {TVariant("demo")}, 0));
  EXPECT_EQ(table.RecNo(), 2);
  EXPECT_EQ(table.FieldByName("PASSWRD").AsString(), "welkom");
  EXPECT_TRUE(table.Locate("USER_ID", {TVariant("Demo")}, loCaseInsensitive));
  EXPECT_EQ(table.RecNo(), 2);
  EXPECT_FALSE(table.Locate("USER_ID", {TVariant("nobody")}, 0));
  table.Close();
  EXPECT_EQ(Finish(), "");
}

// A value holding the expression's own quote character is written with another delimiter; one
// holding every delimiter cannot be written at all and is not searched for.
TEST_F(WireTest, LocateValueNeverRewritesTheExpression) {
  const std::string anna = kUsers.Record({"anna"});
  const std::string quoted = kUsers.Record({"a\"b"});
  Run({OpenSteps(kUsers, "USERS.DBF", {{0, 1, anna}, {0, 2, quoted}, {2, 3, kUsers.Record({})}}),
       ExpressionLocate("USER_ID='a\"b" + std::string(17, ' ') + "'", 2, quoted, 1, 1),
       ExpressionLocate("USER_ID=[a\"'b" + std::string(16, ' ') + "]", 0, "", 2, 0),
       CloseSteps("USERS")});
  table.SetTableName("USERS.DBF");
  table.Open();
  EXPECT_TRUE(table.Locate("USER_ID", {TVariant("a\"b")}, 0));
  EXPECT_EQ(table.FieldByName("USER_ID").AsString(), "a\"b");
  EXPECT_FALSE(table.Locate("USER_ID", {TVariant("a\"'b")}, 0));
  EXPECT_FALSE(table.Locate("USER_ID", {TVariant("a\"'b]")}, 0));
  table.Close();
  EXPECT_EQ(Finish(), "");
}

// A batch with no entries ends the fetch where it is, instead of showing an entry of an earlier
// batch again; no batch at all is an error of the fetch.
TEST_F(WireTest, EmptyOrMissingBatchEndsTheFetch) {
  const std::string one = kUsers.Record({"one"});
  const std::string two = kUsers.Record({"two"});
  Run({OpenSteps(kUsers, "USERS.DBF", {{0, 1, one}, {0, 2, two}}),
       {{"0626", Traverse(false, false, 1, 1, 2), Hex8(0)}},
       // After a fetch that found nothing the cursor is put back on the record shown.
       {{"0493", "00000002", "00000002"}, {"0626", Traverse(false, false, 2, 1, 2), ""}},
       CloseSteps("USERS")});
  table.SetTableName("USERS.DBF");
  table.Open();
  table.Next();  // from the batch in hand
  EXPECT_EQ(table.FieldByName("USER_ID").AsString(), "two");
  table.Next();
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.FieldByName("USER_ID").AsString(), "two");
  EXPECT_EQ(MessageOf([&] { table.Prior(); }), "Cannot perform this operation on an empty table");
  EXPECT_EQ(table.FieldByName("USER_ID").AsString(), "two");
  table.Close();
  EXPECT_EQ(Finish(), "");
}

// Asking for the field definitions of a closed table opens it for the structure and closes it
// again on the server.
TEST_F(WireTest, FieldDefinitionsOfAClosedTableReleaseTheWorkArea) {
  Run({{{"0469", UseRequest("USERS.DBF"), UseReply(1, 0, kUsers)}, {"0581", "", kUsers.Structure()}, {"0523", "", "Y"}}});
  table.SetTableName("USERS.DBF");
  table.UpdateFieldDefs();
  EXPECT_FALSE(table.Active());
  EXPECT_EQ(table.WorkArea(), 0);
  ASSERT_EQ(table.FieldDefs().Count(), 4);
  EXPECT_EQ(table.FieldDefs()[3].Name, "MESSAGE");
  EXPECT_EQ(table.FieldDefs()[3].Size, 100);
  EXPECT_EQ(Finish(), "");
}

// An encrypted table read without its password shows masked text; storing that text would
// overwrite the real data, so the table cannot be changed.
TEST_F(WireTest, EncryptedTableWithoutPasswordIsReadOnly) {
  std::vector<Step> open = OpenSteps(kUsers, "USERS.DBF", {{0, 1, kUsers.Record({"secret"})}});
  open[0].reply = UseReply(1, 1, kUsers, true);
  Run({open, CloseSteps("USERS")});
  table.SetTableName("USERS.DBF");
  table.Open();
  EXPECT_TRUE(table.IsEncrypted());
  EXPECT_EQ(table.FieldByName("USER_ID").AsString(), std::string(20, '*'));
  EXPECT_FALSE(table.CanModify());
  EXPECT_EQ(MessageOf([&] { table.Edit(); }), "Cannot modify a read-only data set");
  EXPECT_EQ(MessageOf([&] { table.Append(); }), "Cannot modify a read-only data set");
  EXPECT_EQ(MessageOf([&] { table.Delete(); }), "Cannot modify a read-only data set");
  table.Close();
  EXPECT_EQ(Finish(), "");
}

const TScriptTable kCounts{{{"NAME", 'C', 10, 0}, {"QTY", 'N', 3, 0}}};

// A value that does not fit fails the post before a blank record is appended; a post that fails
// after appending writes, when tried again, the record it appended.
TEST_F(WireTest, FailedPostNeverLeavesExtraBlankRows) {
  const std::string row = kCounts.Record({"bolts", " 12"});
  Run({OpenSteps(kCounts, "COUNTS.DBF", {{2, 1, kCounts.Record({})}}),
       {{"0494", "", ""}},
       {{"0473", "", "00000005"}, {"0500", "", "5"}, {"0470", "", "not a number"}},
       {{"0493", "00000005", "00000005"},
        {"0499", row, "Y"},
        {"0511", "", ""},
        {"0510", "00000000", ""},
        {"0479", "", "N"},
        {"0500", "", "5"},
        {"0493", "00000005", "00000005"},
        {"0626", Traverse(false, false, 0, 1, 5), Batch({{0, 5, row}})}},
       CloseSteps("COUNTS")});
  table.SetTableName("COUNTS.DBF");
  table.Open();
  table.Append();
  table.FieldByName("NAME").SetAsString("bolts");
  table.FieldByName("QTY").SetValue(1234);
  EXPECT_EQ(MessageOf([&] { table.Post(); }), "Translate error. Value out of bounds");
  EXPECT_EQ(table.State(), TDataSetState::dsInsert);
  table.FieldByName("QTY").SetValue(12);
  EXPECT_EQ(MessageOf([&] { table.Post(); }), "[MarvekConnection.RecCount]RecCount");
  EXPECT_EQ(table.State(), TDataSetState::dsInsert);
  table.Post();
  EXPECT_EQ(table.RecNo(), 5);
  EXPECT_EQ(table.FieldByName("QTY").AsInteger(), 12);
  table.Close();
  EXPECT_EQ(Finish(), "");
}

// The connection goes while a record is being inserted: the session took the work area and the
// lock with it, so the insert is cancelled and the table closed on this side alone.
TEST(WireConnectionGone, InsertIsCancelledAndClosedWithoutTheServer) {
  ScriptedServer server;
  server.Login();
  for (const Step& s : OpenSteps(kLog, "LOG.DBF", {{2, 1, kLog.Record({})}}))
    server.Expect(s.code, s.payload).Reply("0001", s.reply);
  server.Expect("0494", "").Reply("0001", "").Hangup();
  TMarvekConnection connection;
  StartAndLogIn(server, connection);
  TMarvekTable table;
  table.SetAccessMethod(TAccessMethod::amServer);
  table.SetMarvekConnection(&connection);
  table.SetDatabaseName("FILES");
  table.SetTableName("LOG.DBF");
  table.Open();
  table.Append();
  table.FieldByName("EVENT").SetAsString("lost");
  EXPECT_NE(MessageOf([&] { table.Post(); }), "(nothing raised)");
  EXPECT_FALSE(connection.Active());
  EXPECT_EQ(table.State(), TDataSetState::dsInsert);
  MessageOf([&] { table.Cancel(); });  // refreshing the records cannot work without the server
  EXPECT_EQ(table.State(), TDataSetState::dsBrowse);
  table.Close();
  EXPECT_FALSE(table.Active());
  EXPECT_EQ(table.WorkArea(), 0);
  EXPECT_EQ(server.Finish(), "");
}

// An index file whose order has no tag name is refused when the index definitions are read.
TEST_F(WireTest, IndexWithoutTagIsRefused) {
  Run({OpenSteps(kLog, "LOG.DBF", {{2, 1, kLog.Record({})}}),
       {{"0533", "", ""},
        {"0620", PadRight("FILES", 255) + PadRight("X.MXI", 255), "1"},
        {"0563", Hex8(3000), "1"},
        {"0526", "", "0"},
        {"0507", "0001", "0"},
        {"0554", "", "EVENT"},
        {"0525", "1", "X.MXI"},
        {"0518", "0001", ""},
        {"0507", "0000", "1"}},
       CloseSteps("LOG")});
  table.SetTableName("LOG.DBF");
  table.Open();
  EXPECT_EQ(MessageOf([&] { table.SetExtraIndexes({"X.MXI"}); }), "Invalid Index File or Tag");
  table.Close();
  EXPECT_EQ(Finish(), "");
}

const TScriptTable kPictures{{{"NAME", 'C', 5, 0}, {"PIC", 'B', 10, 0}}};

// A blob the server stores shorter than it was given fails the post, which stays in edit.
TEST_F(WireTest, BlobStoredShortFailsThePost) {
  const std::string row = kPictures.Record({"abc", "         1"});
  Run({OpenSteps(kPictures, "PICS.DBF", {{0, 1, row}, {2, 2, kPictures.Record({})}}),
       {{"0502", "1", "Y"}, {"0493", "00000001", "00000001"}, {"0515", "", row}},
       {{"0493", "00000001", "00000001"},
        {"0478", "", "N"},
        {"0499", row, "Y"},
        {"0498", PadRight("PIC", 10) + Hex8(3) + "xyz", ""},
        {"0624", "", Hex8(2)}},
       {{"0493", "00000001", "00000001"}, {"0626", Traverse(false, false, 0, 1, 1), Batch({{0, 1, row}})}, {"0510", "00000000", ""}},
       CloseSteps("PICS")});
  table.SetTableName("PICS.DBF");
  table.Open();
  table.Edit();
  table.FieldByName("PIC").SetAsString("xyz");
  EXPECT_EQ(MessageOf([&] { table.Post(); }), "Blob Write Error");
  EXPECT_EQ(table.State(), TDataSetState::dsEdit);
  table.Cancel();
  table.Close();
  EXPECT_EQ(Finish(), "");
}

const TScriptTable kOrders{{{"ID", 'C', 3, 0}, {"ITEM", 'C', 5, 0}}};

std::string ScopeRequest(const std::string& key) {
  return IntToHex(int(key.size()), 4) + IntToHex(int(key.size()), 4) + PadRight(key, 255) + PadRight(key, 255);
}

// A detail table on the server follows its master by a key range the server must accept.
class WireDetailTest : public TableTest {};

TEST_F(WireDetailTest, RangeRefusedForTheNextMaster) {
  MakeTable("CUST.DBF", "ID,C,3,0", 2, [](xbase::TWorkAreaSet& s, int i) { s.Replace("ID", 1024, "C" + std::to_string(i)); });
  ScriptedServer server;
  server.Login()
      .Expect("0469", UseRequest("ORDERS.DBF", "BYID")).Reply("0001", UseReply(1, 1, kOrders))
      .Expect("0581", "").Reply("0001", kOrders.Structure())
      .Expect("0567", ScopeRequest("C1 ")).Reply("0001", "Y")
      .Expect("0495", "").Reply("0001", "")
      .Expect("0626", Traverse(true, false, 1, 0, 0)).Reply("0001", Batch({{0, 1, kOrders.Record({"C1", "I1"})}, {2, 2, kOrders.Record({})}}))
      .Expect("0567", ScopeRequest("C2 ")).Reply("0001", "N");
  for (const Step& step : CloseSteps("ORDERS")) server.Expect(step.code, step.payload).Reply("0001", step.reply);
  server.Logout("PORTAL");
  TMarvekConnection connection;
  StartAndLogIn(server, connection);
  auto master = LocalTable("CUST.DBF");
  TDataSource source;
  source.SetDataSet(master.get());
  master->Open();
  auto detail = ServerTable(connection, "ORDERS.DBF");
  detail->SetIndexName("BYID");
  detail->SetMasterSource(&source);
  detail->SetMasterFields("ID");
  detail->Open();
  EXPECT_EQ(detail->FieldByName("ITEM").AsString(), "I1");
  EXPECT_EQ(MessageOf([&] { master->Next(); }), "Scope Set failed");
  detail->Close();
  connection.SetActive(false);
  EXPECT_EQ(server.Finish(), "");
}

// Opening fails with the table's own texts, and a failed open leaves the table closed with no
// work area.
TEST(WireOpenErrors, Texts) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::function<void(TMarvekTable&, TMarvekConnection&)> setup;
    std::string expected;
    bool log_in = true;
  };
  const std::vector<Case> cases = {
      {"no connection", {}, [](TMarvekTable& t, TMarvekConnection&) { t.SetMarvekConnection(nullptr); },
       "No MarvekConnection specified"},
      {"connection inactive", {}, [](TMarvekTable&, TMarvekConnection& c) { c.SetActive(false); }, "Not connected"},
      {"no table name", {}, [](TMarvekTable& t, TMarvekConnection&) { t.SetTableName(""); },
       "LogTbl : Missing TableName property"},
      {"no database name", {}, [](TMarvekTable& t, TMarvekConnection&) { t.SetDatabaseName(""); },
       "Missing DatabaseName property"},
      {"server refuses", {{"0469", UseRequest("LOG.DBF"), UseReply(0, 0, kLog, false, 3, "No such table: LOG.DBF")}},
       nullptr, "No such table: LOG.DBF"},
      {"nothing opened", {{"0469", UseRequest("LOG.DBF"), UseReply(0, 0, kLog)}}, nullptr,
       "Unable to open table.\rFile: LOG.DBF"},
      {"nothing opened without a login", {{"0469", UseRequest("LOG.DBF"), UseReply(0, 0, kLog)}}, nullptr,
       "Must include User Name and Password to open table through the Marvek Database Server", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server;
    if (c.log_in) server.Login();
    for (const Step& step : c.steps) server.Expect(step.code, step.payload).Reply("0001", step.reply);
    if (c.log_in) server.Logout("PORTAL");
    server.Start();
    TMarvekConnection connection;
    connection.SetPort(server.Port());
    connection.SetTimeOut(5000);
    if (c.log_in) {
      connection.SetUser("PORTAL");
      connection.SetPassword("qz7rmw");
    }
    connection.SetActive(true);
    TMarvekTable table;
    table.SetName("LogTbl");
    table.SetAccessMethod(TAccessMethod::amServer);
    table.SetMarvekConnection(&connection);
    table.SetDatabaseName("FILES");
    table.SetTableName("LOG.DBF");
    if (c.setup) c.setup(table, connection);
    EXPECT_EQ(MessageOf([&] { table.Open(); }), c.expected);
    EXPECT_EQ(table.LastError(), c.expected);
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(table.WorkArea(), 0);
    connection.SetActive(false);
    EXPECT_EQ(server.Finish(), "");
  }
}

}  // namespace
}  // namespace tavrik::testing
