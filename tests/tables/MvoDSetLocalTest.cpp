// TMarvekTable on the local engine (linked into the test): the structure and its field types,
// decoding and encoding record images, moving through a ring of several buffers, bookmarks,
// calculated fields, filters, scopes, master and detail, memos, and editing read back from disk.
#include <gtest/gtest.h>

#include <fstream>

#include "core/Application.h"
#include "core/StrUtils.h"
#include "platform/FormatSettings.h"
#include "tables/MvoEnv.h"
#include "tests/support/ErrorText.h"
#include "tests/tables/TableFixture.h"

namespace tavrik::testing {
namespace {

// A data link that wants several buffers, as a grid showing five rows would.
class TGridLink : public TDataLink {
 public:
  explicit TGridLink(int rows) { SetBufferCount(rows); }
};

class LocalTableTest : public TableTest {
 protected:
  // PEOPLE.DBF: NAME C(10), AGE N(3,0), AMOUNT N(8,2) with `count` records P1.., i, i.5.
  void People(int count) {
    MakeTable("PEOPLE.DBF", "NAME,C,10,0;AGE,N,3,0;AMOUNT,N,8,2", count, [](xbase::TWorkAreaSet& s, int i) {
      s.Replace("NAME", 1024, "P" + std::to_string(i));
      s.Replace("AGE", 1024, std::to_string(i));
      s.Replace("AMOUNT", 1024, std::to_string(i) + ".5");
    });
  }
  // A table whose records are exactly these images.
  void Images(const std::string& fields, const std::vector<std::string>& images) {
    MakeTable("RAW.DBF", fields, int(images.size()),
              [&](xbase::TWorkAreaSet& s, int i) { s.PutRecord(images[size_t(i - 1)]); });
  }
  // The stored image of record `record` of `name`.
  std::string StoredRecord(const std::string& name, int record) {
    xbase::TWorkAreaSet set;
    set.Use(data + "/" + name, "", 1, 3, 1);
    set.Go(record);
    return set.GetRecord();
  }
  std::vector<std::string> Backwards(TDataSet& t, const std::string& field) {
    std::vector<std::string> out;
    for (t.Last(); !t.Bof(); t.Prior()) out.insert(out.begin(), t.FieldByName(field).AsString());
    return out;
  }
  static std::vector<std::string> Names(int from, int to) {
    std::vector<std::string> v;
    for (int i = from; i <= to; ++i) v.push_back("P" + std::to_string(i));
    return v;
  }
};

TEST_F(LocalTableTest, StructureMapsTypeLettersToFieldTypes) {
  MakeTable("TYPES.DBF", "S,C,7,0;SMALL,N,4,0;WIDE,N,5,0;DEC,N,3,1;B,B,10,0;L,L,1,0;D,D,8,0;M,M,10,0;R,F,10,2;LAST,C,2,0", 0);
  auto t = LocalTable("TYPES.DBF");
  t->Open();
  const std::vector<std::pair<std::string, TFieldType>> expected = {
      {"S", TFieldType::ftString}, {"SMALL", TFieldType::ftSmallint}, {"WIDE", TFieldType::ftFloat},
      {"DEC", TFieldType::ftFloat}, {"B", TFieldType::ftBlob},        {"L", TFieldType::ftBoolean},
      {"D", TFieldType::ftDate},    {"M", TFieldType::ftMemo},        {"LAST", TFieldType::ftString}};
  ASSERT_EQ(t->FieldCount(), int(expected.size()));  // the F field gets no field
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(t->Fields(int(i)).FieldName(), expected[i].first);
    EXPECT_EQ(t->Fields(int(i)).DataType(), expected[i].second) << expected[i].first;
  }
  EXPECT_EQ(t->FieldByName("S").Size(), 7);
  EXPECT_EQ(t->FieldByName("LAST").FieldNo(), 10);  // numbering keeps the unmapped field's place
  EXPECT_EQ(t->FieldByName("DEC").DisplayFormat, "0.0");
  EXPECT_EQ(t->FieldByName("DEC").Precision, 4);
  EXPECT_EQ(t->FieldByName("WIDE").DisplayFormat, "0");
}

TEST_F(LocalTableTest, DecodesRecordImages) {
  //                 S(5)    N(4,0)  F N(6,2) D(8)        L(1)
  // Field by field: flag, S C(5), N N(4,0), F N(6,2), D D(8), L L(1).
  Images("S,C,5,0;N,N,4,0;F,N,6,2;D,D,8,0;L,L,1,0",
         {std::string(" ") + "ABC  " + "  12" + "   1.5" + "20031105" + "T",
          std::string(" ") + "     " + "    " + "      " + "        " + " ",
          std::string(" ") + "     " + "   x" + "   1,5" + "20030005" + "t",
          std::string(" ") + "     " + "   0" + "-12.25" + "20031399" + "Y"});
  auto t = LocalTable("RAW.DBF");
  t->Open();
  struct Row {
    TVariant s, n, f, d, l;
  };
  const TVariant null = TVariant::Null();
  const std::vector<Row> rows = {
      {"ABC", 12, 1.5, TVariant::DateTime(EncodeDayNumber(2003, 11, 5)), true},
      {"", null, null, null, null},         // blanks: empty, except text, which is ""
      {"", 0, 0.0, TVariant::DateTime(0), false},  // "x" and "1,5" read as 0; month 00 is day 0
      {"", 0, -12.25, TVariant::DateTime(0), true},  // month 13 is no date: day 0
  };
  for (size_t i = 0; i < rows.size(); ++i, t->Next()) {
    SCOPED_TRACE(i + 1);
    EXPECT_EQ(t->FieldByName("S").Value(), rows[i].s);
    EXPECT_EQ(t->FieldByName("N").Value(), rows[i].n);
    EXPECT_EQ(t->FieldByName("F").Value(), rows[i].f);
    EXPECT_EQ(t->FieldByName("D").Value(), rows[i].d);
    EXPECT_EQ(t->FieldByName("L").Value(), rows[i].l);
  }
}

TEST_F(LocalTableTest, EncodesValuesIntoTheRecordImage) {
  MakeTable("ENC.DBF", "S,C,5,0;N,N,3,0;F,N,8,2;D,D,8,0;L,L,1,0;R,F,6,1;T,C,3,0", 1,
            [](xbase::TWorkAreaSet& s, int) { s.Replace("R", 1024, "9.5"); });
  platform::FormatSettings().ShortDateFormat = "m/d/yy";  // a year shown with two digits
  struct Case {
    const char* name;
    std::function<void(TMarvekTable&)> set;
    std::string image;  // after the deletion flag
  };
  const std::vector<Case> cases = {
      {"values", [](TMarvekTable& t) {
         t.FieldByName("S").SetAsString("AB");
         t.FieldByName("N").SetValue(-12);
         t.FieldByName("F").SetValue(3.5);
         t.FieldByName("D").SetValue(TVariant::DateTime(EncodeDayNumber(1950, 6, 1)));
         t.FieldByName("L").SetValue(false);
         t.FieldByName("T").SetAsString("xyz");
       }, std::string("AB   ") + "-12" + "    3.50" + "19500601" + "F" + "   9.5" + "xyz"},
      {"empty values", [](TMarvekTable& t) {
         for (const char* f : {"S", "N", "F", "D", "L"}) t.FieldByName(f).Clear();
       }, std::string(25, ' ') + "   9.5" + "xyz"},
      {"years below 100 by the epoch", [](TMarvekTable& t) {
         t.FieldByName("D").SetValue(TVariant::DateTime(EncodeDayNumber(5, 2, 3)));
       }, std::string(16, ' ') + "20050203" + " " + "   9.5" + "xyz"},
      {"85 is 1985", [](TMarvekTable& t) {
         t.FieldByName("D").SetValue(TVariant::DateTime(EncodeDayNumber(85, 2, 3)));
       }, std::string(16, ' ') + "19850203" + " " + "   9.5" + "xyz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto t = LocalTable("ENC.DBF");
    t->Open();
    t->Edit();
    c.set(*t);
    t->Post();
    t->Close();
    EXPECT_EQ(StoredRecord("ENC.DBF", 1).substr(1), c.image);
  }
}

TEST_F(LocalTableTest, ValuesThatDoNotFitRaiseAndWriteNothing) {
  MakeTable("FIT.DBF", "N,N,3,0;F,N,5,2;NEXT,C,4,0", 1, [](xbase::TWorkAreaSet& s, int) { s.Replace("NEXT", 1024, "keep"); });
  const std::string before = StoredRecord("FIT.DBF", 1);
  for (auto set : std::vector<std::function<void(TMarvekTable&)>>{
           [](TMarvekTable& t) { t.FieldByName("N").SetValue(1234); },
           [](TMarvekTable& t) { t.FieldByName("F").SetValue(123.5); },  // "123.50" is six wide
       }) {
    auto t = LocalTable("FIT.DBF");
    t->Open();
    t->Edit();
    set(*t);
    EXPECT_EQ(MessageOf([&] { t->Post(); }), "Translate error. Value out of bounds");
    EXPECT_EQ(t->State(), TDataSetState::dsEdit);
    t->Cancel();
    t->Close();
    EXPECT_EQ(StoredRecord("FIT.DBF", 1), before);
  }
}

TEST_F(LocalTableTest, DayZeroDatePostedBackKeepsItsBytes) {
  Images("D,D,8,0;S,C,3,0", {" 20030005abc"});
  auto t = LocalTable("RAW.DBF");
  t->Open();
  EXPECT_EQ(t->FieldByName("D").Value(), TVariant::DateTime(0));
  t->Edit();
  t->FieldByName("S").SetAsString("xyz");
  t->Post();
  t->Close();
  EXPECT_EQ(StoredRecord("RAW.DBF", 1), " 20030005xyz");
}

// A new record gets no byte from a record read before it, also for fields that have no field
// in the dataset.
TEST_F(LocalTableTest, NewRecordTakesNothingFromEarlierRecords) {
  MakeTable("UNB.DBF", "NAME,C,4,0;R,F,6,1;N,C,3,0", 1, [](xbase::TWorkAreaSet& s, int) {
    s.Replace("NAME", 1024, "old");
    s.Replace("R", 1024, "7.5");
    s.Replace("N", 1024, "abc");
  });
  auto t = LocalTable("UNB.DBF");
  t->AddField("NAME", TFieldType::ftString, 4);
  t->AddField("N", TFieldType::ftString, 3);
  t->AddField("CALC", TFieldType::ftInteger, 0, TFieldKind::fkCalculated);  // as many fields as the table
  t->Open();
  EXPECT_EQ(t->FieldByName("NAME").AsString(), "old");
  t->Append();
  t->FieldByName("NAME").SetAsString("new");
  t->Post();
  t->Close();
  EXPECT_EQ(StoredRecord("UNB.DBF", 2), " new       " "   ");
}

TEST_F(LocalTableTest, RingOfSeveralBuffersMovesLikeOne) {
  People(23);
  for (int rows : {1, 5}) {
    SCOPED_TRACE(rows);
    auto t = LocalTable("PEOPLE.DBF");
    TDataSource source;
    source.SetDataSet(t.get());
    TGridLink grid(rows);
    grid.SetDataSource(&source);
    t->Open();
    EXPECT_EQ(t->BufferCount(), rows);
    EXPECT_EQ(Column(*t, "NAME"), Names(1, 23));
    EXPECT_EQ(Backwards(*t, "NAME"), Names(1, 23));
    t->First();
    EXPECT_EQ(t->MoveBy(7), 7);
    EXPECT_EQ(t->RecNo(), 8);
    EXPECT_EQ(t->MoveBy(-3), -3);
    EXPECT_EQ(t->FieldByName("AGE").AsInteger(), 5);
    EXPECT_EQ(t->MoveBy(100), 18);
    EXPECT_TRUE(t->Eof());
    EXPECT_EQ(t->RecNo(), 23);
    t->SetRecNo(12);
    EXPECT_EQ(t->FieldByName("NAME").AsString(), "P12");
    const TBookmark mark = t->GetBookmark();
    t->First();
    t->GotoBookmark(mark);
    EXPECT_EQ(t->FieldByName("NAME").AsString(), "P12");
    t->Next();
    EXPECT_EQ(t->CompareBookmarks(mark, t->GetBookmark()), -1);
    EXPECT_EQ(t->CompareBookmarks(t->GetBookmark(), mark), 1);
    EXPECT_EQ(t->CompareBookmarks(mark, mark), 0);
    EXPECT_EQ(t->CompareBookmarks(TBookmark(), mark), -1);
    t->Close();
  }
}

TEST_F(LocalTableTest, BookmarksCompareByTheActiveOrder) {
  People(5);
  AddTag("PEOPLE.DBF", "BYAGE", "AGE", "", false, true);  // descending
  auto t = LocalTable("PEOPLE.DBF");
  t->SetIndexName("BYAGE");
  t->Open();
  EXPECT_EQ(t->FieldByName("NAME").AsString(), "P5");
  const TBookmark first = t->GetBookmark();
  t->Next();
  EXPECT_EQ(t->CompareBookmarks(first, t->GetBookmark()), -1);  // P5 comes before P4 here
  EXPECT_EQ(t->CompareBookmarks(t->GetBookmark(), first), 1);
  EXPECT_EQ(MessageOf([&] { t->GotoBookmark(TBookmark("\x63\0\0\0", 4)); }), "Invalid bookmark");
}

TEST_F(LocalTableTest, CalculatedFieldsAndRecordFilter) {
  People(10);
  auto t = LocalTable("PEOPLE.DBF");
  t->AddField("NAME", TFieldType::ftString, 10);
  t->AddField("AGE", TFieldType::ftSmallint);
  t->AddField("DOUBLE", TFieldType::ftInteger, 0, TFieldKind::fkCalculated);
  t->OnCalcFields = [](TDataSet& d) { d.FieldByName("DOUBLE").SetValue(d.FieldByName("AGE").AsInteger() * 2); };
  t->OnFilterRecord = [](TDataSet& d, bool& accept) { accept = d.FieldByName("AGE").AsInteger() % 3 == 0; };
  t->Open();
  EXPECT_EQ(t->FieldByName("DOUBLE").AsInteger(), 2);
  t->SetFiltered(true);
  t->First();
  EXPECT_EQ(Column(*t, "DOUBLE"), (std::vector<std::string>{"6", "12", "18"}));
  EXPECT_EQ(Backwards(*t, "NAME"), (std::vector<std::string>{"P3", "P6", "P9"}));
  EXPECT_EQ(MessageOf([&] { t->FieldByName("DOUBLE").SetValue(1); }),
            "Data set must be in Edit or Insert mode to update");
}

TEST_F(LocalTableTest, EngineFilterAndScope) {
  People(30);
  AddTag("PEOPLE.DBF", "BYNAME", "NAME");
  auto t = LocalTable("PEOPLE.DBF");
  t->Open();
  t->SetFilter("AGE > 25 .OR. AGE < 3");
  t->SetFiltered(true);
  EXPECT_EQ(t->FieldByName("NAME").AsString(), "P1");
  EXPECT_EQ(Column(*t, "NAME"), (std::vector<std::string>{"P1", "P2", "P26", "P27", "P28", "P29", "P30"}));
  EXPECT_EQ(MessageOf([&] { t->SetFilter("NAME"); }), "Invalid Query Expression\r\rNAME");
  t->SetFiltered(false);
  EXPECT_EQ(Column(*t, "NAME").size(), 30u);
  t->SetIndexName("BYNAME");
  t->SetScopeBegin("P2");
  t->SetScopeEnd("P2");
  t->SetScoped(true);
  EXPECT_TRUE(t->Scoped());
  t->First();
  EXPECT_EQ(Column(*t, "NAME"), (std::vector<std::string>{"P2", "P20", "P21", "P22", "P23", "P24", "P25", "P26",
                                                          "P27", "P28", "P29"}));
  t->SetScoped(false);
  EXPECT_FALSE(t->Scoped());
  t->First();
  EXPECT_EQ(Column(*t, "NAME").size(), 30u);
  EXPECT_EQ(MessageOf([&] { t->SetIndexName("NOSUCH"); }), "Invalid IndexName value : NOSUCH");
  t->Close();
  EXPECT_EQ(MessageOf([&] { t->SetScoped(true); }), "Cannot perform this operation on a closed table");
}

TEST_F(LocalTableTest, LocateAndLookup) {
  People(20);
  AddTag("PEOPLE.DBF", "BYNAME", "UPPER(NAME)");
  auto t = LocalTable("PEOPLE.DBF");
  t->Open();
  EXPECT_TRUE(t->Locate("NAME", {TVariant("P7")}, 0));  // an expression: the order is case-blind
  EXPECT_EQ(t->RecNo(), 7);
  EXPECT_TRUE(t->Locate("name", {TVariant("p12")}, loCaseInsensitive));  // a seek on UPPER(NAME)
  EXPECT_EQ(t->RecNo(), 12);
  EXPECT_EQ(t->CurrentOrder(), 0);  // the order chosen for the seek is given back
  EXPECT_TRUE(t->Locate("NAME", {TVariant("P1")}, loPartialKey));
  EXPECT_EQ(t->RecNo(), 1);
  EXPECT_TRUE(t->Locate("AGE;AMOUNT", {TVariant(15), TVariant(15.5)}, 0));
  EXPECT_EQ(t->RecNo(), 15);
  EXPECT_FALSE(t->Locate("NAME", {TVariant("P99")}, 0));
  EXPECT_EQ(t->RecNo(), 15);  // stays where it was
  EXPECT_EQ(t->Lookup("AGE", {TVariant(4)}, "NAME"), TVariant("P4"));
  EXPECT_EQ(t->RecNo(), 4);  // without an order Lookup moves like Locate
  t->SetIndexName("BYNAME");
  t->First();
  EXPECT_EQ(t->Lookup("NAME", {TVariant("P9")}, "AMOUNT"), TVariant(9.5));
  EXPECT_EQ(t->Lookup("NAME", {TVariant("P9")}, "AGE"), TVariant(9));
  EXPECT_EQ(t->FieldByName("NAME").AsString(), "P1");  // on the order the dataset stays
  EXPECT_TRUE(t->Lookup("NAME", {TVariant("P99")}, "AGE").IsNull());
  EXPECT_TRUE(t->Lookup("NAME", {TVariant::Null()}, "AGE").IsNull());
  t->Next();
  EXPECT_EQ(t->FieldByName("NAME").AsString(), "P10");
}

TEST_F(LocalTableTest, EditPostCancelDeleteReadBackFromDisk) {
  People(3);
  auto t = LocalTable("PEOPLE.DBF");
  t->Open();
  t->Next();
  t->Edit();
  t->FieldByName("NAME").SetAsString("Changed");
  t->Post();
  EXPECT_EQ(StoredRecord("PEOPLE.DBF", 2).substr(1, 10), "Changed   ");
  t->Edit();
  t->FieldByName("NAME").SetAsString("Dropped");
  t->Cancel();
  EXPECT_EQ(t->FieldByName("NAME").AsString(), "Changed");
  EXPECT_EQ(StoredRecord("PEOPLE.DBF", 2).substr(1, 10), "Changed   ");
  t->Append();
  t->FieldByName("NAME").SetAsString("Never");
  t->Cancel();
  EXPECT_EQ(t->RecNo(), 2);  // back on the record before the append
  EXPECT_EQ(t->RecCount(), 3);
  t->Delete();
  EXPECT_EQ(StoredRecord("PEOPLE.DBF", 2)[0], '*');
  EXPECT_EQ(MessageOf([&] { t->FieldByName("NAME").SetAsString("x"); }),
            "Data set must be in Edit or Insert mode to update");
  t->AppendRecord({TVariant("Whole"), TVariant(44), TVariant(1.25)});
  EXPECT_EQ(t->RecNo(), 4);
  EXPECT_EQ(StoredRecord("PEOPLE.DBF", 4), " Whole      44    1.25");
}

TEST_F(LocalTableTest, DeleteWithHiddenDeletedRecordsMovesToTheFollower) {
  People(3);
  auto t = LocalTable("PEOPLE.DBF");
  t->Open();
  InProcessMde61().Select(t->WorkArea());
  InProcessMde61().SetDeleted(1);
  struct Restore {
    ~Restore() { InProcessMde61().SetDeleted(0); }
  } restore;
  t->Next();
  t->Delete();
  EXPECT_EQ(t->FieldByName("NAME").AsString(), "P3");
  t->First();
  EXPECT_EQ(Column(*t, "NAME"), (std::vector<std::string>{"P1", "P3"}));
  t->Last();
  t->Delete();
  EXPECT_EQ(t->FieldByName("NAME").AsString(), "P1");
  t->Delete();
  EXPECT_TRUE(t->IsEmpty());
  EXPECT_EQ(MessageOf([&] { t->Delete(); }), "Cannot perform this operation on an empty table");
}

TEST_F(LocalTableTest, MemoContentsReadOnceAndWrittenAtPost) {
  MakeTable("MEMO.DBF", "NAME,C,5,0;NOTE,M,10,0", 2, [](xbase::TWorkAreaSet& s, int i) {
    if (i == 1) s.Replace("NOTE", 3072, "first note\r\nline two");
  });
  auto t = LocalTable("MEMO.DBF");
  t->Open();
  EXPECT_EQ(t->FieldByName("NOTE").AsString(), "first note\r\nline two");
  t->Next();
  EXPECT_TRUE(t->FieldByName("NOTE").IsNull());
  t->Edit();
  t->FieldByName("NOTE").SetAsString(std::string(3000, 'm'));
  t->Post();
  t->Close();
  t->Open();
  t->Last();
  EXPECT_EQ(t->FieldByName("NOTE").AsString(), std::string(3000, 'm'));
  t->First();
  t->Edit();
  t->FieldByName("NOTE").Clear();
  t->Post();
  t->Close();
  t->Open();
  EXPECT_TRUE(t->FieldByName("NOTE").IsNull());
  EXPECT_EQ(MessageOf([&] { t->FieldByName("NOTE").SetAsString("x"); }),
            "Data set must be in Edit or Insert mode to update");
}

TEST_F(LocalTableTest, MasterAndDetail) {
  MakeTable("CUST.DBF", "ID,C,3,0", 2, [](xbase::TWorkAreaSet& s, int i) { s.Replace("ID", 1024, "C" + std::to_string(i)); });
  MakeTable("ORDERS.DBF", "ID,C,3,0;ITEM,C,5,0", 5, [](xbase::TWorkAreaSet& s, int i) {
    s.Replace("ID", 1024, i % 2 ? "C1" : "C2");
    s.Replace("ITEM", 1024, "I" + std::to_string(i));
  });
  AddTag("ORDERS.DBF", "BYID", "ID");
  auto master = LocalTable("CUST.DBF");
  auto detail = LocalTable("ORDERS.DBF");
  TDataSource source;
  source.SetDataSet(master.get());
  master->Open();
  detail->SetMasterSource(&source);
  detail->SetMasterFields("ID");
  EXPECT_EQ(MessageOf([&] { detail->Open(); }), "This operation requires an active index order");
  detail->Close();
  detail->SetIndexName("BYID");
  detail->Open();
  EXPECT_EQ(Column(*detail, "ITEM"), (std::vector<std::string>{"I1", "I3", "I5"}));
  master->Next();
  EXPECT_EQ(Column(*detail, "ITEM"), (std::vector<std::string>{"I2", "I4"}));
  detail->Append();
  EXPECT_EQ(detail->FieldByName("ID").AsString(), "C2");  // the new detail belongs to its master
  detail->Cancel();
  source.SetEnabled(false);
  detail->First();
  EXPECT_EQ(Column(*detail, "ITEM").size(), 5u);
  detail->Close();
}

TEST_F(LocalTableTest, PropertyAndOpenErrors) {
  People(1);
  auto t = LocalTable("PEOPLE.DBF");
  EXPECT_EQ(MessageOf([&] { t->CurrentOrder(); }), "Cannot perform this operation on a closed table");
  t->SetFetchCount(0);
  EXPECT_EQ(t->FetchCount(), 1);
  t->Open();
  EXPECT_EQ(MessageOf([&] { t->SetFetchCount(5); }), "Cannot perform this operation on an open table");
  EXPECT_EQ(MessageOf([&] { t->SetReadOnly(true); }), "Cannot perform this operation on an open table");
  EXPECT_EQ(MessageOf([&] { t->SetAccessMethod(TAccessMethod::amServer); }),
            "Cannot change data access method while table is open");
  t->Close();
  t->SetReadOnly(true);
  t->Open();
  EXPECT_EQ(MessageOf([&] { t->Append(); }), "Cannot modify a read-only data set");
  EXPECT_EQ(MessageOf([&] { t->Delete(); }), "Cannot modify a read-only data set");
  t->Close();

  auto missing = LocalTable("NOSUCH.DBF");
  EXPECT_EQ(MessageOf([&] { missing->Open(); }), "Table, file or directory does not exist.\rFile: " + data + "/NOSUCH.DBF");
  {
    std::ofstream(data + "/JUNK.DBF") << "not a table";
  }
  auto junk = LocalTable("JUNK.DBF");
  EXPECT_EQ(MessageOf([&] { junk->Open(); }), "Unable to open table: " + data + "/JUNK.DBF");
  auto alias = LocalTable("PEOPLE.DBF");
  alias->SetDatabaseName("NOALIAS");
  EXPECT_EQ(MessageOf([&] { alias->Open(); }), "Invalid DatabaseName value : NOALIAS");
  TComponent module;
  TApplicationRoot root(module, TRootKind::rkDataModule);
  auto* db = new TMarvekDatabase(&module);
  db->DataPathAlias = "noalias";
  db->DataPath = data;
  alias->Open();
  EXPECT_EQ(alias->FieldByName("NAME").AsString(), "P1");
  EXPECT_EQ(MessageOf([&] { alias->SetExtraIndexes({"NOFILE"}); }), "Invalid IndexName value : NOFILE");
  alias->Close();
  EXPECT_EQ(MessageOf([&] { alias->Open(); }), "Invalid IndexName value : NOFILE");
  EXPECT_FALSE(alias->Active());
  EXPECT_EQ(alias->WorkArea(), 0);
}

}  // namespace
}  // namespace tavrik::testing
