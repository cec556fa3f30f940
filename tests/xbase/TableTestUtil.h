// Helpers of the table engine tests: tables made in a temporary folder, raw bytes written into
// files to damage them on purpose, and a check that a call fails with one exact message.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "tests/support/TempDir.h"
#include "xbase/TableCreate.h"
#include "xbase/TableError.h"

namespace tavrik::xbase::testing {

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

// Overwrites bytes of a file in place.
inline void Patch(const std::string& path, size_t offset, const std::string& bytes) {
  std::string all = ReadAll(path);
  if (all.size() < offset + bytes.size()) all.resize(offset + bytes.size(), '\0');
  all.replace(offset, bytes.size(), bytes);
  WriteAll(path, all);
}

inline std::string Le32(uint32_t v) {
  std::string b(4, '\0');
  for (int i = 0; i < 4; ++i) b[size_t(i)] = char((v >> (8 * i)) & 0xFF);
  return b;
}

inline std::string Le16(uint16_t v) { return std::string{char(v & 0xFF), char(v >> 8)}; }

// Runs `call` and expects it to raise an error of type E with exactly `message`.
template <typename E = ETableError>
void ExpectError(const std::function<void()>& call, const std::string& message) {
  try {
    call();
    ADD_FAILURE() << "no error; expected: " << message;
  } catch (const E& e) {
    EXPECT_EQ(e.Message(), message);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "another kind of error: " << e.what() << "; expected: " << message;
  }
}

// The table most tests use: every field type the engine writes.
inline const char* kPeopleFields = "NAME,C,10,0;AMOUNT,N,10,2;COUNT,N,5,0;BORN,D,8,0;OK,L,1,0;NOTE,M,10,0;PIC,B,10,0";

inline std::string MakeTable(const tavrik::testing::TempDir& dir, const std::string& name, const char* fields,
                             int table_type) {
  const std::string path = dir.File(name);
  CreateTable(path, ParseFieldList(fields), table_type, 64);
  return path;
}

}  // namespace tavrik::xbase::testing
