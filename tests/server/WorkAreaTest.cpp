#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "core/StrUtils.h"
#include "platform/FormatSettings.h"
#include "tests/server/WorkAreaFixture.h"

namespace tavrik::testing {
namespace {

namespace fs = std::filesystem;

// PEOPLE.DBF: three people, the order NAME and the unique, descending, conditional order CITY.
class PeopleTest : public WorkAreaTest {
 protected:
  void MakePeople() {
    const char* rows[][3] = {{"Anna", "Utrecht", "34"}, {"Bram", "Delft", "12"}, {"Cees", "utrecht", "51"}};
    MakeTable("PEOPLE.DBF", "NAME,C,20,0;CITY,C,15,0;AGE,N,3,0;NOTE,M,10,0", 3, [&](xbase::TWorkAreaSet& s, int i) {
      s.Replace("NAME", xbase::rtText, rows[i - 1][0]);
      s.Replace("CITY", xbase::rtText, rows[i - 1][1]);
      s.Replace("AGE", xbase::rtText, rows[i - 1][2]);
    });
    AddTag("PEOPLE.DBF", "NAME", "NAME");
    AddTag("PEOPLE.DBF", "CITY", "UPPER(CITY)", "AGE > 17", true, true);
  }
  std::unique_ptr<TMarvekConnection> OpenPeople(const std::string& index = "") {
    MakePeople();
    StartWithData();
    auto c = Connect();
    TMvTableInfo info;
    EXPECT_EQ(c->Use(Params("PEOPLE.DBF", index), info), 1);
    return c;
  }
};

TEST_F(PeopleTest, UseDescribesTheTableAndItsOrders) {
  MakePeople();
  StartWithData();
  auto c = Connect();
  TMvTableInfo info;
  EXPECT_EQ(c->Use(Params("PEOPLE.DBF", "city"), info), 1);
  EXPECT_EQ(c->CurrentWorkArea(), 1);
  EXPECT_EQ(info.RecCount, 3);
  EXPECT_EQ(info.FieldCount, 4);
  EXPECT_EQ(info.RecordSize, 49);
  EXPECT_FALSE(info.Encrypted);
  EXPECT_EQ(info.IndexOrder, 2);
  EXPECT_EQ(info.IndexCondition, "AGE > 17");
  EXPECT_EQ(info.ErrorCode, 0);
  EXPECT_EQ(info.ErrorMessage, "");
  ASSERT_EQ(info.Indexes.size(), 2u);
  auto flags = [](const TMvIndexEntry& e) {
    std::string f;
    for (bool b : {e.Primary, e.Unique, e.Descending, e.CaseInsensitive, e.IsExpression, e.NonMaintained}) f += b ? '1' : '0';
    return f;
  };
  const TMvIndexEntry& name = info.Indexes[0];
  EXPECT_EQ(name.Name + "|" + name.Fields + "|" + name.Source + "|" + name.Expression + "|" + flags(name),
            "NAME|NAME|PEOPLE.MXI|NAME|000000");
  const TMvIndexEntry& city = info.Indexes[1];
  EXPECT_EQ(city.Name + "|" + city.Fields + "|" + city.Source + "|" + city.Expression + "|" + flags(city),
            "CITY|CITY|PEOPLE.MXI|UPPER(CITY)|011110");

  TMemoryStream* structure = c->GetStructure();
  ASSERT_NE(structure, nullptr);
  EXPECT_EQ(structure->ToString(),
            "NAME\r\nC\r\n14\r\n0\r\n2\r\nCITY\r\nC\r\nF\r\n0\r\n16\r\nAGE\r\nN\r\n3\r\n0\r\n25\r\nNOTE\r\nM\r\nA\r\n0\r\n28\r\n");

  // The same table again in the same session: its own work area and alias.
  EXPECT_EQ(c->Use(Params("people"), info), 2);
  EXPECT_EQ(info.IndexOrder, 0);
  EXPECT_EQ(c->Alias(1), "PEOPLE");
  EXPECT_EQ(c->Alias(2), "PEOPLE_2");
  EXPECT_EQ(c->Alias(3), "");
  EXPECT_EQ(c->WorkArea("people_2"), 2);
  EXPECT_EQ(c->Select(1), 2);
  c->Close();
  EXPECT_EQ(c->Alias(1), "");
  EXPECT_EQ(c->ServerVersion(), "MDE 6.10.01 64-bit");
  EXPECT_EQ(errors, std::vector<std::string>{});
}

TEST_F(PeopleTest, TheUseReplyHasItsExactLayout) {
  MakePeople();
  StartWithData();
  auto raw = LoggedIn();
  std::string record = Pad("FILES", 255) + Pad("PEOPLE.DBF", 255) + "13" + Pad("", 255) + "N" + Pad("NAME", 255) +
                       "07BC" "0000" "0000" "NYNNNN" "1";
  std::string reply = raw->Call("0469", record);
  ASSERT_EQ(reply.size(), 300u + 2 * 1026 + 8);
  EXPECT_EQ(reply.substr(0, 29), "0001" "00000003" "00000004" "00000031" "N");
  EXPECT_EQ(reply.substr(29, 255), std::string(255, ' '));
  EXPECT_EQ(reply.substr(284, 16), "0001" "0002" "00000804");
  EXPECT_EQ(reply.substr(300, 1026), Pad("NAME", 255) + Pad("NAME", 255) + Pad("PEOPLE.MXI", 255) + Pad("NAME", 255) +
                                         "000000");
  EXPECT_EQ(reply.substr(300 + 2 * 1026), "00000000");
  // Read-only (open mode 1): reading works, writing does not.
  EXPECT_EQ(raw->Call("0473", ""), "");
  EXPECT_TRUE(captured.WaitFor("#1 0473 AppendBlank failed: "));
}

TEST_F(PeopleTest, UseFailuresTellTheClientWhy) {
  MakePeople();
  MakeTable("MEMO.DBF", "A,C,5,0", 1);
  MakeTable("../SECRET.DBF", "A,C,5,0", 1);
  fs::create_symlink("../SECRET.DBF", data + "/LINK.DBF");
  fs::create_symlink("../SECRET.DBF", data + "/MEMO.FPT");
  std::ofstream(data + "/BAD.DBF") << "this is no table at all, just some text that goes on for a while";
  StartWithData();
  auto holder = Connect();
  auto c = Connect();

  struct Case {
    std::string name;
    TMvUseParams params;
    int code;
    std::string message;
  };
  TMvUseParams unknown_alias = Params("PEOPLE.DBF");
  unknown_alias.DatabaseName = "NOPE";
  TMvUseParams bad_epoch = Params("PEOPLE.DBF");
  bad_epoch.ApplyEnvironment = true;
  bad_epoch.Epoch = 50;
  std::vector<Case> cases = {
      {"unknown alias", unknown_alias, 1, "Unknown database alias \"NOPE\""},
      {"a path", Params("../SECRET.DBF"), 2, "Table name \"../SECRET.DBF\" refused: file name with a path separator"},
      {"a Windows path", Params("..\\SECRET.DBF"), 2,
       "Table name \"..\\x5CSECRET.DBF\" refused: file name with a path separator"},
      {"dot dot", Params(".."), 2, "Table name \"..\" refused: not a file name: .."},
      {"a link", Params("LINK.DBF"), 2, "Table LINK.DBF refused: it is a link"},
      {"a link beside it", Params("MEMO.DBF"), 2, "Table MEMO.DBF refused: MEMO.FPT is a link"},
      {"missing", Params("NOPE.DBF"), 3, "Table NOPE.DBF does not exist in database FILES"},
      {"damaged", Params("BAD.DBF"), 4, "Table BAD.DBF has version 0x74, which this engine does not read"},
      {"unknown index", Params("PEOPLE.DBF", "NOSUCH"), 5, "Index NOSUCH not found for table PEOPLE.DBF"},
      {"index path", Params("PEOPLE.DBF", "../PEOPLE.MXI"), 2,
       "Index name \"../PEOPLE.MXI\" refused: file name with a path separator"},
      {"bad epoch", bad_epoch, 6, "Epoch 50 is not a year from 100 to 2999"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    TMvTableInfo info;
    EXPECT_EQ(c->Use(k.params, info), 0);
    EXPECT_EQ(info.WorkArea, 0);
    EXPECT_EQ(info.ErrorCode, k.code);
    EXPECT_EQ(info.ErrorMessage, k.message);
    EXPECT_TRUE(info.Indexes.empty());
  }
  EXPECT_TRUE(captured.Has("#2 0469 Use of FILES/NOPE.DBF failed (3): Table NOPE.DBF does not exist in database FILES"));
  // Nothing stays open: no current table, and the refused opens hold nothing another client needs.
  EXPECT_EQ(errors, std::vector<std::string>{});
  EXPECT_EQ(c->RecCount(), 0);
  EXPECT_EQ(errors, std::vector<std::string>{"MarvekConnection.RecCount|RecCount"});
  TMvTableInfo info;
  TMvUseParams people = Params("PEOPLE.DBF");
  people.OpenMode = 2;
  EXPECT_EQ(holder->Use(people, info), 1) << info.ErrorMessage;
  EXPECT_EQ(c->Use(Params("PEOPLE.DBF"), info), 0);
  EXPECT_EQ(info.ErrorCode, 4);
  EXPECT_EQ(info.ErrorMessage, "Table PEOPLE.DBF is opened exclusively by another work area");
}

// The way a table posts a new record: append (which locks it), fill the image, put, commit, unlock.
TEST_F(WorkAreaTest, ARecordIsAppendedAndPostedUnderALockThatASecondClientIsRefused) {
  MakeTable("LOG.DBF", "TIMESTAMP,C,30,0;EVENT,C,80,0;USER,C,40,0;OPMERKING,C,160,0", 0);
  StartWithData();
  auto a = Connect();
  auto b = Connect();
  TMvTableInfo info;
  ASSERT_EQ(a->Use(Params("LOG.DBF"), info), 1);
  const int size = info.RecordSize;
  ASSERT_EQ(size, 311);
  EXPECT_EQ(a->AppendBlank(), 1);
  EXPECT_EQ(a->RecNo(), 1);
  EXPECT_EQ(a->RecCount(), 1);
  std::string image(static_cast<size_t>(size), '?');
  ASSERT_EQ(a->GetRecord(image.data(), size), size);
  EXPECT_EQ(image, std::string(static_cast<size_t>(size), ' '));
  image.replace(1, 30, PadRight("07-12-2026 10:00:00", 30));
  image.replace(31, 80, PadRight("Login ok", 80));
  image.replace(111, 40, PadRight("demo", 40));
  a->PutRecord(image.data(), size);
  a->Commit();

  b->SetLockTimeOut(0);  // one attempt, no wait
  ASSERT_EQ(b->Use(Params("LOG.DBF"), info), 1);
  EXPECT_FALSE(b->Rlock(1));
  a->Unlock(1);
  EXPECT_TRUE(b->Rlock(1));
  EXPECT_EQ(b->GetTrimString("EVENT"), "Login ok");
  EXPECT_EQ(b->GetTrimString("user"), "demo");
  const char* remark = "Permission = UPLOAD";
  b->Replace("OPMERKING", 1024, remark);
  b->Commit();
  a->SetLockTimeOut(0);
  EXPECT_FALSE(a->Rlock(1));
  b->Unlock(1);
  EXPECT_EQ(a->Go(1), 1);
  EXPECT_EQ(a->GetTrimString("OPMERKING"), "Permission = UPLOAD");
  EXPECT_TRUE(a->Rlock(1));
  EXPECT_EQ(errors, std::vector<std::string>{});
  // A record image of the wrong size is refused before a byte of it is stored.
  a->PutRecord(image.data(), size - 1);
  EXPECT_TRUE(captured.WaitFor("0499 PutRecord refused: PutRecord of 310 bytes, the record of LOG has 311"));
  EXPECT_EQ(a->GetTrimString("OPMERKING"), "Permission = UPLOAD");
}

TEST_F(WorkAreaTest, MemoContentsGoInWholeAndComeBackWhole) {
  MakeTable("NOTES.DBF", "ID,N,4,0;NOTE,M,10,0", 1);
  StartWithData();
  auto c = Connect();
  TMvTableInfo info;
  ASSERT_EQ(c->Use(Params("NOTES.DBF"), info), 1);
  c->Go(1);
  ASSERT_TRUE(c->Rlock(1));
  std::string text;
  for (int i = 0; i < 5000; ++i) text += static_cast<char>('a' + i % 26);
  EXPECT_EQ(c->PutBlob("NOTE", text.data(), static_cast<int>(text.size())), 5000);
  EXPECT_EQ(c->GetBlobLength("NOTE"), 5000);
  std::string back(6000, '\0');
  EXPECT_EQ(c->GetBlob("NOTE", back.data(), 6000), 5000);
  EXPECT_EQ(back.substr(0, 5000), text);
  EXPECT_EQ(c->GetMemo("NOTE", 0), text);
  EXPECT_EQ(c->PutBlob("NOTE", "", 0), 0);
  EXPECT_EQ(c->GetBlobLength("NOTE"), 0);
  EXPECT_EQ(errors, std::vector<std::string>{});
}

TEST_F(WorkAreaTest, PutBlobStreamsThatDoNotAddUpAreRefused) {
  MakeTable("NOTES.DBF", "ID,N,4,0;NOTE,M,10,0", 1);
  StartWithData();
  auto c = LoggedIn();
  EXPECT_EQ(c->Call("0469", Pad("FILES", 255) + Pad("NOTES.DBF", 255) + "03" + Pad("", 255) + "N" + Pad("", 255) +
                                "07BC" "0000" "0000" "NYNNNN" "1").substr(0, 4), "0001");
  EXPECT_EQ(c->Call("0502", "1"), "Y");
  struct Case {
    std::string code, payload, log;
  } cases[] = {
      {"0624", "", "0624 PutBlobResult refused: no PutBlob to answer for"},
      {"0498", "NOTE      0000000Aabc", "0498 PutBlob refused: PutBlob announces 10 bytes and sends 3"},
      {"0624", "", "0624 PutBlobResult refused: no PutBlob to answer for"},
      {"0498", "NOTE      0000", "0498 PutBlob refused: PutBlob length: the request ends 4 bytes short"},
      {"0498", "NOPE      00000001x", "0498 PutBlob failed: Field NOPE does not exist in NOTES"},
      {"0501", "ID        0007x", "0501 Replace failed: Unknown value type code 7 for field ID"},
      {"0501", "ID        0001ab", "0501 Replace failed: Replace of field ID needs 4 value bytes, not 2"},
      {"0501", "NOPE      0400abc", "0501 Replace failed: Field NOPE does not exist in NOTES"},
      {"0501", "ID      00", "0501 Replace refused: Replace type code: the request ends 4 bytes short"},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(c->Call(k.code, k.payload), "") << k.log;
    EXPECT_TRUE(captured.Has("#1 " + k.log)) << k.log << "\n" << captured.Lines().back();
  }
  EXPECT_EQ(c->Call("0498", "NOTE      00000003abc"), "Y");
  EXPECT_EQ(c->Call("0624", ""), "00000003");
  EXPECT_EQ(c->Call("0624", ""), "");  // asked once
}

TEST_F(PeopleTest, FieldsAndValuesReadAsTheirTypesSay) {
  auto c = OpenPeople();
  EXPECT_EQ(c->FieldName(2), "CITY");
  EXPECT_EQ(c->FieldType("age"), "N");
  EXPECT_EQ(c->FieldWidth("CITY"), 15);
  EXPECT_EQ(c->FieldDecimals("AGE"), 0);
  EXPECT_EQ(c->FieldOffset("AGE"), 37);
  c->Go(3);
  EXPECT_EQ(c->GetTrimString("NAME"), "Cees");
  EXPECT_EQ(c->GetInteger("AGE"), 51);
  EXPECT_EQ(c->GetDouble("AGE"), 51.0);
  EXPECT_EQ(c->EvalTest("AGE / 4"), 2);
  EXPECT_EQ(c->EvalNumeric("AGE / 4"), 12.75);
  EXPECT_EQ(c->EvalString("UPPER(CITY)"), "UTRECHT        ");
  EXPECT_TRUE(c->EvalLogical("AGE > 50"));
  ASSERT_TRUE(c->Rlock(3));
  int32_t age = -7;
  c->Replace("AGE", 1, &age);
  EXPECT_EQ(c->GetInteger("AGE"), -7);
  double years = 41.0;
  c->Replace("AGE", 8, &years);
  EXPECT_EQ(c->GetTrimString("AGE"), "41");
  EXPECT_EQ(errors, std::vector<std::string>{});
  EXPECT_EQ(c->FieldWidth("NOPE"), 0);
  EXPECT_EQ(errors, std::vector<std::string>{"MarvekConnection.FieldWidth|FieldWidth"});

  // Floats go out with ".", and the fraction of OrderPosSet is read with either separator.
  auto raw = LoggedIn();
  raw->Call("0469", Pad("FILES", 255) + Pad("PEOPLE.DBF", 255) + "03" + Pad("", 255) + "N" + Pad("", 255) +
                        "07BC" "0000" "0000" "NYNNNN" "1");
  EXPECT_EQ(raw->Call("0544", "1/8"), "0.125");
  EXPECT_EQ(raw->Call("0544", "10^20"), "1e+20");
  EXPECT_EQ(raw->Call("0558", "0,5"), "Y");
  EXPECT_EQ(raw->Call("0500", ""), "2");
  EXPECT_EQ(raw->Call("0558", "1.0"), "Y");
  EXPECT_EQ(raw->Call("0500", ""), "3");
  EXPECT_EQ(raw->Call("0558", "half"), "");
  EXPECT_TRUE(captured.WaitFor("0558 OrderPosSet refused: OrderPosSet: cannot read \"half\""));
}

TEST_F(PeopleTest, OrdersSeeksAndScopes) {
  auto c = OpenPeople();
  EXPECT_EQ(c->IndexOrd(), 0);
  EXPECT_EQ(c->TagArea("city"), 2);
  EXPECT_EQ(c->SetOrder(2), 0);
  EXPECT_EQ(c->IndexOrd(), 2);
  EXPECT_EQ(c->IndexKey(), "UPPER(CITY)");
  EXPECT_EQ(c->IndexKeyField(), "CITY");
  EXPECT_EQ(c->IndexCondition(), "AGE > 17");
  EXPECT_EQ(c->IndexType(), 2);
  EXPECT_EQ(c->TagName(1), "NAME");
  EXPECT_EQ(c->IndexName(1), "PEOPLE.MXI");  // never the server's folder
  EXPECT_EQ(c->SysProp(3000, 0), 2);
  EXPECT_EQ(c->SysProp(3002, 2), 1);
  EXPECT_EQ(c->Count(), 1);  // unique on UPPER(CITY), adults only: one Utrecht
  EXPECT_EQ(c->SetOrder(1), 2);
  EXPECT_TRUE(c->Seek("Bram"));
  EXPECT_TRUE(c->Found());
  EXPECT_EQ(c->RecNo(), 2);
  EXPECT_FALSE(c->Seek("Zoe"));
  EXPECT_FALSE(c->Found());
  EXPECT_TRUE(c->Eof());
  EXPECT_TRUE(c->SetScope("B", "C"));
  EXPECT_EQ(c->GetScope(0), "B");
  EXPECT_EQ(c->GetScope(1), "C");
  EXPECT_EQ(c->Count(), 2);
  c->GoTop();
  EXPECT_EQ(c->RecNo(), 2);
  EXPECT_TRUE(c->SetScope("", ""));
  int32_t seen = 0;
  EXPECT_EQ(c->QueryRowCount("AGE > 20", seen), 2);
  EXPECT_EQ(c->DBFilter(), "AGE > 20");
  EXPECT_EQ(c->QueryTest("AGE >"), -1);
  EXPECT_EQ(c->QueryTest("AGE"), 0);
  c->SetOrder(0);
  EXPECT_FALSE(c->SetScope("A", "B"));  // no scope in the natural order
  EXPECT_EQ(errors, std::vector<std::string>{});
}

TEST_F(PeopleTest, IndexFilesAreOpenedOnlyBesideTheirTable) {
  MakePeople();
  {
    xbase::TWorkAreaSet set;
    set.Use(data + "/PEOPLE.DBF", "", 2, 3, 1);
    set.IndexTag(data + "/EXTRA.MXI", "BYAGE", "AGE", "", false, false);
  }
  fs::create_directory(dir.File("other"));
  fs::copy_file(data + "/EXTRA.MXI", dir.File("other/OTHER.MXI"));
  fs::create_symlink("../other/OTHER.MXI", data + "/LINKED.MXI");
  auto config = AreaConfig();
  config.aliases.Set("OTHER", dir.File("other"));
  Start(config);
  auto c = Connect();
  TMvTableInfo info;
  ASSERT_EQ(c->Use(Params("PEOPLE.DBF"), info), 1);
  c->SetDatabaseAlias("FILES");
  EXPECT_EQ(c->IndexOpen("EXTRA"), 3);
  EXPECT_EQ(c->TagName(3), "BYAGE");
  c->SetDatabaseAlias("OTHER");
  EXPECT_EQ(c->IndexOpen("OTHER.MXI"), 0);
  c->SetDatabaseAlias("");
  EXPECT_EQ(c->IndexOpen("LINKED.MXI"), 0);
  EXPECT_EQ(c->IndexOpen("../other/OTHER.MXI"), 0);
  EXPECT_EQ(c->IndexOpen("NONE"), 0);
  EXPECT_EQ(errors, std::vector<std::string>(4, "MarvekConnection.IndexOpen|IndexOpen"));
  for (const char* line : {"IndexOpen refused: IndexOpen: index files are opened beside their table, not in database OTHER",
                           "IndexOpen refused: Index LINKED.MXI refused: it is a link",
                           "IndexOpen refused: Index name \"../other/OTHER.MXI\" refused: file name with a path separator",
                           "IndexOpen refused: IndexOpen: no index file NONE"})
    EXPECT_TRUE(captured.Has(std::string("#1 0620 ") + line)) << line;
  c->CloseIndexes();
  EXPECT_EQ(c->SysProp(3000, 0), 2);  // the table's own orders stay
}

TEST_F(WorkAreaTest, UseExOpensBesideTheLastUseAndNamesStayPlain) {
  MakeTable("A.DBF", "X,C,5,0", 2);
  MakeTable("B.DBF", "X,C,5,0", 3);
  auto config = AreaConfig();
  config.aliases.Set("OTHER", dir.File("files"));
  Start(config);
  auto c = Connect();
  // Two databases and no Use yet: UseEx cannot know which one is meant.
  EXPECT_EQ(c->UseEx("B.DBF", "", 0, 3, 1), 0);
  TMvTableInfo info;
  ASSERT_EQ(c->Use(Params("A.DBF"), info), 1);
  EXPECT_EQ(c->UseEx("B.DBF", "bee", 0, 3, 1), 2);
  EXPECT_EQ(c->CurrentWorkArea(), 1);
  EXPECT_EQ(c->RecCount(), 2);  // still A
  EXPECT_EQ(c->Alias(2), "BEE");
  EXPECT_EQ(c->UseEx("../A.DBF", "", 0, 3, 1), 0);
  EXPECT_EQ(errors, std::vector<std::string>(2, "MarvekConnection.UseEx|UseEx"));
  EXPECT_TRUE(captured.Has("#1 0467 UseEx refused: no database chosen yet: open a table with Use first"));
  EXPECT_TRUE(captured.Has("#1 0467 UseEx refused: Table name \"../A.DBF\" refused: file name with a path separator"));
}

TEST_F(WorkAreaTest, RequestsThatDoNotReadAreRefusedAndTheSessionStaysInStep) {
  MakeTable("A.DBF", "X,C,5,0", 2);
  StartWithData();
  auto c = LoggedIn();
  const std::string use = Pad("FILES", 255) + Pad("A.DBF", 255) + "03" + Pad("", 255) + "N" + Pad("", 255) + "07BC" "0000" "0000" "NYNNNN" "1";
  struct Case {
    std::string code, payload, log;
  } cases[] = {
      {"0469", use.substr(0, 600), "0469 Use refused: Use password: the request ends 167 bytes short"},
      {"0469", use.substr(0, use.size() - 1), "0469 Use refused: Use commit level: cannot read \"\""},
      {"0469", use + "x", "0469 Use refused: Use commit level: cannot read \"1x\""},
      {"0469", use.substr(0, 510) + "X3" + use.substr(512), "0469 Use refused: Use open mode: cannot read \"X\""},
      {"0493", "1A", "0493 Go refused: Go: 8 hexadecimal digits expected"},
      {"0504", "00000001", "0504 Select refused: Select: 4 hexadecimal digits expected"},
      {"0507", "00A", "0507 SetOrder refused: SetOrder: 4 hexadecimal digits expected"},
      {"0509", "-1", "0509 Skip refused: Skip: 8 hexadecimal digits expected"},
      {"0502", "one", "0502 Rlock refused: Rlock: cannot read \"one\""},
      {"0508", "YN", "0508 SetDeleted refused: switch: 1 bytes more than the request holds"},
      {"0563", "000003E8", "0563 SysProp failed: System property 1000 is not supported"},
      {"0473", "", "0473 AppendBlank failed: No table is open in work area 0"},
      {"0626", "NN1110000003200000000", "0626 TraverseTable failed: No table is open in work area 0"},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(c->Call(k.code, k.payload), "") << k.log;
    EXPECT_TRUE(captured.Has("#1 " + k.log)) << k.log << "\n" << captured.Lines().back();
  }
  EXPECT_EQ(c->Call("0469", use).substr(0, 12), "0001" "00000002");
  EXPECT_EQ(c->Call("0563", "000003F2N"), "");
  EXPECT_TRUE(captured.Has("#1 0563 SysProp refused: SysProp 1010 takes no value"));
  EXPECT_EQ(c->Call("0563", "000003EB" "Y"), "00000000");  // 1003 sets Exact, answers the old value
  EXPECT_EQ(c->Call("0563", "000003EA"), "00000001");       // 1002 reads it
  EXPECT_EQ(c->Call("0470", ""), "2");
}

TEST_F(WorkAreaTest, AClientThatGoesReleasesItsTablesAndLocks) {
  MakeTable("A.DBF", "X,C,5,0", 2);
  StartWithData();
  auto holder = LoggedIn();
  ASSERT_EQ(holder->Call("0469", Pad("FILES", 255) + Pad("A.DBF", 255) + "23" + Pad("", 255) + "N" + Pad("", 255) +
                                     "07BC" "0000" "0000" "NYNNNN" "1").substr(0, 4),
            "0001");
  auto c = Connect();
  TMvTableInfo info;
  EXPECT_EQ(c->Use(Params("A.DBF"), info), 0);
  EXPECT_EQ(info.ErrorMessage, "Table A.DBF is opened exclusively by another work area");
  // A broken frame drops the holder alone; its exclusive open goes with it.
  EXPECT_TRUE(holder->Send("this is not a frame header"));
  EXPECT_TRUE(holder->WaitClosed());
  ASSERT_TRUE(captured.WaitFor("#1 dropped: malformed frame header"));
  EXPECT_EQ(c->Use(Params("A.DBF"), info), 1) << info.ErrorMessage;
  ASSERT_TRUE(c->Rlock(1));

  auto other = LoggedIn();
  other->Call("0469", Pad("FILES", 255) + Pad("A.DBF", 255) + "03" + Pad("", 255) + "N" + Pad("", 255) +
                          "07BC" "0000" "0000" "NYNNNN" "1");
  other->SendRequest("0577", "0");
  EXPECT_EQ(other->Call("0502", "1"), "N");
  c->SetActive(false);  // logs out and closes; the server ends the session and its locks
  ASSERT_TRUE(captured.WaitFor("#2 closed by the client"));
  EXPECT_EQ(other->Call("0502", "1"), "Y");
}

TEST_F(WorkAreaTest, LogoutReleasesTheTablesAndLocksOfItsLogin) {
  MakeTable("A.DBF", "X,C,5,0", 2);
  StartWithData();
  const std::string use_shared = Pad("FILES", 255) + Pad("A.DBF", 255) + "03" + Pad("", 255) + "N" + Pad("", 255) +
                                 "07BC" "0000" "0000" "NYNNNN" "1";
  auto holder = LoggedIn();
  ASSERT_EQ(holder->Call("0469", use_shared).substr(0, 4), "0001");
  ASSERT_EQ(holder->Call("0502", "1"), "Y");
  auto other = LoggedIn();
  ASSERT_EQ(other->Call("0469", use_shared).substr(0, 4), "0001");
  other->SendRequest("0577", "0");
  EXPECT_EQ(other->Call("0502", "1"), "N");

  EXPECT_EQ(holder->Call("0465", Pad("PORTAL", 10)), "Y");  // the connection stays open
  EXPECT_EQ(other->Call("0502", "1"), "Y");
  // A later login on the same connection starts without the tables of the one before.
  ASSERT_TRUE(holder->Login("clerk1", "secret"));
  EXPECT_EQ(holder->Call("0504", "0001"), "0000");
  EXPECT_EQ(holder->Call("0500", ""), "");
  EXPECT_TRUE(captured.Has("#1 0500 RecNo failed: No table is open in work area 1"));
}

TEST_F(WorkAreaTest, ASessionOpensAtMostMaxWorkAreasTables) {
  MakeTable("A.DBF", "X,C,5,0", 1);
  auto config = AreaConfig();
  config.max_work_areas = 3;
  Start(config);
  auto c = Connect();
  TMvTableInfo info;
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(c->Use(Params("A.DBF"), info), n);
  EXPECT_EQ(c->Alias(3), "A_3");
  EXPECT_EQ(c->Use(Params("A.DBF"), info), 0);
  EXPECT_EQ(info.ErrorCode, 7);
  EXPECT_EQ(info.ErrorMessage, "Too many tables open: a session may have 3 at once");
  EXPECT_EQ(c->UseEx("A.DBF", "", 0, 3, 1), 0);
  EXPECT_EQ(errors, std::vector<std::string>{"MarvekConnection.UseEx|UseEx"});
  // Closing one makes room again, in the number that came free.
  c->Select(2);
  c->Close();
  EXPECT_EQ(c->Use(Params("A.DBF"), info), 2);
  EXPECT_EQ(c->Alias(2), "A_4");
}

}  // namespace
}  // namespace tavrik::testing
