#include <gtest/gtest.h>

#include <map>
#include <random>

#include "tests/xbase/OrderTestTable.h"
#include "xbase/ExprKey.h"
#include "xbase/IndexError.h"
#include "xbase/Order.h"
#include "xbase/OrderList.h"

namespace tavrik::xbase {
namespace {

using testing::TMemTable;
using TRecnos = std::vector<uint32_t>;

TMemTable People() {
  TMemTable t({{"NAME", 'C', 10, 0, 0},
               {"CITY", 'C', 8, 0, 0},
               {"AMOUNT", 'N', 8, 2, 0},
               {"BORN", 'D', 8, 0, 0},
               {"ACTIVE", 'L', 1, 0, 0}});
  auto add = [&](const char* name, const char* city, const char* amount, const char* born, const char* active) {
    t.Append(t.Image({{"NAME", name}, {"CITY", city}, {"AMOUNT", amount}, {"BORN", born}, {"ACTIVE", active}}));
  };
  add("Smith", "Utrecht", "100", "19850704", "T");  // 1
  add("Jones", "Delft", "50", "19900101", "F");     // 2
  add("Brown", "Utrecht", "250", "19700315", "T");  // 3
  add("smith", "Leiden", "75", "", "T");            // 4
  add("Adams", "Delft", "100", "20000229", "F");    // 5
  add("Jones", "Utrecht", "10", "19851231", "T");   // 6
  return t;
}

// An index file in memory over `table`, told of the table's writes.
struct TIndexed {
  explicit TIndexed(TMemTable& table)
      : table(table),
        file(TIndexFile::Create(std::make_unique<TMemoryStorage>("people.mxi", std::make_shared<std::vector<uint8_t>>()),
                                table)) {
    table.Observe(file.get());
  }
  TIndexOrder Tag(const std::string& name, const std::string& key, const std::string& condition = "",
                  bool unique = false, bool descending = false) {
    file->CreateTag({name, key, condition, unique, descending}, table, table);
    return TIndexOrder(file, file->FindTag(name), table);
  }
  TMemTable& table;
  std::shared_ptr<TIndexFile> file;
};

TRecnos Walk(TIndexOrder& order, const TMemTable& table) {
  TRecnos out;
  for (uint32_t r = order.First(); r != 0 && out.size() <= table.Count(); r = order.Next(r, table.Record(r)))
    out.push_back(r);
  return out;
}

TRecnos WalkBack(TIndexOrder& order, const TMemTable& table) {
  TRecnos out;
  for (uint32_t r = order.Last(); r != 0 && out.size() <= table.Count(); r = order.Prior(r, table.Record(r)))
    out.insert(out.begin(), r);
  return out;
}

struct TWalkCase {
  std::string name, key, condition;
  bool unique, descending;
  TRecnos expected;
};

TEST(Order, WalksInKeyOrderBothWays) {
  TMemTable t = People();
  TIndexed ix(t);
  const std::vector<TWalkCase> cases = {
      {"NAME", "NAME", "", false, false, {5, 3, 2, 6, 1, 4}},
      {"NAMED", "NAME", "", false, true, {4, 1, 6, 2, 3, 5}},
      {"NAMEU", "NAME", "", true, false, {5, 3, 2, 1, 4}},
      {"UNAMEU", "UPPER(NAME)", "", true, false, {5, 3, 2, 1}},
      {"UNAMEUD", "UPPER(NAME)", "", true, true, {1, 2, 3, 5}},
      {"ACTIVE", "NAME", "ACTIVE", false, false, {3, 6, 1, 4}},
      {"AMOUNT", "AMOUNT", "", false, false, {6, 2, 4, 1, 5, 3}},
      {"AMOUNTD", "AMOUNT", "", false, true, {3, 5, 1, 4, 2, 6}},
      {"BORN", "BORN", "", false, false, {4, 3, 1, 6, 2, 5}},
      {"FLAG", "ACTIVE", "", false, false, {2, 5, 1, 3, 4, 6}},
      {"CITYNAME", "CITY + UPPER(NAME)", "", false, false, {5, 2, 4, 3, 6, 1}},
  };
  for (const TWalkCase& c : cases) {
    SCOPED_TRACE(c.name);
    TIndexOrder o = ix.Tag(c.name, c.key, c.condition, c.unique, c.descending);
    EXPECT_EQ(Walk(o, t), c.expected);
    EXPECT_EQ(WalkBack(o, t), c.expected);
    EXPECT_EQ(o.KeyCount(), c.expected.size());
    for (uint32_t pos = 1; pos <= c.expected.size(); ++pos) {
      uint32_t r = c.expected[pos - 1];
      EXPECT_EQ(o.RecordAt(pos), r);
      EXPECT_EQ(o.KeyPosition(r, t.Record(r)), pos);
    }
    EXPECT_EQ(o.RecordAt(0), 0u);
    EXPECT_EQ(o.RecordAt(static_cast<uint32_t>(c.expected.size() + 1)), 0u);
  }
}

TEST(Order, RelativePositionsSurviveTruncation) {
  TMemTable t({{"CODE", 'C', 4, 0, 0}});
  for (int i = 0; i < 49; ++i) t.Append(t.Image({{"CODE", std::to_string(1000 + i)}}));
  TIndexed ix(t);
  TIndexOrder o = ix.Tag("CODE", "CODE", "", false, true);
  for (uint32_t r = 1; r <= 49; ++r) {
    uint32_t position = o.KeyPosition(r, t.Record(r));
    double fraction = o.RelativePosition(r, t.Record(r));
    EXPECT_EQ(static_cast<uint32_t>(fraction * o.KeyCount()), position) << r;
    EXPECT_EQ(o.RecordAtRelative(fraction), r);
    EXPECT_EQ(o.RecordAtRelative(static_cast<double>(position) / o.KeyCount()), r);
  }
  EXPECT_EQ(o.RecordAtRelative(0), 49u);  // the first of a descending order
  EXPECT_EQ(o.RecordAtRelative(-3), 49u);
  EXPECT_EQ(o.RecordAtRelative(7), 1u);
  o.SetScope("9", "9");
  EXPECT_EQ(o.RecordAtRelative(0.5), 0u);
  EXPECT_EQ(o.RelativePosition(1, t.Record(1)), 0.0);
}

TEST(Order, RecordsOutsideTheOrderHaveNoPosition) {
  TMemTable t = People();
  TIndexed ix(t);
  TIndexOrder active = ix.Tag("ACTIVE", "NAME", "ACTIVE");
  EXPECT_EQ(active.KeyPosition(2, t.Record(2)), 0u);  // condition false
  EXPECT_FALSE(active.Contains(5, t.Record(5)));
  TIndexOrder unique = ix.Tag("NAMEU", "NAME", "", true);
  EXPECT_EQ(unique.KeyPosition(6, t.Record(6)), 0u);  // the second Jones does not show
  EXPECT_EQ(unique.KeyPosition(2, t.Record(2)), 3u);
  // Stepping from a record outside the order lands where its key would be.
  EXPECT_EQ(active.Next(2, t.Record(2)), 6u);
  EXPECT_EQ(active.Prior(2, t.Record(2)), 3u);
}

struct TSeekCase {
  std::string tag;
  std::string text;
  bool exact, soft;
  uint32_t recno;
  bool found;
};

TEST(Order, SeekHonoursExactAndSoftSeek) {
  TMemTable t = People();
  TIndexed ix(t);
  std::map<std::string, TIndexOrder> orders;
  orders.emplace("NAME", ix.Tag("NAME", "NAME"));
  orders.emplace("NAMED", ix.Tag("NAMED", "NAME", "", false, true));
  orders.emplace("UNAMEU", ix.Tag("UNAMEU", "UPPER(NAME)", "", true));
  orders.emplace("AMOUNT", ix.Tag("AMOUNT", "AMOUNT"));
  orders.emplace("BORN", ix.Tag("BORN", "BORN"));
  const std::vector<TSeekCase> cases = {
      {"NAME", "Jones", false, false, 2, true},
      {"NAME", "Jo", false, false, 2, true},
      {"NAME", "Jonesy", false, false, 0, false},
      {"NAME", "Jonesy", false, true, 1, false},
      {"NAME", "Zed", false, true, 4, false},  // bytes: "Z" sorts before "s"
      {"NAME", "zz", false, true, 0, false},
      {"NAME", "", false, false, 5, true},
      {"NAME", "smith", false, false, 4, true},
      {"NAME", "Jo", true, false, 0, false},
      {"NAME", "Jo", true, true, 2, false},
      {"NAME", "Jones", true, false, 2, true},
      {"NAME", "Jones     ", true, false, 2, true},
      {"NAMED", "Jones", false, false, 6, true},
      {"NAMED", "Jonesy", false, true, 6, false},
      {"NAMED", "B", false, false, 3, true},
      {"NAMED", "Aa", false, true, 0, false},
      {"NAMED", "Zed", false, true, 1, false},
      {"NAMED", "zz", false, true, 4, false},
      {"UNAMEU", "SMITH", false, false, 1, true},
      {"UNAMEU", "JONES", false, false, 2, true},
      {"AMOUNT", "100", false, false, 1, true},
      {"AMOUNT", "100.00", false, false, 1, true},
      {"AMOUNT", "   99", false, true, 1, false},
      {"AMOUNT", "99", false, false, 0, false},
      {"AMOUNT", "1", false, false, 0, false},  // numbers never match a prefix
      {"BORN", "1985", false, false, 1, true},
      {"BORN", "19851231", false, false, 6, true},
      {"BORN", "", false, false, 4, true},
      {"BORN", "1985", true, false, 0, false},  // Exact wants the whole date
      {"BORN", "1985", true, true, 1, false},
      {"BORN", "19850704", true, false, 1, true},
  };
  for (const TSeekCase& c : cases) {
    SCOPED_TRACE(c.tag + " \"" + c.text + "\" exact " + std::to_string(c.exact) + " soft " + std::to_string(c.soft));
    t.MutableSettings().exact = c.exact;
    t.MutableSettings().soft_seek = c.soft;
    TIndexOrder& o = orders.at(c.tag);
    TSeekResult r = o.Seek(c.text);
    EXPECT_EQ(r.recno, c.recno);
    EXPECT_EQ(r.found, c.found);
    EXPECT_EQ(o.Found(), c.found);
  }
}

TEST(Order, ScopeBoundsTheWalkTheSeekAndThePositions) {
  TMemTable t = People();
  TIndexed ix(t);
  TIndexOrder o = ix.Tag("NAME", "NAME");
  o.SetScope("B", "J");
  EXPECT_TRUE(o.Scoped());
  EXPECT_EQ(o.GetScope(0), "B");
  EXPECT_EQ(o.GetScope(1), "J");
  EXPECT_EQ(o.GetScope(2), "");
  EXPECT_EQ(Walk(o, t), (TRecnos{3, 2, 6}));
  EXPECT_EQ(WalkBack(o, t), (TRecnos{3, 2, 6}));
  EXPECT_EQ(o.KeyCount(), 3u);
  EXPECT_EQ(o.KeyPosition(2, t.Record(2)), 2u);
  EXPECT_EQ(o.KeyPosition(1, t.Record(1)), 0u);
  EXPECT_EQ(o.RecordAt(3), 6u);
  EXPECT_EQ(o.RecordAt(4), 0u);
  EXPECT_EQ(o.Next(5, t.Record(5)), 3u);   // from before the scope into it
  EXPECT_EQ(o.Prior(1, t.Record(1)), 6u);  // from after the scope into it
  EXPECT_EQ(o.Next(6, t.Record(6)), 0u);
  t.MutableSettings().soft_seek = true;
  EXPECT_EQ(o.Seek("Smith").recno, 0u);
  TSeekResult below = o.Seek("Adams");
  EXPECT_EQ(below.recno, 3u);
  EXPECT_FALSE(below.found);
  t.MutableSettings().soft_seek = false;
  EXPECT_EQ(o.Seek("Adams").recno, 0u);

  o.SetScope("J", "B");  // the wrong way round still means the same keys
  EXPECT_EQ(Walk(o, t), (TRecnos{3, 2, 6}));
  o.SetScope("S", "");
  EXPECT_EQ(Walk(o, t), (TRecnos{1, 4}));
  o.SetScope("", "B");
  EXPECT_EQ(Walk(o, t), (TRecnos{5, 3}));
  o.SetScope("X", "Y");
  EXPECT_EQ(o.First(), 0u);
  EXPECT_EQ(o.Last(), 0u);
  EXPECT_EQ(o.KeyCount(), 0u);
  o.ClearScope();
  EXPECT_FALSE(o.Scoped());
  EXPECT_EQ(o.KeyCount(), 6u);

  TIndexOrder desc = ix.Tag("NAMED", "NAME", "", false, true);
  desc.SetScope("J", "B");  // top is where a descending walk starts
  EXPECT_EQ(Walk(desc, t), (TRecnos{6, 2, 3}));
  EXPECT_EQ(desc.KeyPosition(3, t.Record(3)), 3u);

  TIndexOrder amount = ix.Tag("AMOUNT", "AMOUNT");
  amount.SetScope("50", "100");
  EXPECT_EQ(Walk(amount, t), (TRecnos{2, 4, 1, 5}));
}

TEST(Order, RecordChangesKeepOrdersCurrent) {
  TMemTable t = People();
  TIndexed ix(t);
  TIndexOrder name = ix.Tag("NAME", "NAME");
  TIndexOrder unique = ix.Tag("UNAMEU", "UPPER(NAME)", "", true);
  TIndexOrder active = ix.Tag("ACTIVE", "NAME", "ACTIVE");

  t.Append(t.Image({{"NAME", "Clark"}, {"ACTIVE", "T"}}));  // 7
  EXPECT_EQ(Walk(name, t), (TRecnos{5, 3, 7, 2, 6, 1, 4}));
  EXPECT_EQ(Walk(active, t), (TRecnos{3, 7, 6, 1, 4}));

  t.Write(2, t.Image({{"NAME", "Zed"}}));  // key moves; condition still false
  EXPECT_EQ(Walk(name, t), (TRecnos{5, 3, 7, 6, 1, 2, 4}));
  EXPECT_EQ(Walk(unique, t), (TRecnos{5, 3, 7, 6, 1, 2}));  // the other Jones shows now

  t.Write(2, t.Image({{"NAME", "Jones"}, {"ACTIVE", "T"}}));  // back, and now active
  EXPECT_EQ(Walk(unique, t), (TRecnos{5, 3, 7, 2, 1}));       // the lower record shows again
  EXPECT_EQ(Walk(active, t), (TRecnos{3, 7, 2, 6, 1, 4}));

  t.Write(1, std::string("*").append(t.Record(1), 1));  // deleting a record keeps its key
  EXPECT_EQ(Walk(name, t), (TRecnos{5, 3, 7, 2, 6, 1, 4}));

  t.Write(3, t.Image({{"NAME", "Brown"}, {"ACTIVE", "F"}}));  // leaves the condition
  EXPECT_EQ(Walk(active, t), (TRecnos{7, 2, 6, 1, 4}));

  // Telling the same change twice (two work areas on one table) does no harm.
  ix.file->RecordChanged(3, t.Record(3), t.Record(3));
  ix.file->RecordChanged(7, "", t.Record(7));
  EXPECT_EQ(Walk(name, t), (TRecnos{5, 3, 7, 2, 6, 1, 4}));
}

TEST(Order, UniqueOrdersStayRightUnderRandomChanges) {
  TMemTable t({{"CODE", 'C', 3, 0, 0}});
  TIndexed ix(t);
  for (int i = 0; i < 300; ++i) t.Append(t.Image({{"CODE", std::to_string(i % 40)}}));
  TIndexOrder unique = ix.Tag("CODEU", "CODE", "", true);
  TIndexOrder all = ix.Tag("CODE", "CODE");
  std::mt19937 rng(99);
  for (int round = 0; round < 2000; ++round) {
    uint32_t recno = 1 + rng() % t.Count();
    t.Write(recno, t.Image({{"CODE", std::to_string(rng() % 40)}}));
  }
  // The model: for each code, its lowest record; all records by (code, record).
  std::map<std::string, uint32_t> first;
  std::multimap<std::string, uint32_t> every;
  for (uint32_t r = 1; r <= t.Count(); ++r) {
    std::string code = t.Record(r).substr(1, 3);
    first.emplace(code, r);
    every.emplace(code, r);
  }
  TRecnos expected_unique, expected_all;
  for (auto& [code, r] : first) expected_unique.push_back(r);
  for (auto& [code, r] : every) expected_all.push_back(r);
  EXPECT_EQ(Walk(unique, t), expected_unique);
  EXPECT_EQ(Walk(all, t), expected_all);
}

TEST(OrderList, AnswersTheFactsOfEachOrder) {
  TMemTable t = People();
  TIndexed ix(t);
  ix.Tag("NAME", "NAME");
  ix.Tag("UNAME", "UPPER(NAME)", "", true);
  ix.Tag("AMT", "AMOUNT", "", false, true);
  ix.Tag("ACT", "NAME + CITY", "ACTIVE");
  auto second = TIndexFile::Create(std::make_unique<TMemoryStorage>("cities.mxi", std::make_shared<std::vector<uint8_t>>()), t);
  second->CreateTag({"city", "CITY", "", false, false}, t, t);

  TOrderList list(t);
  EXPECT_EQ(list.AddFile(ix.file), 1);
  EXPECT_EQ(list.AddFile(second), 5);
  EXPECT_EQ(list.AddFile(ix.file), 1);  // listed once
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Current(), 0);
  EXPECT_EQ(list.CurrentOrder(), nullptr);
  EXPECT_EQ(list.IndexKey(), "");
  EXPECT_EQ(list.IndexType(), 0);

