// Moving through a table: top, bottom, skips past either end, Go, the phantom record, hidden
// deleted records, and an order plugged in through TRecordOrder.
#include <gtest/gtest.h>

#include <vector>

#include "tests/xbase/TableTestUtil.h"
#include "xbase/WorkArea.h"
#include "xbase/WorkAreaSet.h"

namespace tavrik::xbase::testing {
namespace {

using tavrik::testing::TempDir;

class Navigation : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = MakeTable(dir_, "NAV.DBF", "NAME,C,4,0", 2);
    set_.Use(path_, "", 0, 2, 1);
  }
  void Fill(int n) {
    for (int i = 1; i <= n; ++i) {
      set_.AppendBlank();
      const std::string name = std::string("R").append(std::to_string(i));
      set_.Replace("NAME", rtText, name);
    }
    set_.Unlock(0);
  }
  // Where the work area stands: record number, Bof, Eof, and the NAME it shows.
  std::string At() {
    return std::to_string(set_.RecNo()) + (set_.Bof() ? " bof" : "") + (set_.Eof() ? " eof" : "") + " [" +
           set_.GetTrimString("NAME") + "]";
  }

  TempDir dir_;
  std::string path_;
  TWorkAreaSet set_;
};

TEST_F(Navigation, EmptyTableIsAtBothEnds) {
  EXPECT_EQ(At(), "1 bof eof []");
  set_.GoBottom();
  EXPECT_EQ(At(), "1 bof eof []");
  set_.Skip(1);
  EXPECT_EQ(At(), "1 eof []");
  set_.Skip(-1);
  EXPECT_EQ(At(), "1 bof eof []");
  EXPECT_EQ(set_.RecCount(), 0);
  EXPECT_EQ(set_.GetRecord(), "     ");  // deletion flag and NAME, all blank
}

TEST_F(Navigation, MovesAndEnds) {
  Fill(3);
  struct Step {
    const char* what;
    std::function<void(TWorkAreaSet&)> move;
    const char* at;
  } steps[] = {
      {"top", [](TWorkAreaSet& s) { s.GoTop(); }, "1 [R1]"},
      {"skip back before the first", [](TWorkAreaSet& s) { s.Skip(-1); }, "1 bof [R1]"},
      {"skip back again stays", [](TWorkAreaSet& s) { s.Skip(-5); }, "1 bof [R1]"},
      {"skip 2", [](TWorkAreaSet& s) { s.Skip(2); }, "3 [R3]"},
      {"skip past the end", [](TWorkAreaSet& s) { s.Skip(1); }, "4 eof []"},
      {"skip at the end stays", [](TWorkAreaSet& s) { s.Skip(3); }, "4 eof []"},
      {"skip back from the phantom", [](TWorkAreaSet& s) { s.Skip(-1); }, "3 [R3]"},
      {"skip far past the end", [](TWorkAreaSet& s) { s.Skip(-1); s.Skip(100); }, "4 eof []"},
      {"skip far back", [](TWorkAreaSet& s) { s.Skip(-100); }, "1 bof [R1]"},
      {"bottom", [](TWorkAreaSet& s) { s.GoBottom(); }, "3 [R3]"},
      {"go 2", [](TWorkAreaSet& s) { s.Go(2); }, "2 [R2]"},
      {"skip 0 stays", [](TWorkAreaSet& s) { s.Skip(0); }, "2 [R2]"},
      {"go 0", [](TWorkAreaSet& s) { s.Go(0); }, "4 eof []"},
      {"go past the end", [](TWorkAreaSet& s) { s.Go(9); }, "4 eof []"},
      {"go negative", [](TWorkAreaSet& s) { s.Go(-3); }, "4 eof []"},
  };
  for (const Step& step : steps) {
    step.move(set_);
    EXPECT_EQ(At(), step.at) << step.what;
  }
  EXPECT_EQ(set_.Go(2), 2);
  EXPECT_EQ(set_.Go(7), 4);
}

