// A full disk, shown by a file size limit in a child process: appends and memo writes fail with
// the system's reason, and the table stays whole, holding exactly what was written before.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include "tests/xbase/ForkedChild.h"
#include "tests/xbase/TableTestUtil.h"
#include "xbase/WorkAreaSet.h"

namespace tavrik::xbase::testing {
namespace {

using tavrik::testing::TempDir;

// In the child: no file may grow past `bytes`; a write that would gets EFBIG instead of a signal.
void LimitFileSize(rlim_t bytes) {
  ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit {bytes, bytes};
  if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) throw std::runtime_error("setrlimit");
}

class FullDisk : public ::testing::TestWithParam<int> {};  // the open mode: shared or exclusive

TEST_P(FullDisk, AppendsStopWithAnErrorAndTheTableStaysWhole) {
  TempDir dir;
  const std::string path = MakeTable(dir, "F.DBF", "NAME,C,20,0", 2);
  const int mode = GetParam();
  TChild child([&](const TChild& self) {
    LimitFileSize(4096);
    TWorkAreaSet set;
    set.Use(path, "", mode, 2, 0);
    int appended = 0;
    try {
      for (;;) {
        set.AppendBlank();
        set.Replace("NAME", rtText, "record " + std::to_string(appended + 1));
        ++appended;
      }
    } catch (const ETableError& e) {
      self.Say(std::to_string(appended));  // the failing append counted none
      self.Say(e.Message());
    }
    set.Commit();
    set.Close();
  });
  const int written = std::stoi(child.Hear());
  EXPECT_EQ(child.Hear(), "Cannot write to " + path + ": File too large");
  EXPECT_EQ(child.Finish(), 0);

  const uint64_t header = 32 + 32 + 1;
  EXPECT_EQ(written, int((4096 - header - 1) / 21));
  TWorkAreaSet set;
  set.Use(path, "", 0, 2, 1);
  EXPECT_EQ(set.RecCount(), written);
  EXPECT_EQ(ReadAll(path).size(), header + uint64_t(written) * 21 + 1);
  set.GoBottom();
  EXPECT_EQ(set.GetTrimString("NAME"), "record " + std::to_string(written));
  EXPECT_EQ(ReadAll(path).back(), '\x1A');
}

INSTANTIATE_TEST_SUITE_P(Modes, FullDisk, ::testing::Values(0, 2),
                         [](const auto& info) { return info.param == 0 ? "Shared" : "Exclusive"; });

TEST(FullDiskMemo, AMemoThatDoesNotFitLeavesTheOldOne) {
  for (int table_type : {1, 2}) {
    TempDir dir;
    const std::string path = MakeTable(dir, "M.DBF", "NOTE,M,10,0", table_type);
    const std::string memo = dir.File(table_type == 1 ? "M.DBT" : "M.FPT");
    TChild child([&](const TChild& self) {
      LimitFileSize(8192);
      TWorkAreaSet set;
      set.Use(path, "", 0, table_type, 1);
      set.AppendBlank();
      set.Replace("NOTE", rtMemoText, "small and safe");
      try {
        set.Replace("NOTE", rtMemoText, std::string(20000, 'x'));
        self.Say("stored");
      } catch (const ETableError& e) {
        self.Say(e.Message());
      }
      self.Say(set.GetMemo("NOTE", 0));
    });
    EXPECT_EQ(child.Hear(), "Cannot write to " + memo + ": File too large");
    EXPECT_EQ(child.Hear(), "small and safe");
    EXPECT_EQ(child.Finish(), 0);
    const uint64_t memo_size = ReadAll(memo).size();
    EXPECT_LT(memo_size, 8192u);  // the half-written blocks are gone again
    TWorkAreaSet set;
    set.Use(path, "", 0, table_type, 1);
    EXPECT_EQ(set.GetMemo("NOTE", 0), "small and safe");
    set.Replace("NOTE", rtMemoText, "after");  // the memo file still takes new blocks
    EXPECT_EQ(set.GetMemo("NOTE", 0), "after");
  }
}

}  // namespace
}  // namespace tavrik::xbase::testing
