// The progress bar under a file transfer's write-progress events.
#include <gtest/gtest.h>

#include "app/ClientDM.h"
#include "platform/DynLib.h"
#include "platform/MessagePump.h"
#include "platform/Paths.h"
#include "tests/app/RecordingPorts.h"

namespace tavrik::testing {
namespace {

class ProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetLibrarySearchDirs({platform::ExecutableDir()});
    dm = std::make_unique<TDM1>();
    dm->BindPorts(&bar);
    previous = platform::SetProcessMessages([this] { ++pumped; });
  }
  void TearDown() override { platform::SetProcessMessages(previous); }

  // An event as the connection raises it.
  void Event(int64_t min, int64_t max, int64_t position) {
    dm->RemoteConnection->OnWriteProgress(dm->RemoteConnection, min, max, position);
  }

  RecordingPorts bar;
  std::unique_ptr<TDM1> dm;
  std::function<void()> previous;
  int pumped = 0;
};

TEST_F(ProgressTest, BarFollowsATransferAndEndsEmpty) {
  const struct {
    int64_t min, max, position;
    int bar_max, bar_position;
  } steps[] = {
      {0, 20000, 0, 20000, 0},      // the start: the bar's range
      {0, 0, 8192, 20000, 8192},    // after each block: the bytes sent so far
      {0, 0, 16384, 20000, 16384},
      {0, 0, 20000, 20000, 0},      // the last block: position = maximum, remainder 0
      {0, 0, 0, 20000, 0},          // the end
  };
  for (const auto& s : steps) {
    Event(s.min, s.max, s.position);
    EXPECT_EQ(bar.progress_max, s.bar_max);
    EXPECT_EQ(bar.progress_position, s.bar_position);
  }
  EXPECT_EQ(bar.progress_min, 0);
  EXPECT_EQ(pumped, 5);  // the window stays responsive: messages run at every event
}

TEST_F(ProgressTest, ZeroKeepsTheRangeAndPositionsWrap) {
  Event(0, 0, 250);  // before any transfer the maximum is 100
  EXPECT_EQ(bar.progress_max, 100);
  EXPECT_EQ(bar.progress_position, 50);
  Event(5, 0, 7);
  EXPECT_EQ(bar.progress_min, 5);
  EXPECT_EQ(bar.progress_max, 100);
  Event(0, int64_t(1) << 40, 3);  // beyond the bar's range: a full-width maximum, never a wrapped one
  EXPECT_EQ(bar.progress_max, INT32_MAX);
  EXPECT_EQ(bar.progress_position, 3);
  dm->BindPorts(nullptr);
  Event(0, 10, 5);  // without a window the messages still run
  EXPECT_EQ(pumped, 4);
}

}  // namespace
}  // namespace tavrik::testing
