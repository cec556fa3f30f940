// TMarvekTable on marvekd (in process): batches of every size read every record once in both
// directions, record locks keep two clients apart, and edits reach the table on disk.
#include <gtest/gtest.h>

#include "tests/support/ErrorText.h"
#include "tests/tables/TableFixture.h"

namespace tavrik::testing {
namespace {

class ServerTableTest : public TableTest {
 protected:
  void SetUp() override {
    MakeTable("PEOPLE.DBF", "NAME,C,10,0;AGE,N,3,0;NOTE,M,10,0", 120, [](xbase::TWorkAreaSet& s, int i) {
      s.Replace("NAME", 1024, "P" + std::to_string(i));
      s.Replace("AGE", 1024, std::to_string(i % 100));
    });
    AddTag("PEOPLE.DBF", "BYNAME", "NAME");
    StartWithData();
  }
  std::string Stored(int record) {
    xbase::TWorkAreaSet set;
    set.Use(data + "/PEOPLE.DBF", "", 1, 3, 1);
    set.Go(record);
    return set.GetRecord();
  }
};

TEST_F(ServerTableTest, BatchesReadEveryRecordOnceEitherWay) {
  auto c = Connect();
  for (int fetch : {1, 7, 50, 500}) {
    for (TEOFAction action : {TEOFAction::eaMoveLast, TEOFAction::eaEOF}) {
      SCOPED_TRACE(fetch);
      auto t = ServerTable(*c, "PEOPLE.DBF");
      t->SetFetchCount(fetch);
      t->SetEOFAction(action);
      t->Open();
      std::vector<std::string> forward = Column(*t, "NAME"), backward;
      ASSERT_EQ(forward.size(), 120u);
      EXPECT_EQ(forward[0], "P1");
      EXPECT_EQ(forward[119], "P120");
      for (t->Last(); !t->Bof(); t->Prior()) backward.insert(backward.begin(), t->FieldByName("NAME").AsString());
      EXPECT_EQ(backward, forward);
      t->Close();
    }
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(ServerTableTest, OrderFilterScopeAndSeek) {
  auto c = Connect();
  auto t = ServerTable(*c, "PEOPLE.DBF");
  t->SetIndexName("BYNAME");
  t->Open();
  EXPECT_EQ(t->FieldByName("NAME").AsString(), "P1");
  t->Next();
  EXPECT_EQ(t->FieldByName("NAME").AsString(), "P10");
  EXPECT_EQ(t->IndexDefs().Count(), 1);
  EXPECT_EQ(t->IndexDefs()[0].Name, "BYNAME");
  EXPECT_EQ(t->IndexDefs()[0].Fields, "NAME");
  EXPECT_TRUE(t->Locate("NAME", {TVariant("P77")}, 0));  // a seek with Exact on
  EXPECT_EQ(t->RecNo(), 77);
  EXPECT_FALSE(t->Locate("NAME", {TVariant("P7")}, 0) && t->RecNo() != 7);
  EXPECT_TRUE(t->Locate("NAME", {TVariant("P11")}, loPartialKey));
  EXPECT_EQ(t->FieldByName("NAME").AsString(), "P11");
  t->SetFilter("AGE = 5");
  t->SetFiltered(true);
  EXPECT_EQ(Column(*t, "NAME"), (std::vector<std::string>{"P105", "P5"}));
  t->SetFiltered(false);
  t->SetScopeBegin("P11");
  t->SetScopeEnd("P11");
  t->SetScoped(true);
  t->First();
  EXPECT_EQ(Column(*t, "NAME"), (std::vector<std::string>{"P11", "P110", "P111", "P112", "P113", "P114", "P115",
                                                          "P116", "P117", "P118", "P119"}));
  t->Close();
  EXPECT_TRUE(errors.empty());
}

TEST_F(ServerTableTest, EditUnderALockIsRefusedToASecondClient) {
  auto a = Connect();
  auto b = Connect();
  b->SetLockTimeOut(0);
  auto ta = ServerTable(*a, "PEOPLE.DBF");
  auto tb = ServerTable(*b, "PEOPLE.DBF");
  ta->Open();
  tb->Open();
  ta->Edit();
  ta->FieldByName("NAME").SetAsString("Locked");
  EXPECT_EQ(MessageOf([&] { tb->Edit(); }), "Record Lock Failure. May be locked by another user or task.");
  EXPECT_EQ(tb->State(), TDataSetState::dsBrowse);
  ta->Post();  // posting releases every lock of the work area
  tb->Edit();
  EXPECT_EQ(tb->FieldByName("NAME").AsString(), "Locked");  // the edit starts from the stored values
  tb->Cancel();
  // A whole record added at once is stored unlocked, as a post leaves it.
  ta->AppendRecord({TVariant("Added"), TVariant(1)});
  EXPECT_EQ(ta->RecNo(), 121);
  tb->SetRecNo(121);
  tb->Edit();
  tb->FieldByName("AGE").SetValue(2);
  tb->Post();
  EXPECT_EQ(Stored(121).substr(0, 14), " Added       2");
  EXPECT_TRUE(errors.empty());
}

TEST_F(ServerTableTest, PostCancelDeleteAndMemosReachTheDisk) {
  auto c = Connect();
  auto t = ServerTable(*c, "PEOPLE.DBF");
  t->Open();
  t->SetRecNo(3);
  t->Edit();
  t->FieldByName("NAME").SetAsString("Three");
  t->FieldByName("NOTE").SetAsString("a memo\r\nof two lines");
  t->Post();
  EXPECT_EQ(Stored(3).substr(0, 14), " Three       3");
  t->Edit();
  t->FieldByName("NAME").SetAsString("Gone");
  t->Cancel();
  EXPECT_EQ(t->FieldByName("NAME").AsString(), "Three");
  EXPECT_EQ(Stored(3).substr(0, 14), " Three       3");
  t->Append();
  t->FieldByName("NAME").SetAsString("New");
  t->Post();
  EXPECT_EQ(t->RecNo(), 121);
  EXPECT_EQ(Stored(121).substr(0, 14), " New          ");
  t->SetRecNo(4);
  t->Delete();
  EXPECT_EQ(Stored(4)[0], '*');
  t->Close();
  t->Open();
  t->SetRecNo(3);
  EXPECT_EQ(t->FieldByName("NOTE").AsString(), "a memo\r\nof two lines");
  t->Close();
  EXPECT_TRUE(errors.empty());
}

TEST_F(ServerTableTest, DestroyingTheConnectionClosesItsTables) {
  auto c = Connect();
  auto t = ServerTable(*c, "PEOPLE.DBF");
  t->Open();
  c.reset();
  EXPECT_FALSE(t->Active());
  EXPECT_EQ(t->MarvekConnection(), nullptr);
  EXPECT_EQ(t->WorkArea(), 0);
  EXPECT_EQ(MessageOf([&] { t->Open(); }), "No MarvekConnection specified");
}

TEST_F(ServerTableTest, VersionNamesTheServerEngine) {
  auto c = Connect();
  auto t = ServerTable(*c, "PEOPLE.DBF");
  EXPECT_NE(t->Version().find(", TMarvekTable 6.1.0.8 "), std::string::npos);
  c->SetActive(false);
  EXPECT_EQ(t->Version().rfind("MDE ?.??.?? 32-bit, TMarvekTable 6.1.0.8 ", 0), 0u);
}

}  // namespace
}  // namespace tavrik::testing
