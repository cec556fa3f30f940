// Record locks and shared use: between work areas of one process, between threads, and between
// processes (byte-range locks); appends that lose nothing and records that never tear.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "core/StrUtils.h"
#include "tests/xbase/ForkedChild.h"
#include "tests/xbase/TableTestUtil.h"
#include "xbase/WorkAreaSet.h"

namespace tavrik::xbase::testing {
namespace {

using tavrik::testing::TempDir;

class Locks : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = MakeTable(dir_, "L.DBF", "NAME,C,8,0;TAG,C,8,0", 2);
    a_.Use(path_, "A", 0, 2, 1);
    for (int i = 0; i < 3; ++i) a_.AppendBlank();
    a_.Unlock(0);
    b_.SetLockTimeOut(0);
    b_.Use(path_, "B", 0, 2, 1);
  }
  TempDir dir_;
  std::string path_;
  TWorkAreaSet a_, b_;
};

TEST_F(Locks, AnotherWorkAreasLockIsRefusedUntilReleased) {
  EXPECT_TRUE(a_.Rlock(1));
  EXPECT_TRUE(a_.Rlock(1));  // again: still its own
  EXPECT_FALSE(b_.Rlock(1));
  b_.SetLockTimeOut(1);
  EXPECT_FALSE(b_.Rlock(1));  // after waiting the time-out
  EXPECT_TRUE(b_.Rlock(2));
  b_.Go(1);
  ExpectError([&] { b_.Replace("NAME", rtText, "b"); }, "Record 1 of " + path_ + " is locked by another user");
  ExpectError([&] { b_.Delete(); }, "Record 1 of " + path_ + " is locked by another user");
  a_.Go(2);
  ExpectError([&] { a_.PutRecord(a_.GetRecord()); }, "Record 2 of " + path_ + " is locked by another user");
  a_.Unlock(1);
  EXPECT_TRUE(b_.Rlock(1));
  b_.Replace("NAME", rtText, "b");
  EXPECT_EQ(b_.CurrentArea().Locks(), (std::vector<uint32_t>{1, 2}));
  b_.Unlock(0);
  EXPECT_TRUE(b_.CurrentArea().Locks().empty());
  EXPECT_TRUE(a_.Rlock(1));
  EXPECT_TRUE(a_.Rlock(2));
}

TEST_F(Locks, LocksEndWhenTheWorkAreaCloses) {
  EXPECT_TRUE(a_.Rlock(1));
  EXPECT_TRUE(a_.Rlock(3));
  EXPECT_FALSE(b_.Rlock(3));
  a_.Close();
  EXPECT_TRUE(b_.Rlock(1));
  EXPECT_TRUE(b_.Rlock(3));
}

TEST_F(Locks, AppendedRecordIsItsAppendersAndLockingReadsAgain) {
  const int recno = a_.AppendBlank();
  EXPECT_FALSE(b_.Rlock(recno));
  a_.Replace("NAME", rtText, "new");
  a_.Unlock(recno);
  b_.Go(recno);
  EXPECT_EQ(b_.GetTrimString("NAME"), "new");
  // b stands on record 1 while a changes it; b's lock brings the change in.
  b_.Go(1);
  a_.Go(1);
  a_.Replace("NAME", rtText, "changed");
  EXPECT_EQ(b_.GetTrimString("NAME"), "");
  EXPECT_TRUE(b_.Rlock(0));
  EXPECT_EQ(b_.GetTrimString("NAME"), "changed");
  ExpectError([&] { b_.Rlock(99); }, "Record 99 does not exist in B");
  ExpectError([&] { b_.Rlock(-1); }, "Record -1 does not exist in B");
  b_.GoBottom();
  b_.Skip(1);
  ExpectError([&] { b_.Rlock(0); }, "No current record in B (end of file)");
}

TEST_F(Locks, AWaitingLockIsGrantedWhenReleased) {
  EXPECT_TRUE(a_.Rlock(2));
  b_.SetLockTimeOut(30);
  std::atomic<bool> granted{false};
  std::thread waiter([&] { granted = b_.Rlock(2); });
  TLockTable& locks = a_.CurrentArea().Table().Locks();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (locks.Waiting() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  EXPECT_EQ(locks.Waiting(), 1);  // the request waits before the lock is let go
  a_.Unlock(2);
  waiter.join();
  EXPECT_TRUE(granted);
  a_.SetLockTimeOut(0);
  EXPECT_FALSE(a_.Rlock(2));
}

TEST_F(Locks, ExclusiveUseInsideTheProcess) {
  TWorkAreaSet c;
  ExpectError([&] { c.Use(path_, "C", 2, 2, 1); }, "Table " + path_ + " is in use by another work area");
  a_.Close();
  b_.Close();
  c.Use(path_, "C", 2, 2, 1);
  ExpectError([&] { a_.Use(path_, "A", 0, 2, 1); }, "Table " + path_ + " is opened exclusively by another work area");
  ExpectError([&] { a_.Use(path_, "A", 1, 2, 1); }, "Table " + path_ + " is opened exclusively by another work area");
  // An exclusive table keeps its count in memory until it closes; the file is whole afterwards.
  c.AppendBlank();
  c.Replace("NAME", rtText, "excl");
  c.Close();
  a_.Use(path_, "A", 0, 2, 1);
  EXPECT_EQ(a_.RecCount(), 4);
  a_.GoBottom();
  EXPECT_EQ(a_.GetTrimString("NAME"), "excl");
}

TEST(SharedTable, ConcurrentAppendsLoseNothing) {
  TempDir dir;
  const std::string path = MakeTable(dir, "C.DBF", "NAME,C,8,0;TAG,C,8,0", 2);
  constexpr int kThreads = 6, kEach = 300;
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      try {
        TWorkAreaSet set;
        set.Use(path, "C", 0, 2, 1);
        for (int i = 0; i < kEach; ++i) {
          set.AppendBlank();
          char tag[16];
          std::snprintf(tag, sizeof tag, "%d-%05d", t, i);
          std::string image = std::string(" ").append(PadRight(tag, 8)).append(PadRight(tag, 8));
          set.PutRecord(image);
          set.Unlock(0);
        }
      } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
        ++failures;
      }
    });
  for (auto& t : threads) t.join();
  ASSERT_EQ(failures, 0);
  TWorkAreaSet check;
  check.Use(path, "", 0, 2, 1);
  EXPECT_EQ(check.RecCount(), kThreads * kEach);
  std::set<std::string> tags;
  for (check.GoTop(); !check.Eof(); check.Skip(1)) {
    EXPECT_EQ(check.GetTrimString("NAME"), check.GetTrimString("TAG"));
    tags.insert(check.GetTrimString("NAME"));
  }
  EXPECT_EQ(tags.size(), size_t(kThreads * kEach));
}

