// What unzip, a reader nobody here wrote, finds in an archive: each file entry's name and bytes.
// An archive it cannot read fails the test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "tests/server/ChildProcess.h"
#include "tests/support/ReadFile.h"
#include "tests/support/TempDir.h"

namespace tavrik::testing {

inline std::map<std::string, std::string> Unzipped(const std::string& archive) {
  using namespace std::chrono_literals;
  TempDir out;
  TChildProcess unzip({"/usr/bin/unzip", "-q", "-o", archive, "-d", out.Path()});
  EXPECT_EQ(unzip.WaitExit(60s), 0) << unzip.Stderr();
  std::map<std::string, std::string> entries;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(out.Path()))
    if (entry.is_regular_file())
      entries[std::filesystem::relative(entry.path(), out.Path()).string()] = ReadFile(entry.path().string());
  return entries;
}

}  // namespace tavrik::testing
