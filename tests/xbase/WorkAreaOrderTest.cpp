// Orders through work areas: tags made and listed, navigation in key order with hidden records,
// seeks under Exact and SoftSeek, scopes and positions.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/xbase/PeopleTable.h"
#include "xbase/ExprError.h"
#include "xbase/IndexError.h"
#include "xbase/IndexFile.h"

namespace tavrik::xbase::testing {
namespace {

using tavrik::testing::TempDir;

class Orders : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = MakePeople(dir_);
    set_.Use(path_, "", 0, 2, 1);
  }
  // Makes the tags most tests use, in the table's own index file; natural order afterwards.
  void MakeTags() {
    set_.IndexTag("", "NAME", "NAME", "", false, false);                 // 1
    set_.IndexTag("", "NAMED", "NAME", "", false, true);                 // 2
    set_.IndexTag("", "UNAMEU", "UPPER(NAME)", "", true, false);         // 3
    set_.IndexTag("", "ACTIVE", "NAME", "ACTIVE", false, false);         // 4
    set_.IndexTag("", "AMOUNT", "AMOUNT", "", false, false);             // 5
    set_.IndexTag("", "BORN", "BORN", "", false, false);                 // 6
    set_.IndexTag("", "CITYNAME", "CITY + UPPER(NAME)", "", false, true);  // 7
    set_.SetOrder(0);
  }

  TempDir dir_;
  std::string path_;
  TWorkAreaSet set_;
};

TEST_F(Orders, TagsAreListedWithTheirFacts) {
  EXPECT_EQ(set_.SysProp(3000, 0), 0);
  EXPECT_EQ(set_.IndexTag("", "NAME", "NAME", "", false, false), 1);
  EXPECT_EQ(set_.IndexOrd(), 1);
  EXPECT_EQ(set_.IndexTag("", "Amt", "AMOUNT", "ACTIVE", true, true), 2);
  EXPECT_EQ(set_.IndexTag("cities", "CITY", "UPPER(CITY)", "", false, false), 3);
  EXPECT_EQ(set_.SysProp(3000, 0), 3);

  EXPECT_EQ(set_.SetOrder(2), 3);  // answers the order current before
  EXPECT_EQ(set_.IndexOrd(), 2);
  EXPECT_EQ(set_.TagName(0), "AMT");
  EXPECT_EQ(set_.IndexKey(), "AMOUNT");
  EXPECT_EQ(set_.IndexKeyField(), "AMOUNT");
  EXPECT_EQ(set_.IndexCondition(), "ACTIVE");
  EXPECT_EQ(set_.IndexType(), 2);
  EXPECT_EQ(set_.SysProp(3002, 0), 1);
  EXPECT_EQ(set_.SysProp(3002, 1), 0);

  EXPECT_EQ(set_.SetOrder(3), 2);
  EXPECT_EQ(set_.IndexKey(), "UPPER(CITY)");
  EXPECT_EQ(set_.IndexKeyField(), "CITY");
  EXPECT_EQ(set_.IndexCondition(), "");
  EXPECT_EQ(set_.IndexType(), 1);
  EXPECT_EQ(set_.IndexName(3), dir_.File("cities.MXI"));
  EXPECT_EQ(set_.IndexName(1), dir_.File("PEOPLE.MXI"));
  EXPECT_EQ(set_.TagName(1), "NAME");
  EXPECT_EQ(set_.TagName(4), "");
  EXPECT_EQ(set_.TagArea("amt"), 2);
  EXPECT_EQ(set_.TagArea("CITY"), 3);
  EXPECT_EQ(set_.TagArea("NOSUCH"), 0);

  // Any order's facts without making it current.
  EXPECT_EQ(set_.IndexKey(2), "AMOUNT");
  EXPECT_EQ(set_.IndexCondition(2), "ACTIVE");
  EXPECT_EQ(set_.IndexType(2), 2);
  EXPECT_EQ(set_.IndexKeyField(1), "NAME");
  EXPECT_EQ(set_.IndexKey(4), "");
  EXPECT_EQ(set_.IndexOrd(), 3);

  EXPECT_EQ(set_.SetOrder(0), 3);
  EXPECT_EQ(set_.IndexKey(), "");
  EXPECT_EQ(set_.IndexType(), 0);
  EXPECT_EQ(set_.TagName(0), "");
  ExpectError([&] { set_.SetOrder(4); }, "Order 4 does not exist in PEOPLE");
  ExpectError([&] { set_.SetOrder(-1); }, "Order -1 does not exist in PEOPLE");
  ExpectError([&] { set_.SysProp(3002, 9); }, "Order 9 does not exist in PEOPLE");
  EXPECT_EQ(set_.IndexOrd(), 0);
}