  EXPECT_EQ(list.TagArea("uname"), 2);
  EXPECT_EQ(list.TagArea("CITY"), 5);
  EXPECT_EQ(list.TagArea("NOSUCH"), 0);
  EXPECT_EQ(list.TagName(3), "AMT");
  EXPECT_EQ(list.TagName(5), "CITY");
  EXPECT_EQ(list.TagName(6), "");
  EXPECT_EQ(list.IndexName(5), "cities.mxi");
  EXPECT_EQ(list.IndexName(1), "people.mxi");

  ASSERT_TRUE(list.SetCurrent(2));
  EXPECT_EQ(list.IndexKey(), "UPPER(NAME)");
  EXPECT_EQ(list.IndexKeyField(), "NAME");
  EXPECT_EQ(list.IndexType(), 2);
  EXPECT_FALSE(list.Descending());
  ASSERT_TRUE(list.SetCurrent(3));
  EXPECT_TRUE(list.Descending());
  EXPECT_EQ(list.IndexKeyField(), "AMOUNT");
  EXPECT_EQ(list.IndexType(), 1);
  EXPECT_EQ(list.IndexCondition(4), "ACTIVE");
  EXPECT_EQ(list.IndexKeyField(4), "");
  EXPECT_FALSE(list.SetCurrent(6));
  EXPECT_FALSE(list.SetCurrent(-1));
  EXPECT_EQ(list.Current(), 3);

  // A tag made on a listed file joins after a refresh; the current order keeps its tag.
  ASSERT_TRUE(list.SetCurrent(5));
  list.Order(5)->SetScope("D", "D");
  ix.file->CreateTag({"BORN", "BORN", "", false, false}, t, t);
  list.Refresh();
  EXPECT_EQ(list.Count(), 6);
  EXPECT_EQ(list.TagName(5), "BORN");
  EXPECT_EQ(list.Current(), 6);
  EXPECT_EQ(list.TagName(0), "CITY");
  EXPECT_EQ(list.CurrentOrder()->GetScope(0), "D");
  EXPECT_EQ(list.FindFile("cities.mxi"), second);

  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Current(), 0);
}

}  // namespace
}  // namespace tavrik::xbase