TEST(SharedTable, ReadersNeverSeeHalfARecord) {
  TempDir dir;
  const std::string path = MakeTable(dir, "T.DBF", "A,C,200,0;B,C,200,0", 2);
  TWorkAreaSet writer;
  writer.Use(path, "W", 0, 2, 1);
  writer.AppendBlank();
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r)
    readers.emplace_back([&] {
      TWorkAreaSet set;
      set.Use(path, "R", 1, 2, 1);
      while (!stop) {
        set.Go(1);
        const std::string image = set.GetRecord();
        if (image.find_first_not_of(image[1], 1) != std::string::npos) ++torn;
      }
    });
  for (int i = 0; i < 2000; ++i) writer.PutRecord(" " + std::string(400, char('a' + i % 26)));
  stop = true;
  for (auto& t : readers) t.join();
  EXPECT_EQ(torn, 0);
}

// ---- other processes ----

TEST(OtherProcess, RecordLocksAndExclusiveUseReachAcross) {
  TempDir dir;
  const std::string path = MakeTable(dir, "P.DBF", "NAME,C,8,0", 2);
  {
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    set.AppendBlank();
    set.AppendBlank();
  }
  TChild child([&](const TChild& self) {
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    self.Say(set.Rlock(1) ? "locked" : "refused");
    self.Wait();
  });
  ASSERT_EQ(child.Hear(), "locked");
  TWorkAreaSet set;
  set.SetLockTimeOut(0);
  ExpectError([&] { set.Use(path, "", 2, 2, 1); }, "Table " + path + " is in use by another process");
  set.Use(path, "", 0, 2, 1);
  EXPECT_FALSE(set.Rlock(1));
  EXPECT_TRUE(set.Rlock(2));
  set.Go(1);
  ExpectError([&] { set.Replace("NAME", rtText, "x"); }, "Record 1 of " + path + " is locked by another user");
  ExpectError([&] { CreateTable(path, ParseFieldList("A,C,1"), 2, 0); }, "Table " + path + " is in use");
  EXPECT_EQ(child.Finish(), 0);
  EXPECT_TRUE(set.Rlock(1));  // the lock ended with the other process
  set.Close();

  TChild exclusive([&](const TChild& self) {
    TWorkAreaSet other;
    other.Use(path, "", 2, 2, 1);
    self.Say("exclusive");
    self.Wait();
  });
  ASSERT_EQ(exclusive.Hear(), "exclusive");
  ExpectError([&] { set.Use(path, "", 0, 2, 1); }, "Table " + path + " is opened exclusively by another process");
  ExpectError([&] { CreateTable(path, ParseFieldList("A,C,1"), 2, 0); }, "Table " + path + " is in use by another process");
  EXPECT_EQ(exclusive.Finish(), 0);
  set.Use(path, "", 2, 2, 1);
  EXPECT_EQ(set.RecCount(), 2);
}

TEST(OtherProcess, ConcurrentAppendsLoseNothing) {
  TempDir dir;
  const std::string path = MakeTable(dir, "A.DBF", "NAME,C,8,0;TAG,C,8,0", 2);
  constexpr int kProcesses = 4, kEach = 250;
  std::vector<std::unique_ptr<TChild>> children;
  for (int p = 0; p < kProcesses; ++p)
    children.push_back(std::make_unique<TChild>([&, p](const TChild& self) {
      TWorkAreaSet set;
      set.Use(path, "", 0, 2, 1);
      self.Say("ready");
      self.Wait();
      for (int i = 0; i < kEach; ++i) {
        set.AppendBlank();
        const std::string tag = std::to_string(p).append("-").append(std::to_string(i));
        set.PutRecord(std::string(" ").append(PadRight(tag, 8)).append(PadRight(tag, 8)));
        set.Unlock(0);
      }
    }));
  for (auto& c : children) ASSERT_EQ(c->Hear(), "ready");
  for (auto& c : children) c->Go();  // all start together
  for (auto& c : children) EXPECT_EQ(c->Finish(), 0);
  TWorkAreaSet check;
  check.Use(path, "", 0, 2, 1);
  EXPECT_EQ(check.RecCount(), kProcesses * kEach);
  std::set<std::string> tags;
  for (check.GoTop(); !check.Eof(); check.Skip(1)) {
    EXPECT_EQ(check.GetTrimString("NAME"), check.GetTrimString("TAG"));
    tags.insert(check.GetTrimString("NAME"));
  }
  EXPECT_EQ(tags.size(), size_t(kProcesses * kEach));
  EXPECT_EQ(ReadAll(path).size(), 32u + 2 * 32 + 1 + kProcesses * kEach * 17 + 1);
}

}  // namespace
}  // namespace tavrik::xbase::testing