TEST_F(Orders, BadTagsAreRefusedAndLeaveNothingBehind) {
  struct Case {
    const char* what;
    std::string file, tag, key, condition;
    std::string error;
  } cases[] = {
      {"unknown field", "", "T", "NOSUCH", "", "Unknown field: NOSUCH"},
      {"condition not logical", "", "T", "NAME", "CITY", "For-condition of tag T is not logical: CITY"},
      {"bad name", "", "1T", "NAME", "", "Invalid tag name: \"1T\""},
      {"key of no fixed length", "", "T", "REPLICATE(NAME, AMOUNT)", "",
       "Key length cannot be determined before evaluation: REPLICATE(NAME, AMOUNT)"},
      {"new file, bad key", "other", "T", "NAME +", "", "Syntax error at position 7: unexpected end of expression"},
  };
  for (const Case& c : cases) {
    try {
      set_.IndexTag(c.file, c.tag, c.key, c.condition, false, false);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), c.error) << c.what;
    }
  }
  // A file made for a tag that could not be made is not left behind; one that was there stays.
  EXPECT_FALSE(std::filesystem::exists(dir_.File("PEOPLE.MXI")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("other.MXI")));
  TIndexFile::Create(dir_.File("empty.MXI"), set_.CurrentArea().Table().Structure())->Flush();
  ExpectError<EExprError>([&] { set_.IndexTag("empty", "T", "NOSUCH", "", false, false); }, "Unknown field: NOSUCH");
  EXPECT_TRUE(std::filesystem::exists(dir_.File("empty.MXI")));
  EXPECT_EQ(set_.SysProp(3000, 0), 0);
  EXPECT_EQ(set_.IndexOrd(), 0);
}

struct TWalkCase {
  const char* tag;
  bool deleted_hidden;
  TRecnos expected;
};

TEST_F(Orders, NavigationFollowsTheCurrentOrder) {
  MakeTags();
  set_.Go(6);
  set_.Delete();
  const TWalkCase cases[] = {
      {"NAME", false, {5, 3, 2, 6, 1, 4}},
      {"NAME", true, {5, 3, 2, 1, 4}},
      {"NAMED", false, {4, 1, 6, 2, 3, 5}},
      {"NAMED", true, {4, 1, 2, 3, 5}},
      {"UNAMEU", false, {5, 3, 2, 1}},
      {"ACTIVE", false, {3, 6, 1, 4}},
      {"ACTIVE", true, {3, 1, 4}},
      {"AMOUNT", false, {6, 2, 4, 1, 5, 3}},
      {"BORN", false, {4, 3, 1, 6, 2, 5}},
      {"CITYNAME", false, {1, 6, 3, 4, 2, 5}},
  };
  for (const TWalkCase& c : cases) {
    SCOPED_TRACE(std::string(c.tag) + (c.deleted_hidden ? " deleted hidden" : ""));
    set_.SetDeleted(c.deleted_hidden);
    set_.SetOrder(set_.TagArea(c.tag));
    EXPECT_EQ(Walk(set_), c.expected);
    EXPECT_EQ(WalkBack(set_), c.expected);
    EXPECT_EQ(set_.Count(), int(c.expected.size()));
  }
  // Past either end as in the natural order: the phantom record, and the first with Bof.
  set_.SetDeleted(false);
  set_.SetOrder(set_.TagArea("NAME"));
  set_.GoBottom();
  set_.Skip(1);
  EXPECT_TRUE(set_.Eof());
  EXPECT_EQ(set_.RecNo(), 7);
  set_.Skip(-1);
  EXPECT_EQ(set_.RecNo(), 4);
  set_.GoTop();
  set_.Skip(-1);
  EXPECT_TRUE(set_.Bof());
  EXPECT_EQ(set_.RecNo(), 5);
  // Changing the order keeps the position.
  set_.Go(2);
  set_.SetOrder(set_.TagArea("AMOUNT"));
  EXPECT_EQ(set_.RecNo(), 2);
  set_.Skip(1);
  EXPECT_EQ(set_.RecNo(), 4);
}

