// ReadDirectory: archives written by Info-ZIP zip and byte by byte, their end record and
// comment, warnings, code pages, and damaged archives, which must give their message and never
// a read past what the file holds.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "platform/ScreenCursor.h"
#include "platform/Volumes.h"
#include "tests/support/TempDir.h"
#include "tests/zip/ZipTestSupport.h"
#include "zip/ZipWrt.h"

namespace tavrik {
namespace {

using testing::BuildArchive;
using testing::TBuiltEntry;

class ReadDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zip.SetUnattended(true);
    zip.OnMessage = [this](TComponent*, int, const std::string&) { numbers.push_back(zip.LastErrorCode()); };
    zip.OnDirUpdate = [this](TComponent*) { ++updates; };
  }
  // Writes `bytes` as the archive and reads it.
  void Read(const std::string& bytes) {
    testing::WriteFile(archive, bytes);
    numbers.clear();
    updates = 0;
    zip.SetZipFileName(archive);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : zip.ZipContents()) names.push_back(e.FileName);
    return names;
  }

  testing::TempDir dir;
  std::string archive = dir.File("test.zip");
  TZipwright zip;
  std::vector<int> numbers;
  int updates = 0;
};

const std::vector<TBuiltEntry> kTwo = {{"first.txt", "one", 3 << 8 | 30, 0, std::string("\x55\x54\x01\x00\x07", 5), "note"},
                                       {"dir/second.txt", "second file", 0 << 8 | 20, 1, "", ""}};

TEST_F(ReadDirectoryTest, AMissingArchiveEmptiesTheListQuietly) {
  Read(BuildArchive(kTwo));
  ASSERT_EQ(zip.Count(), 2);
  zip.SetZipFileName(dir.File("missing.zip"));
  EXPECT_EQ(zip.Count(), 0);
  EXPECT_EQ(updates, 2);
  EXPECT_TRUE(numbers.empty());
  EXPECT_EQ(zip.ZipFirstLocalOffset(), 0);
  EXPECT_EQ(zip.ZipComment(), "");
}