TEST_F(Navigation, DeletedRecordsHiddenOnlyWhenAsked) {
  Fill(5);
  for (int r : {1, 3, 5}) {
    set_.Go(r);
    set_.Delete();
  }
  set_.GoTop();
  std::vector<int> seen;
  for (; !set_.Eof(); set_.Skip(1)) seen.push_back(set_.RecNo());
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5}));

  set_.SetDeleted(true);
  EXPECT_EQ(set_.SysProp(1006, 0), 1);
  set_.GoTop();
  EXPECT_EQ(At(), "2 [R2]");
  set_.Skip(1);
  EXPECT_EQ(At(), "4 [R4]");
  set_.Skip(1);
  EXPECT_EQ(At(), "6 eof []");
  set_.GoBottom();
  EXPECT_EQ(At(), "4 [R4]");
  set_.Skip(-1);
  EXPECT_EQ(At(), "2 [R2]");
  set_.Skip(-1);
  EXPECT_EQ(At(), "2 bof [R2]");
  // Go reaches any record, hidden or not, and the count counts them all.
  set_.Go(3);
  EXPECT_EQ(At(), "3 [R3]");
  EXPECT_TRUE(set_.Deleted());
  EXPECT_EQ(set_.RecCount(), 5);

  // With every record deleted the table looks empty.
  for (int r : {2, 4}) {
    set_.Go(r);
    set_.Delete();
  }
  set_.GoTop();
  EXPECT_EQ(At(), "6 bof eof []");
  set_.Skip(-1);
  EXPECT_EQ(At(), "6 bof eof []");
}

// An order that walks the records backwards, as an index order would plug in.
class TReverseOrder : public TRecordOrder {
 public:
  explicit TReverseOrder(uint32_t count) : count_(count) {}
  uint32_t First() override { return count_; }
  uint32_t Last() override { return count_ > 0 ? 1 : 0; }
  uint32_t Next(uint32_t recno, std::string_view) override { return recno > 1 ? recno - 1 : 0; }
  uint32_t Prior(uint32_t recno, std::string_view) override { return recno < count_ ? recno + 1 : 0; }

 private:
  uint32_t count_;
};

// An order that never moves: navigation must still end.
class TStuckOrder : public TRecordOrder {
 public:
  uint32_t First() override { return 1; }
  uint32_t Last() override { return 1; }
  uint32_t Next(uint32_t recno, std::string_view) override { return recno; }
  uint32_t Prior(uint32_t recno, std::string_view) override { return recno; }
};

TEST_F(Navigation, WalksThroughTheActiveOrderAndFilter) {
  Fill(4);
  TWorkArea& area = set_.CurrentArea();
  TReverseOrder reverse(4);
  area.SetOrder(&reverse);
  area.SetFilter([](const TWorkArea& a) { return a.RecNo() != 3; });
  set_.GoTop();
  std::vector<int> seen;
  for (; !set_.Eof(); set_.Skip(1)) seen.push_back(set_.RecNo());
  EXPECT_EQ(seen, (std::vector<int>{4, 2, 1}));
  set_.Skip(-1);
  EXPECT_EQ(At(), "1 [R1]");
  set_.Skip(-1);
  EXPECT_EQ(At(), "2 [R2]");
  set_.Skip(-2);
  EXPECT_EQ(At(), "4 bof [R4]");

  TStuckOrder stuck;
  area.SetOrder(&stuck);
  area.SetFilter(nullptr);
  set_.GoTop();
  set_.Skip(1);
  EXPECT_EQ(At(), "5 eof []");
  set_.GoTop();
  set_.Skip(-1);
  EXPECT_EQ(At(), "1 bof [R1]");
  area.SetOrder(nullptr);
  set_.GoBottom();
  EXPECT_EQ(At(), "4 [R4]");
}

TEST_F(Navigation, SeesAppendsOfAnotherWorkArea) {
  Fill(1);
  TWorkAreaSet other;
  other.Use(path_, "OTHER", 0, 2, 1);
  other.AppendBlank();
  other.Replace("NAME", rtText, "NEW");
  set_.GoTop();
  set_.Skip(1);
  EXPECT_EQ(At(), "2 [NEW]");
  EXPECT_EQ(set_.RecCount(), 2);
}

}  // namespace
}  // namespace tavrik::xbase::testing