struct TSeekCase {
  const char* tag;
  std::string key;
  bool exact, soft;
  int recno;  // 7 = the end
  bool found;
};

TEST_F(Orders, SeekHonoursExactAndSoftSeek) {
  MakeTags();
  const TSeekCase cases[] = {
      {"NAME", "Jones", false, false, 2, true},
      {"NAME", "Jo", false, false, 2, true},
      {"NAME", "Jonesy", false, false, 7, false},
      {"NAME", "Jonesy", false, true, 1, false},
      {"NAME", "zz", false, true, 7, false},
      {"NAME", "Jo", true, false, 7, false},
      {"NAME", "Jo", true, true, 2, false},
      {"NAME", "Jones", true, false, 2, true},
      {"NAMED", "Jones", false, false, 6, true},
      {"NAMED", "Jonesy", false, true, 6, false},
      {"NAMED", "Aa", false, true, 7, false},
      {"UNAMEU", "SMITH", false, false, 1, true},
      {"UNAMEU", "smith", false, false, 7, false},
      {"AMOUNT", "100", false, false, 1, true},
      {"AMOUNT", "99.5", false, true, 1, false},
      {"AMOUNT", "1", false, false, 7, false},
      {"BORN", "1985", false, false, 1, true},
      {"BORN", "19851231", false, false, 6, true},
      {"BORN", "1985", true, false, 7, false},
      {"ACTIVE", "Jones", false, false, 6, true},
      {"ACTIVE", "Adams", false, false, 7, false},
      {"CITYNAME", "Utrecht J", false, false, 6, true},
  };
  for (const TSeekCase& c : cases) {
    SCOPED_TRACE(std::string(c.tag) + " \"" + c.key + "\" exact " + std::to_string(c.exact) + " soft " +
                 std::to_string(c.soft));
    set_.SetOrder(set_.TagArea(c.tag));
    set_.SetExact(c.exact);
    set_.SetSoftSeek(c.soft);
    set_.Go(3);
    EXPECT_EQ(set_.Seek(c.key), c.found);
    EXPECT_EQ(set_.Found(), c.found);
    EXPECT_EQ(set_.RecNo(), c.recno);
    EXPECT_EQ(set_.Eof(), c.recno == 7);
    EXPECT_FALSE(set_.Bof());
  }
}

TEST_F(Orders, SeekPassesOverHiddenRecords) {
  MakeTags();
  set_.SetOrder(set_.TagArea("NAME"));
  set_.Go(2);
  set_.Delete();  // the first Jones
  set_.SetDeleted(true);
  EXPECT_TRUE(set_.Seek("Jones"));
  EXPECT_EQ(set_.RecNo(), 6);  // the other Jones
  set_.Go(6);
  set_.Delete();
  EXPECT_FALSE(set_.Seek("Jones"));  // no visible Jones: the end, not Smith
  EXPECT_TRUE(set_.Eof());
  set_.SetSoftSeek(true);
  EXPECT_FALSE(set_.Seek("Jones"));
  EXPECT_EQ(set_.RecNo(), 1);  // the next visible key
  set_.QueryRowCount("CITY <> \"Utrecht\"");
  EXPECT_TRUE(set_.Seek("s"));
  EXPECT_EQ(set_.RecNo(), 4);
  EXPECT_FALSE(set_.Seek("S"));  // Smith of Utrecht is filtered out; smith is another key
  EXPECT_EQ(set_.RecNo(), 4);
}

TEST_F(Orders, SeekNeedsAnIndexOrder) {
  ExpectError([&] { set_.Seek("x"); }, "No index order is active in PEOPLE");
  EXPECT_FALSE(set_.Found());
  EXPECT_FALSE(set_.SetScope("A", "B"));
  EXPECT_EQ(set_.GetScope(0), "");
}