TEST_F(ReadDirectoryTest, EntriesOfAnInfoZipArchive) {
  testing::WriteFile(dir.File("top.txt"), "top level\n");
  std::filesystem::create_directories(dir.File("sub/deeper"));
  testing::WriteFile(dir.File("sub/deeper/data.db"), testing::RecordText(100000));
  auto made = testing::Run({"/bin/sh", "-c", "cd '" + dir.Path() + "' && /usr/bin/zip -q -r test.zip top.txt sub"});
  ASSERT_EQ(made.status, 0) << made.err;
  std::vector<int> seq;
  zip.OnNewName = [&](TComponent* sender, int n, const ZipDirEntry&) {
    EXPECT_EQ(sender, &zip);
    EXPECT_EQ(platform::CurrentScreenCursor().Cursor(), platform::TCursor::crHourGlass);
    seq.push_back(n);
  };
  zip.SetZipFileName(archive);
  EXPECT_EQ(platform::CurrentScreenCursor().Cursor(), platform::TCursor::crDefault);
  EXPECT_TRUE(numbers.empty());
  EXPECT_EQ(Names(), (std::vector<std::string>{"top.txt", "sub/deeper/data.db"}));
  EXPECT_EQ(zip.SkippedEntries(), 2);  // "sub/" and "sub/deeper/"
  EXPECT_EQ(seq, (std::vector<int>{1, 2}));
  const ZipDirEntry& data = zip.ZipContents()[1];
  std::string bytes = testing::ReadFile(dir.File("sub/deeper/data.db"));
  EXPECT_EQ(data.UncompressedSize(), bytes.size());
  EXPECT_LT(data.CompressedSize(), bytes.size() / 3);
  EXPECT_EQ(data.Method, 8);
  EXPECT_EQ(data.Crc32, crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
  EXPECT_EQ(data.VersionMadeBy >> 8, 3);  // Unix
  EXPECT_EQ(zip.ZipFirstLocalOffset(), 0);
  EXPECT_EQ(zip.ZipFileSize(), static_cast<int64_t>(testing::ReadFile(archive).size()));
  EXPECT_EQ(zip.ZipEndOffset(), zip.ZipFileSize() - 22);
  // The drive is the mount point of the archive's folder: no drive letter needed.
  EXPECT_EQ(zip.DriveRoot(), platform::VolumeOf(dir.Path())->mount_point);

  zip.SetUseDirOnlyEntries(true);
  zip.ReadDirectory();
  EXPECT_EQ(Names(), (std::vector<std::string>{"top.txt", "sub/", "sub/deeper/", "sub/deeper/data.db"}));
}

TEST_F(ReadDirectoryTest, FieldsOfTheEntries) {
  Read(BuildArchive(kTwo, "archive comment"));
  EXPECT_TRUE(numbers.empty());
  EXPECT_EQ(zip.ZipComment(), "archive comment");  // found by the backward scan
  ASSERT_EQ(zip.Count(), 2);
  const ZipDirEntry& first = zip.ZipContents()[0];
  EXPECT_EQ(first.ExtraField, std::string("\x55\x54\x01\x00\x07", 5));
  EXPECT_EQ(first.ExtraLength, 5);
  EXPECT_EQ(first.FileComment, "note");
  EXPECT_EQ(first.Encrypted, 0);
  EXPECT_EQ(first.LocalHeaderOffset32, 0u);
  const ZipDirEntry& second = zip.ZipContents()[1];
  EXPECT_EQ(second.FileName, "dir/second.txt");
  EXPECT_EQ(second.Encrypted, 1);
  EXPECT_TRUE(second.ExtraField.empty());
  EXPECT_EQ(second.UncompressedSize32, 11u);
  EXPECT_EQ(second.LocalHeaderOffset(), 30u + 9 + 3);
}

TEST_F(ReadDirectoryTest, BytesAfterTheArchive) {
  const std::string bytes = BuildArchive(kTwo);
  const size_t to_512 = 512 - bytes.size() % 512;
  struct Case {
    const char* name;
    std::string tail;
    bool warned;
  };
  const Case cases[] = {
      {"nothing", "", false},
      {"other bytes", "junk", true},
      {"zeros up to a multiple of 512", std::string(to_512, '\0'), false},
      {"zeros, not up to a multiple of 512", std::string(to_512 + 1, '\0'), true},
      {"512 zeros or more", std::string(to_512 + 512, '\0'), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Read(bytes + c.tail);
    EXPECT_EQ(numbers, c.warned ? std::vector<int>{zmBytesAfterEnd} : std::vector<int>{});
    EXPECT_EQ(zip.Count(), 2);  // a warning: reading goes on
  }
}

TEST_F(ReadDirectoryTest, DataInFrontIsAWarning) {
  Read("a stub program in front" + BuildArchive(kTwo));
  EXPECT_EQ(numbers, std::vector<int>{zmDataInFront});
  EXPECT_TRUE(zip.DataInFront());
  EXPECT_EQ(Names(), (std::vector<std::string>{"first.txt", "dir/second.txt"}));
}

TEST_F(ReadDirectoryTest, DamagedArchivesGiveTheirMessage) {
  const std::string good = BuildArchive(kTwo);
  const size_t end = good.size() - 22;
  const size_t directory = end - (46 + 9 + 5 + 4) - (46 + 14);
  struct Case {
    const char* name;
    std::function<std::string()> bytes;
    int message;
  };
  const Case cases[] = {
      {"empty file", [] { return std::string(); }, zmNoEndRecord},
      {"shorter than an end record", [] { return std::string("PK\x05\x06\0\0\0\0\0\0", 10); }, zmNoEndRecord},
      {"no end record", [] { return std::string(5000, 'x'); }, zmNoEndRecord},
      {"comment longer than the file", [&] {
         std::string b = good;
         testing::PutLE16(b, end + 20, 100);
         return b;
       }, zmNoEndRecord},
      {"directory larger than what lies before it", [&] {
         std::string b = good;
         testing::PutLE32(b, end + 12, static_cast<uint32_t>(end + 1));
         return b;
       }, zmCentralSeek},
      {"more entries than the directory holds", [&] {
         std::string b = good;
         testing::PutLE16(b, end + 10, 3);
         return b;
       }, zmCentralShort},
      {"a huge entry count", [&] {
         std::string b = good;
         testing::PutLE16(b, end + 10, 0xFFFF);
         return b;
       }, zmCentralShort},
      {"wrong directory signature", [&] {
         std::string b = good;
         b[directory] = 'X';
         return b;
       }, zmCentralSignature},
      {"name beyond the directory", [&] {
         std::string b = good;
         testing::PutLE16(b, directory + 28, 60000);
         return b;
       }, zmNameShort},
      {"extra field beyond the directory", [&] {
         std::string b = good;
         testing::PutLE16(b, directory + 30, 60000);
         return b;
       }, zmCentralSeek},
      {"comment beyond the directory", [&] {
         std::string b = good;
         testing::PutLE16(b, directory + 32, 60000);
         return b;
       }, zmCommentShort},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Read(c.bytes());
    EXPECT_EQ(numbers, std::vector<int>{c.message});
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(platform::CurrentScreenCursor().Cursor(), platform::TCursor::crDefault);
  }
}

TEST_F(ReadDirectoryTest, RandomDamageNeverReadsOutOfBounds) {
  const std::string good = BuildArchive(kTwo, "comment");
  std::mt19937 random(20240607);
  for (int round = 0; round < 1500; ++round) {
    std::string bytes = good;
    int changes = 1 + static_cast<int>(random() % 4);
    for (int k = 0; k < changes; ++k) {
      // Mostly the directory and the end record, where the numbers are.
      size_t at = bytes.size() - 1 - random() % std::min<size_t>(bytes.size(), 200);
      bytes[at] = static_cast<char>(random() % 3 == 0 ? 0xFF : random());
    }
    if (round % 10 == 0) bytes.resize(random() % bytes.size());
    Read(bytes);
    EXPECT_LE(numbers.size(), 2u);
  }
}

TEST_F(ReadDirectoryTest, NamesByCodePage) {
  struct Case {
    const char* name;
    uint16_t made_by, flags;
    CodePageOpts code_page;
    std::string raw, read;
  };
  const Case cases[] = {
      {"MS-DOS host, automatic", 0 << 8 | 20, 0, cpAuto, "caf\x82/\x81.txt", "caf\xe9/\xfc.txt"},
      {"MS-DOS host, no conversion", 0 << 8 | 20, 0, cpNone, "caf\x82.txt", "caf\x82.txt"},
      {"Unix host, OEM asked for", 3 << 8 | 30, 0, cpOEM, "caf\x82.txt", "caf\xe9.txt"},
      {"Unix host", 3 << 8 | 30, 0, cpAuto, "caf\xe9.txt", "caf\xe9.txt"},
      {"HPFS host", 6 << 8 | 20, 0, cpNone, "caf\x82.txt", "caf\xe9.txt"},
      {"NTFS host, version 50", 11 << 8 | 50, 0, cpNone, "caf\x82.txt", "caf\xe9.txt"},
      {"NTFS host, version 20", 11 << 8 | 20, 0, cpNone, "caf\x82.txt", "caf\x82.txt"},
      {"UTF-8 flag", 3 << 8 | 30, 0x0800, cpAuto, "caf\xc3\xa9.txt", "caf\xe9.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    zip.SetCodePage(c.code_page);
    Read(BuildArchive({{c.raw, "x", c.made_by, c.flags, "", c.raw}}));
    ASSERT_EQ(zip.Count(), 1);
    EXPECT_EQ(zip.ZipContents()[0].FileName, c.read);
    EXPECT_EQ(zip.ZipContents()[0].FileComment, c.read);
  }
}

TEST_F(ReadDirectoryTest, TheCursorComesBackAfterAnErrorInAHandler) {
  platform::CurrentScreenCursor().SetCursor(platform::TCursor::crDefault);
  zip.OnNewName = [](TComponent*, int, const ZipDirEntry&) { throw Exception("handler failed"); };
  Read(BuildArchive(kTwo));
  EXPECT_EQ(numbers, std::vector<int>{zmDirectoryError});
  EXPECT_EQ(zip.LastMessage(), ZipGeneralFallback(zmDirectoryError) + "\nhandler failed");
  EXPECT_EQ(platform::CurrentScreenCursor().Cursor(), platform::TCursor::crDefault);
  EXPECT_EQ(updates, 1);

  zip.OnNewName = [](TComponent*, int, const ZipDirEntry&) { throw 7; };  // not an error object: passes on
  EXPECT_THROW(Read(BuildArchive(kTwo)), int);
  EXPECT_EQ(platform::CurrentScreenCursor().Cursor(), platform::TCursor::crDefault);
}

}  // namespace
}  // namespace tavrik
