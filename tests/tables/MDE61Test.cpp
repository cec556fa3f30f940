#include "tables/MDE61.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/DynLib.h"
#include "platform/Paths.h"
#include "tests/support/TempDir.h"

namespace tavrik {
namespace {

// The library stays loaded once a test of this program has loaded it, so a load that must fail
// runs in a child process of its own: 0 when it failed as it should.
int LoadFailsFrom(const std::string& dir) {
  platform::SetLibrarySearchDirs({dir});
  try {
    MDE61();
    return 1;
  } catch (const EMarvekDllError& e) {
    return e.Message() == "Unable to load required Marvek DLL: MDE61.DLL" && !MDE61Loaded() ? 0 : 2;
  }
}

TEST(MDE61Binding, MissingLibrary) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  testing::TempDir empty;
  EXPECT_EXIT(std::exit(LoadFailsFrom(empty.Path())), ::testing::ExitedWithCode(0), "");
}

TEST(MDE61Binding, LibraryMissingAnEntryPoint) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(LoadFailsFrom(PARTIAL_MDE61_DIR)), ::testing::ExitedWithCode(0), "");
}

TEST(MDE61Binding, LoadsBesideTheExecutableWithEveryEntryPoint) {
  platform::SetLibrarySearchDirs({platform::ExecutableDir()});
  const TMDE61Api& api = MDE61();
  EXPECT_TRUE(MDE61Loaded());
  int resolved = 0;
#define MX_COUNT(ret, name, params) resolved += api.name != nullptr;
  MDE61_ENTRY_POINTS(MX_COUNT)
#undef MX_COUNT
  int listed = 0;
#define MX_LIST(ret, name, params) ++listed;
  MDE61_ENTRY_POINTS(MX_LIST)
#undef MX_LIST
  EXPECT_EQ(resolved, listed);
  EXPECT_EQ(&MDE61(), &api);  // loaded once
}

}  // namespace
}  // namespace tavrik
