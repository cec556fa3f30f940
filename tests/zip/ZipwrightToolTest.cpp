// The zipwright tool, run as a program: its commands, output and exit statuses.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "tests/support/TempDir.h"
#include "tests/zip/ZipTestSupport.h"

namespace tavrik {
namespace {

using testing::TRunResult;

struct TListed {
  unsigned long long size = 0, compressed = 0;
  std::string method;
  uint32_t crc = 0;
  std::string name;
};

// The lines of "zipwright list": size, compressed size, method, CRC, name.
std::vector<TListed> Parse(const std::string& out) {
  std::vector<TListed> entries;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    TListed e;
    std::istringstream fields(line);
    fields >> e.size >> e.compressed >> e.method >> std::hex >> e.crc;
    fields.get();
    std::getline(fields, e.name);
    entries.push_back(e);
  }
  return entries;
}

uint32_t Crc(const std::string& bytes) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

class ZipwrightTool : public ::testing::Test {
 protected:
  TRunResult Zipwright(std::vector<std::string> args, long file_size_limit = 0) {
    args.insert(args.begin(), ZIPWRIGHT_PATH);
    return testing::Run(args, std::chrono::seconds(120), file_size_limit);
  }
  std::string Make(const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(dir.File(name)).parent_path());
    testing::WriteFile(dir.File(name), bytes);
    return dir.File(name);
  }

  testing::TempDir dir;
  std::string archive = dir.File("out.zip");
};

TEST_F(ZipwrightTool, AddsAndLists) {
  const std::string text = "hello hello hello hello\n";
  Make("docs/a.txt", text);
  Make("docs/deep/b.bin", "");
  TRunResult added = Zipwright({"add", "-r", "-j", "-6", archive, dir.File("docs")});
  EXPECT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(added.out, "");
  EXPECT_EQ(added.err, "");
  TRunResult listed = Zipwright({"list", archive});
  EXPECT_EQ(listed.status, 0);
  std::vector<TListed> entries = Parse(listed.out);
  ASSERT_EQ(entries.size(), 2u) << listed.out;
  EXPECT_EQ(entries[0].name, "a.txt");
  EXPECT_EQ(entries[0].size, text.size());
  EXPECT_LT(entries[0].compressed, text.size());
  EXPECT_EQ(entries[0].method, "deflated");
  EXPECT_EQ(entries[0].crc, Crc(text));
  EXPECT_EQ(entries[1].name, "b.bin");
  EXPECT_EQ(entries[1].method, "stored");
  EXPECT_EQ(listed.out.rfind("          24 ", 0), 0u);  // sizes right-aligned in 12 columns
  EXPECT_EQ(testing::Run({"/usr/bin/unzip", "-tqq", archive}).status, 0);
}

TEST_F(ZipwrightTool, KeepsFoldersAndEncrypts) {
  const std::string a = Make("a.txt", "secret text");
  TRunResult added = Zipwright({"add", "-0", "-P", "sesam", archive, a});
  EXPECT_EQ(added.status, 0) << added.err;
  std::vector<TListed> entries = Parse(Zipwright({"list", archive}).out);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, a.substr(1));  // the path without its leading "/"
  EXPECT_EQ(entries[0].compressed, 11u + 12);  // the encryption header
  EXPECT_EQ(entries[0].method, "stored*");
  EXPECT_EQ(entries[0].crc, Crc("secret text"));
  EXPECT_EQ(testing::Run({"/usr/bin/unzip", "-tqq", "-P", "sesam", archive}).status, 0);
}

TEST_F(ZipwrightTool, FailsWhenAFileIsNotAdded) {
  const std::string a = Make("a.txt", "a");
  TRunResult added = Zipwright({"add", archive, a, dir.File("missing.txt")});
  EXPECT_EQ(added.status, 1);
  EXPECT_EQ(added.err, "zipwright: Not found: " + dir.File("missing.txt") + "\n");
  EXPECT_EQ(testing::Run({"/usr/bin/unzip", "-tqq", archive}).status, 0);  // what could be added was
}

TEST_F(ZipwrightTool, AFullDiskLeavesTheOldArchive) {
  const std::string a = Make("a.txt", "a");
  ASSERT_EQ(Zipwright({"add", archive, a}).status, 0);
  const std::string before = testing::ReadFile(archive);
  std::string noise(2 << 20, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  const std::string big = Make("big.bin", noise);
  TRunResult added = Zipwright({"add", "-0", archive, big}, 1 << 20);
  EXPECT_EQ(added.status, 1);
  EXPECT_NE(added.err.find("Cannot write"), std::string::npos) << added.err;
  EXPECT_EQ(testing::ReadFile(archive), before);
  for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_NE(e.path().filename().string().rfind(".zipeng-", 0), 0u) << e.path();
}

TEST_F(ZipwrightTool, ListingProblems) {
  TRunResult missing = Zipwright({"list", dir.File("none.zip")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "zipwright: " + dir.File("none.zip") + ": no such file\n");
  testing::WriteFile(archive, "not an archive");
  TRunResult damaged = Zipwright({"list", archive});
  EXPECT_EQ(damaged.status, 1);
  EXPECT_NE(damaged.err.find("Missing String ID is: 11036"), std::string::npos) << damaged.err;
}

TEST_F(ZipwrightTool, CommandLinesThatDoNotRead) {
  const std::vector<std::string> cases[] = {
      {}, {"extract", "a.zip"}, {"add", "a.zip"}, {"add", "-x", "a.zip", "f"}, {"add", "-10", "a.zip", "f"},
      {"add", "-P"}, {"add", "-P", "", "a.zip", "f"}, {"list"}, {"list", "a.zip", "b.zip"},
  };
  for (const auto& args : cases) {
    TRunResult r = Zipwright(args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
    EXPECT_NE(r.err.find("usage: zipwright add"), std::string::npos);
  }
}

}  // namespace
}  // namespace tavrik
