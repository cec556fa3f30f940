#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "core/StrUtils.h"
#include "tests/server/WorkAreaFixture.h"

namespace tavrik::testing {
namespace {

constexpr int kRecords = 137;
constexpr int kRecordSize = 16;  // flag, N 5, NAME 10

// NAME runs against the record number, so the order BYNAME walks the table backwards.
void Fill(xbase::TWorkAreaSet& set, int i) {
  Numbered(set, i);
  set.Replace("NAME", xbase::rtText, "K" + std::to_string(1000 - i));
}

std::string Image(int i) {
  std::string n = std::to_string(i);
  return " " + std::string(5 - n.size(), ' ') + n + PadRight("K" + std::to_string(1000 - i), 10);
}

struct TWalk {
  std::vector<int32_t> recnos, positions;
  std::vector<int> batches;
  TMvFetchSlot end;  // the marker that closed the walk
};

// Fetches batches the way a table's cache does: the first with the pending move, each later one
// from the record number of the last entry of the batch before.
TWalk Walk(TMarvekConnection& c, int direction, int fetch_count, int record_size = kRecordSize) {
  TWalk walk;
  TMvTraverseRequest q;
  q.GoTop = direction == 1;
  q.GoBottom = direction == 2;
  q.Direction = direction;
  q.FetchCount = fetch_count;
  for (int round = 0; round < 1000; ++round) {
    std::vector<TMvFetchSlot> slots;
    int count = -1;
    int last = c.TraverseTable(q, record_size, slots, count);
    walk.batches.push_back(count);
    if (count < 1 || count > fetch_count) {
      ADD_FAILURE() << "a batch of " << count;
      return walk;
    }
    for (int i = 0; i < count; ++i) {
      const TMvFetchSlot& s = slots[static_cast<size_t>(i)];
      if (s.Result != 0) {
        EXPECT_EQ(i, count - 1) << "a marker inside a batch";
        EXPECT_EQ(last, s.Result);
        walk.end = s;
        return walk;
      }
      // The flag byte shows deletions; the rest must be this record's.
      EXPECT_EQ(s.Record.substr(1, kRecordSize - 1), Image(s.RecNo).substr(1));
      EXPECT_EQ(s.Record.size(), static_cast<size_t>(record_size));
      walk.recnos.push_back(s.RecNo);
      walk.positions.push_back(s.Position);
    }
    q.GoTop = q.GoBottom = false;
    q.PreviousDirection = direction;
    q.RecNo = slots[static_cast<size_t>(count) - 1].RecNo;
  }
  ADD_FAILURE() << "the walk does not end";
  return walk;
}

std::vector<int32_t> Range(int from, int to) {
  std::vector<int32_t> v;
  for (int i = from; from <= to ? i <= to : i >= to; from <= to ? ++i : --i) v.push_back(i);
  return v;
}

class TraverseTableTest : public WorkAreaTest {
 protected:
  std::unique_ptr<TMarvekConnection> Opened(int records = kRecords) {
    MakeTable("T.DBF", "N,N,5,0;NAME,C,10,0", records, Fill);
    AddTag("T.DBF", "BYNAME", "NAME");
    StartWithData();
    auto c = Connect();
    TMvTableInfo info;
    EXPECT_EQ(c->Use(Params("T.DBF"), info), 1);
    EXPECT_EQ(info.RecordSize, kRecordSize);
    return c;
  }
};

struct TWalkCase {
  const char* name;
  std::function<void(TMarvekConnection&)> setup;
  std::vector<int32_t> forward;    // record numbers from the top, in the active order
  std::vector<int32_t> positions;  // their key positions
};

TEST_F(TraverseTableTest, ForwardFromTheTopAndBackwardFromTheBottomDeliverEveryShownRecordOnce) {
  auto c = Opened();
  std::vector<int32_t> kept;
  for (int i = 1; i <= kRecords; ++i)
    if (i != 1 && i != 2 && i != 50 && i != 51 && i != 100 && i != kRecords) kept.push_back(i);
  std::vector<TWalkCase> cases = {
      {"natural order", [](TMarvekConnection& c) { c.SetOrder(0); }, Range(1, kRecords), Range(1, kRecords)},
      {"deleted records hidden",
       [](TMarvekConnection& c) {
         for (int r : {1, 2, 50, 51, 100, kRecords}) {
           c.Go(r);
           ASSERT_TRUE(c.Rlock(r));
           c.Delete();
           c.Unlock(r);
         }
         c.SetDeleted(true);
       },
       kept, kept},
      {"order BYNAME",
       [](TMarvekConnection& c) {
         c.SetDeleted(false);
         EXPECT_EQ(c.SetOrder(static_cast<int16_t>(c.TagArea("BYNAME"))), 0);
       },
       Range(kRecords, 1), Range(1, kRecords)},
      {"order BYNAME in a scope",
       [](TMarvekConnection& c) { EXPECT_TRUE(c.SetScope("K880", "K900")); },  // records 120 down to 100
       Range(120, 100), Range(1, 21)},
      {"filter in the natural order",
       [](TMarvekConnection& c) {
         c.SetScope("", "");
         c.SetOrder(0);
         int32_t seen = 0;
         EXPECT_EQ(c.QueryRowCount("N > 40 .AND. N < 100", seen), 59);
       },
       Range(41, 99), Range(41, 99)},
  };
  for (const TWalkCase& k : cases) {
    SCOPED_TRACE(k.name);
    k.setup(*c);
    TWalk forward = Walk(*c, 1, 50);
    EXPECT_EQ(forward.recnos, k.forward);
    EXPECT_EQ(forward.positions, k.positions);
    EXPECT_EQ(forward.end.Result, 2);
    EXPECT_EQ(forward.end.RecNo, kRecords + 1);
    EXPECT_EQ(forward.end.Position, 0);
    EXPECT_EQ(forward.end.Record, std::string(kRecordSize, ' '));

    TWalk backward = Walk(*c, 2, 50);
    std::vector<int32_t> reversed(k.forward.rbegin(), k.forward.rend());
    EXPECT_EQ(backward.recnos, reversed);
    EXPECT_EQ(backward.positions, std::vector<int32_t>(k.positions.rbegin(), k.positions.rend()));
    EXPECT_EQ(backward.end.Result, 1);
    EXPECT_EQ(backward.end.RecNo, 0);
  }
  EXPECT_EQ(errors, std::vector<std::string>{});
}

TEST_F(TraverseTableTest, BatchesHoldTheFetchCountAndTheMarkerTakesASlot) {
  auto c = Opened();
  EXPECT_EQ(Walk(*c, 1, 50).batches, (std::vector<int>{50, 50, 38}));
  EXPECT_EQ(Walk(*c, 2, 50).batches, (std::vector<int>{50, 50, 38}));
  // 137 records in batches of 137: the end entry comes alone in a second batch.
  EXPECT_EQ(Walk(*c, 1, kRecords).batches, (std::vector<int>{137, 1}));
  EXPECT_EQ(Walk(*c, 1, 1).batches.size(), size_t{kRecords + 1});
}

TEST_F(TraverseTableTest, ABatchNeverOutgrowsTheLargestPayload) {
  // Records of 1,032 bytes: three entries fit in a payload of 4K, four do not.
  MakeTable("T.DBF", "N,N,5,0;NAME,C,10,0;P1,C,254,0;P2,C,254,0;P3,C,254,0;P4,C,254,0", 20, Fill);
  auto config = AreaConfig();
  config.max_payload = 4096;
  Start(config);
  auto c = Connect();
  TMvTableInfo info;
  ASSERT_EQ(c->Use(Params("T.DBF"), info), 1);
  ASSERT_EQ(info.RecordSize, 1032);
  TWalk walk = Walk(*c, 1, 50, 1032);
  EXPECT_EQ(walk.recnos, Range(1, 20));
  EXPECT_EQ(walk.batches, (std::vector<int>{3, 3, 3, 3, 3, 3, 3}));
}

TEST_F(TraverseTableTest, TurningBackMidBatchStartsFromTheRecordTheClientStandsOn) {
  auto c = Opened();
  std::vector<TMvFetchSlot> slots;
  int count = 0;
  TMvTraverseRequest q;
  q.GoTop = true;
  q.Direction = 1;
  q.FetchCount = 10;
  c->TraverseTable(q, kRecordSize, slots, count);
  ASSERT_EQ(count, 10);
  // The client took seven of them, then goes back.
  q = TMvTraverseRequest{};
  q.Direction = 2;
  q.PreviousDirection = 1;
  q.FetchCount = 10;
  q.RecNo = slots[6].RecNo;
  EXPECT_EQ(c->TraverseTable(q, kRecordSize, slots, count), 1);
  std::vector<int32_t> got;
  for (int i = 0; i < count; ++i) got.push_back(slots[static_cast<size_t>(i)].RecNo);
  EXPECT_EQ(got, (std::vector<int32_t>{6, 5, 4, 3, 2, 1, 0}));
  // From the beginning entry forwards again: the first record.
  q.Direction = 1;
  q.PreviousDirection = 2;
  q.FetchCount = 2;
  q.RecNo = 0;
  EXPECT_EQ(c->TraverseTable(q, kRecordSize, slots, count), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(slots[0].RecNo, 1);
  EXPECT_EQ(slots[1].RecNo, 2);
}

TEST_F(TraverseTableTest, DirectionCurrentGivesOneEntry) {
  auto c = Opened();
  c->Go(7);
  ASSERT_TRUE(c->Rlock(7));
  c->Delete();
  c->Unlock(7);
  c->SetDeleted(true);
  struct Case {
    const char* name;
    bool top, bottom;
    int32_t recno;
    int result;
    int32_t expected;
  } cases[] = {
      {"pending move to the first", true, false, 55, 0, 1},
      {"pending move to the last", false, true, 55, 0, kRecords},
      {"a shown record", false, false, 55, 0, 55},
      {"a hidden record", false, false, 7, 2, kRecords + 1},
      {"before the first", false, false, 0, 1, 0},
      {"after the last", false, false, kRecords + 1, 2, kRecords + 1},
      {"far after the last", false, false, 0x7FFFFFFF, 2, kRecords + 1},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    TMvTraverseRequest q;
    q.GoTop = k.top;
    q.GoBottom = k.bottom;
    q.Direction = 0;
    q.FetchCount = 50;
    q.RecNo = k.recno;
    std::vector<TMvFetchSlot> slots;
    int count = 0;
    EXPECT_EQ(c->TraverseTable(q, kRecordSize, slots, count), k.result);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(slots[0].RecNo, k.expected);
  }
}

TEST_F(TraverseTableTest, TheEndOfFileActionDecidesWhereTheWorkAreaStaysAfterTheEnd) {
  auto c = Opened();
  for (int action : {0, 1}) {
    TMvTraverseRequest q;
    q.GoTop = true;
    q.Direction = 1;
    q.EofAction = action;
    q.FetchCount = 500;
    std::vector<TMvFetchSlot> slots;
    int count = 0;
    EXPECT_EQ(c->TraverseTable(q, kRecordSize, slots, count), 2);
    EXPECT_EQ(count, kRecords + 1);
    EXPECT_EQ(c->Eof(), action == 0);
    EXPECT_EQ(c->RecNo(), action == 0 ? kRecords + 1 : kRecords);
  }
  // A batch that stops short of the end leaves the work area on its last record.
  TMvTraverseRequest q;
  q.Direction = 2;
  q.RecNo = 90;
  q.FetchCount = 5;
  std::vector<TMvFetchSlot> slots;
  int count = 0;
  c->TraverseTable(q, kRecordSize, slots, count);
  EXPECT_EQ(c->RecNo(), 85);
}

TEST_F(TraverseTableTest, AnEmptyTableGivesTheMarkerAlone) {
  auto c = Opened(0);
  for (int direction : {1, 2}) {
    TWalk walk = Walk(*c, direction, 50);
    EXPECT_TRUE(walk.recnos.empty());
    EXPECT_EQ(walk.batches, std::vector<int>{1});
    EXPECT_EQ(walk.end.Result, direction == 1 ? 2 : 1);
    EXPECT_EQ(walk.end.RecNo, direction == 1 ? 1 : 0);
  }
}

TEST_F(TraverseTableTest, RequestsThatDoNotReadAreRefused) {
  MakeTable("T.DBF", "N,N,5,0;NAME,C,10,0", 3, Fill);
  StartWithData();
  auto c = LoggedIn();
  EXPECT_EQ(c->Call("0626", "NN11000000032" "00000000"), "") << "no table open";
  EXPECT_TRUE(captured.WaitFor("#1 0626 TraverseTable failed: No table is open in work area 0"));
  ASSERT_EQ(c->Call("0469", Pad("FILES", 255) + Pad("T.DBF", 255) + "03" + Pad("", 255) + "N" + Pad("", 255) +
                                "07BC" "0000" "0000" "NYNNNN" "1").substr(0, 4),
            "0001");
  struct Case {
    std::string payload, log;
  } cases[] = {
      {"YY110000000320000000", "TraverseTable request of 20 bytes, not 21"},
      {"YY1100000003200000000", "TraverseTable: moves to the first and the last record both pending"},
      {"NN2100000003200000000", "TraverseTable: end-of-file action 2"},
      {"NN1300000003200000000", "TraverseTable: direction beyond 0..2"},
      {"NN1130000003200000000", "TraverseTable: direction beyond 0..2"},
      {"NN1110000000000000000", "TraverseTable: fetch count 0"},
      {"NN1118000000000000000", "TraverseTable: fetch count 2147483648"},
      {"xN1110000003200000000", "TraverseTable move to the first record: cannot read \"x\""},
      {"NN11100000032000000G0", "TraverseTable record number: cannot read \"000000G0\""},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(c->Call("0626", k.payload), "") << k.payload;
    EXPECT_TRUE(captured.Has("#1 0626 TraverseTable refused: " + k.log)) << k.log;
  }
  // The session is still in step: a good request answers.
  EXPECT_EQ(c->Call("0626", "NN1110000000100000000").substr(0, 17), "00000001" "0" "00000001");
}

}  // namespace
}  // namespace tavrik::testing
