#include "tables/MDE61.h"

#include <gtest/gtest.h>

#include "platform/DynLib.h"
#include "platform/Paths.h"
#include "tests/support/TempDir.h"

namespace tavrik {
namespace {

void ExpectLoadFails() {
  try {
    MDE61();
    FAIL() << "the engine loaded";
  } catch (const EMarvekDllError& e) {
    EXPECT_EQ(e.Message(), "Unable to load required Marvek DLL: MDE61.DLL");
  }
  EXPECT_FALSE(MDE61Loaded());
}

TEST(MDE61Binding, MissingLibrary) {
  testing::TempDir empty;
  platform::SetLibrarySearchDirs({empty.Path()});
  ExpectLoadFails();
}

TEST(MDE61Binding, LibraryMissingAnEntryPoint) {
  platform::SetLibrarySearchDirs({PARTIAL_MDE61_DIR});
  ExpectLoadFails();
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