TEST_F(Orders, ScopeLimitsNavigationAndCounts) {
  MakeTags();
  set_.SetOrder(set_.TagArea("NAME"));
  EXPECT_TRUE(set_.SetScope("B", "J"));
  EXPECT_EQ(set_.RecNo(), 3);  // at the top of the scope
  EXPECT_EQ(set_.GetScope(0), "B");
  EXPECT_EQ(set_.GetScope(1), "J");
  EXPECT_EQ(Walk(set_), (TRecnos{3, 2, 6}));
  EXPECT_EQ(WalkBack(set_), (TRecnos{3, 2, 6}));
  EXPECT_EQ(set_.Count(), 3);
  set_.SetSoftSeek(true);
  EXPECT_FALSE(set_.Seek("Smith"));
  EXPECT_TRUE(set_.Eof());
  EXPECT_FALSE(set_.Seek("A"));
  EXPECT_EQ(set_.RecNo(), 3);

  EXPECT_TRUE(set_.SetScope("S", ""));  // open at the bottom
  EXPECT_EQ(Walk(set_), (TRecnos{1, 4}));
  EXPECT_EQ(set_.GetScope(1), "");
  EXPECT_TRUE(set_.SetScope("X", "Y"));  // nothing in range
  EXPECT_TRUE(set_.Eof());
  EXPECT_EQ(set_.Count(), 0);
  EXPECT_TRUE(set_.SetScope("", ""));  // removed
  EXPECT_EQ(set_.GetScope(0), "");
  EXPECT_EQ(set_.Count(), 6);

  // Each order keeps its own scope; the natural order has none.
  EXPECT_TRUE(set_.SetScope("J", "J"));
  set_.SetOrder(set_.TagArea("AMOUNT"));
  EXPECT_TRUE(set_.SetScope("50", "100"));
  EXPECT_EQ(Walk(set_), (TRecnos{2, 4, 1, 5}));
  set_.SetOrder(set_.TagArea("NAME"));
  EXPECT_EQ(Walk(set_), (TRecnos{2, 6}));
  set_.SetOrder(0);
  EXPECT_EQ(set_.Count(), 6);
  EXPECT_FALSE(set_.SetScope("A", "B"));
}

TEST_F(Orders, PositionsInTheOrder) {
  MakeTags();
  set_.SetOrder(set_.TagArea("AMOUNT"));  // 6, 2, 4, 1, 5, 3
  const TRecnos order = {6, 2, 4, 1, 5, 3};
  for (int pos = 1; pos <= 6; ++pos) {
    set_.Go(order[size_t(pos - 1)]);
    EXPECT_EQ(set_.KeyPosition(), pos);
    const double fraction = set_.OrderPosGet();
    EXPECT_EQ(int(fraction * 6), pos);
    set_.GoTop();
    set_.OrderPosSet(fraction);
    EXPECT_EQ(set_.RecNo(), order[size_t(pos - 1)]);
  }
  set_.OrderPosSet(double(2) / 6);
  EXPECT_EQ(set_.RecNo(), 2);
  set_.OrderPosSet(-1);
  EXPECT_EQ(set_.RecNo(), 6);
  set_.OrderPosSet(5);
  EXPECT_EQ(set_.RecNo(), 3);
  set_.SetScope("50", "100");  // 2, 4, 1, 5
  set_.Go(1);
  EXPECT_EQ(set_.KeyPosition(), 3);
  set_.Go(3);
  EXPECT_EQ(set_.KeyPosition(), 0);  // outside the scope
  set_.GoBottom();
  set_.Skip(1);
  EXPECT_EQ(set_.KeyPosition(), 0);
  EXPECT_EQ(set_.OrderPosGet(), 0.0);
  // A hidden record at the position gives way to the next visible one.
  set_.Go(4);
  set_.Delete();
  set_.SetDeleted(true);
  set_.OrderPosSet(0.5);  // position 2 of 4: record 4
  EXPECT_EQ(set_.RecNo(), 1);

  set_.SetOrder(0);  // natural order: the record number
  set_.Go(5);
  EXPECT_EQ(set_.KeyPosition(), 5);
  EXPECT_EQ(int(set_.OrderPosGet() * 6), 5);
  set_.OrderPosSet(0.5);
  EXPECT_EQ(set_.RecNo(), 3);
}

}  // namespace
}  // namespace tavrik::xbase::testing
