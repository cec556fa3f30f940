#include "tables/MDE61.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/DynLib.h"
#include "platform/Paths.h"
#include "tests/support/TempDir.h"

namespace tavrik {
namespace {

// Once loaded, the library stays loaded for the process: the failures are watched in a process
// of their own, started afresh for the test alone.
void ExpectLoadFails(const std::string& search_dir) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        platform::SetLibrarySearchDirs({search_dir});
        int status = 3;
        try {
          MDE61();
          status = 1;
        } catch (const EMarvekDllError& e) {
          status = e.Message() == "Unable to load required Marvek DLL: MDE61.DLL" && !MDE61Loaded() ? 0 : 2;
        }
        std::exit(status);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(MDE61Binding, MissingLibrary) {
  testing::TempDir empty;
  ExpectLoadFails(empty.Path());
}

TEST(MDE61Binding, LibraryMissingAnEntryPoint) { ExpectLoadFails(PARTIAL_MDE61_DIR); }

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
