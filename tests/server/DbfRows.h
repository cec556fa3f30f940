// The rows of a DBF table as dbfread, a reader nobody here wrote, sees them: one text per row,
// the values of `fields` joined by "|". A failing reader fails the test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/server/ChildProcess.h"

namespace tavrik::testing {

inline std::vector<std::string> DbfRows(const std::string& file,
                                        const std::string& fields = "TIMESTAMP EVENT USER OPMERKING") {
  using namespace std::chrono_literals;
  TChildProcess python({"/usr/bin/python3", "-c",
                        "import sys, dbfread\n"
                        "for r in dbfread.DBF(sys.argv[1], char_decode_errors='strict'):\n"
                        "    print('|'.join(r[k] for k in sys.argv[2].split()))\n",
                        file, fields});
  std::vector<std::string> rows;
  while (auto line = python.ReadLine(20s)) rows.push_back(*line);
  EXPECT_EQ(python.WaitExit(20s), 0) << python.Stderr();
  return rows;
}

}  // namespace tavrik::testing
