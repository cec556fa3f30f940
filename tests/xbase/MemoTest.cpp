// Memo contents in .dbt and .fpt files: round trips of text and binary data, growth into new
// blocks, reuse of a memo's own blocks, damaged memo files reported where found.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "tests/xbase/TableTestUtil.h"
#include "xbase/FieldCodec.h"
#include "xbase/WorkAreaSet.h"

namespace tavrik::xbase::testing {
namespace {

using tavrik::testing::TempDir;

uint64_t SizeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

std::string AllBytes() {
  std::string b;
  for (int i = 0; i < 256; ++i) b += char(i);
  return b + b;
}

struct Kind {
  const char* name;
  int table_type;
  const char* memo_ext;
};

class Memo : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    path_ = MakeTable(dir_, "M.DBF", "ID,N,3,0;NOTE,M,10,0;PIC,B,10,0;OLE,G,10,0", GetParam().table_type);
    memo_path_ = dir_.File(std::string("M") + GetParam().memo_ext);
    set_.Use(path_, "", 0, GetParam().table_type, 1);
    for (int i = 0; i < 3; ++i) set_.AppendBlank();
  }
  std::string Ref(const char* field) { return set_.GetRecord().substr(size_t(set_.FieldOffset(field) - 1), 10); }

  TempDir dir_;
  std::string path_, memo_path_;
  TWorkAreaSet set_;
};

TEST_P(Memo, TextAndBinaryRoundTrips) {
  const std::string text = "first line\r\nsecond line";
  const std::string long_text(5000, 'x');
  set_.Go(1);
  set_.Replace("NOTE", rtMemoText, text);
  EXPECT_EQ(set_.PutBlob("PIC", AllBytes()), 512);
  EXPECT_EQ(set_.PutBlob("OLE", std::string("\0\1\2", 3)), 3);
  set_.Go(2);
  set_.Replace("NOTE", rtMemoText, long_text);
  set_.Go(3);
  EXPECT_EQ(set_.PutBlob("NOTE", "via PutBlob"), 11);
  set_.Close();

  TWorkAreaSet reader;
  reader.Use(path_, "", 1, GetParam().table_type, 1);
  reader.Go(1);
  EXPECT_EQ(reader.GetMemo("NOTE", 0), text);
  EXPECT_EQ(reader.GetBlob("PIC"), AllBytes());
  EXPECT_EQ(reader.GetBlobLength("PIC"), 512);
  EXPECT_EQ(reader.GetBlob("OLE"), std::string("\0\1\2", 3));
  EXPECT_EQ(reader.GetBlobLength("NOTE"), int(text.size()));
  reader.Go(2);
  EXPECT_EQ(reader.GetMemo("NOTE", 0), long_text);
  EXPECT_EQ(reader.GetBlob("PIC"), "");
  EXPECT_EQ(reader.GetBlobLength("PIC"), 0);
  reader.Go(3);
  EXPECT_EQ(reader.GetMemo("NOTE", 0), "via PutBlob");
  ExpectError([&] { reader.GetMemo("ID", 0); }, "Field ID is not a memo field");
  ExpectError([&] { reader.PutBlob("ID", "x"); }, "Field ID is not a memo field");
}

TEST_P(Memo, GrowsIntoNewBlocksAndReusesItsOwn) {
  set_.Go(1);
  set_.Replace("NOTE", rtMemoText, std::string(100, 'a'));
  const std::string first = Ref("NOTE");
  set_.Go(2);
  set_.Replace("NOTE", rtMemoText, "neighbour");
  const std::string neighbour = Ref("NOTE");
  const uint64_t size = SizeOf(memo_path_);

  // Shorter, or as long as its blocks allow: the same place, the file as it was.
  set_.Go(1);
  set_.Replace("NOTE", rtMemoText, std::string(60, 'b'));
  EXPECT_EQ(Ref("NOTE"), first);
  EXPECT_EQ(SizeOf(memo_path_), size);

  // Longer than its blocks: new blocks at the end; the neighbour is untouched.
  set_.Replace("NOTE", rtMemoText, std::string(3000, 'c'));
  EXPECT_NE(Ref("NOTE"), first);
  EXPECT_GT(SizeOf(memo_path_), size);
  EXPECT_EQ(set_.GetMemo("NOTE", 0), std::string(3000, 'c'));
  set_.Go(2);
  EXPECT_EQ(Ref("NOTE"), neighbour);
  EXPECT_EQ(set_.GetMemo("NOTE", 0), "neighbour");

  // Emptied: no reference any more.
  set_.Replace("NOTE", rtMemoText, "");
  EXPECT_EQ(Ref("NOTE"), std::string(10, ' '));
  EXPECT_EQ(set_.GetMemo("NOTE", 0), "");
}

TEST_P(Memo, DamageIsReportedWhereFound) {
  set_.Go(1);
  set_.Replace("NOTE", rtMemoText, "fine");
  const std::string image = set_.GetRecord();
  set_.Close();
  const size_t note_at = 1 + 3;  // deletion flag, ID
  const uint64_t record1 = SizeOf(path_) - 1 - 3 * (1 + 3 + 30);

  Patch(path_, record1 + note_at, "      9999");
  set_.Use(path_, "", 0, GetParam().table_type, 1);
  set_.Go(1);
  ExpectError<ETableCorrupt>([&] { set_.GetMemo("NOTE", 0); },
                             "Corrupt memo file " + memo_path_ + ": block 9999 lies outside the file");
  // Writing over a reference that cannot be trusted puts the memo in new blocks.
  set_.Replace("NOTE", rtMemoText, "rewritten");
  EXPECT_EQ(set_.GetMemo("NOTE", 0), "rewritten");
  set_.Close();

  Patch(path_, record1 + note_at, "      12x4");
  set_.Use(path_, "", 0, GetParam().table_type, 1);
  set_.Go(1);
  ExpectError<ETableCorrupt>([&] { set_.GetMemo("NOTE", 0); },
                             "Corrupt table " + path_ + ": memo field NOTE holds '      12x4', which is not a block reference");
  set_.Close();

  std::remove(memo_path_.c_str());
  ExpectError([&] { set_.Use(path_, "", 0, GetParam().table_type, 1); }, "Memo file " + memo_path_ + " not found");
  WriteAll(memo_path_, std::string(100, '\0'));
  ExpectError<ETableCorrupt>([&] { set_.Use(path_, "", 0, GetParam().table_type, 1); },
                             "Corrupt memo file " + memo_path_ + ": the file is shorter than its header");
  EXPECT_EQ(set_.Alias(1), "");
}

TEST_P(Memo, ADamagedNextFreePointerCannotGrowTheFile) {
  set_.Go(1);
  set_.Replace("NOTE", rtMemoText, "first");
  set_.Close();
  const uint64_t before = SizeOf(memo_path_);
  // The pointer as either byte order reads it: far past the end of the file.
  Patch(memo_path_, 0, std::string("\xFF\xFF\xFF\x7F", 4));
  set_.Use(path_, "", 0, GetParam().table_type, 1);
  set_.Go(2);
  set_.Replace("NOTE", rtMemoText, "second");
  EXPECT_EQ(set_.GetMemo("NOTE", 0), "second");
  set_.Go(1);
  EXPECT_EQ(set_.GetMemo("NOTE", 0), "first");
  set_.Close();
  EXPECT_LE(SizeOf(memo_path_), before + 1024);
}

INSTANTIATE_TEST_SUITE_P(Kinds, Memo,
                         ::testing::Values(Kind{"Dbt", 1, ".DBT"}, Kind{"Fpt", 2, ".FPT"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MemoDbt, TextHoldingTheEndMarkKeepsItsLength) {
  TempDir dir;
  const std::string path = MakeTable(dir, "D.DBF", "NOTE,M,10,0", 1);
  TWorkAreaSet set;
  set.Use(path, "", 0, 1, 1);
  set.AppendBlank();
  const std::string text = std::string("before\x1A" "after", 12);
  set.Replace("NOTE", rtMemoText, text);
  EXPECT_EQ(set.GetBlob("NOTE"), text);
  set.Replace("NOTE", rtMemoText, "plain");
  EXPECT_EQ(set.GetMemo("NOTE", 0), "plain");
  // The plain text was written in dBASE III form: the text and two end marks.
  const std::string memo = ReadAll(dir.File("D.DBT"));
  EXPECT_EQ(memo.substr(512, 7), "plain\x1A\x1A");
}

TEST(MemoDbt, ATextWithoutItsEndMarkEndsWhereTheBlocksInUseEnd) {
  TempDir dir;
  const std::string path = MakeTable(dir, "D.DBF", "NOTE,M,10,0", 1);
  TWorkAreaSet set;
  set.Use(path, "", 0, 1, 1);
  set.AppendBlank();
  set.Replace("NOTE", rtMemoText, "kept");
  set.Close();
  // The end marks gone, and the file longer than its header says (a copy cut short and padded).
  const std::string memo_path = dir.File("D.DBT");
  Patch(memo_path, 512 + 4, "xx");
  WriteAll(memo_path, ReadAll(memo_path) + std::string(4096, 'z'));
  set.Use(path, "", 0, 1, 1);
  set.Go(1);
  EXPECT_EQ(set.GetMemo("NOTE", 0), "keptxx" + std::string(512 - 6, '\0'));
}

TEST(MemoFpt, HeaderAndBlocksFollowTheBlockSize) {
  TempDir dir;
  struct Case {
    int setting;
    uint16_t bytes;
  } cases[] = {{0, 64}, {1, 512}, {33, 33}, {100, 100}};
  for (const Case& c : cases) {
    const std::string path = dir.File(std::string("B").append(std::to_string(c.setting)).append(".DBF"));
    CreateTable(path, ParseFieldList("NOTE,M,10,0"), 2, c.setting);
    const std::string memo = ReadAll(path.substr(0, path.size() - 4) + ".FPT");
    ASSERT_EQ(memo.size(), 512u);
    EXPECT_EQ(memo.substr(6, 2), (std::string{char(c.bytes >> 8), char(c.bytes & 0xFF)}));
    const uint32_t first = (512 + c.bytes - 1) / c.bytes;
    EXPECT_EQ(memo.substr(0, 4), (std::string{char(first >> 24), char(first >> 16), char(first >> 8), char(first)}));
  }
  ExpectError([&] { CreateTable(dir.File("X.DBF"), ParseFieldList("NOTE,M,10,0"), 2, 70000); }, "Invalid memo block size 70000");

  const std::string path = dir.File("B100.DBF");
  TWorkAreaSet set;
  set.Use(path, "", 0, 2, 1);
  set.AppendBlank();
  set.Replace("NOTE", rtMemoText, std::string(93, 'z'));  // 8 + 93 = 101 bytes: two blocks
  set.AppendBlank();
  set.Replace("NOTE", rtMemoText, "next");
  EXPECT_EQ(set.GetRecord().substr(1), "         8");
  set.Go(1);
  EXPECT_EQ(set.GetRecord().substr(1), "         6");
  // A damaged free pointer that points into used blocks never sends new data over them.
  set.Close();
  Patch(dir.File("B100.FPT"), 0, std::string("\0\0\0\6", 4));
  set.Use(path, "", 0, 2, 1);
  set.Go(2);
  set.Replace("NOTE", rtMemoText, std::string(300, 'n'));
  set.Go(1);
  EXPECT_EQ(set.GetMemo("NOTE", 0), std::string(93, 'z'));
  set.Go(2);
  EXPECT_EQ(set.GetMemo("NOTE", 0), std::string(300, 'n'));
  set.Close();
  // A length running past the end of the file.
  Patch(dir.File("B100.FPT"), 600 + 4, std::string("\0\1\0\0", 4));
  set.Use(path, "", 0, 2, 1);
  ExpectError<ETableCorrupt>([&] { set.GetMemo("NOTE", 0); },
                             "Corrupt memo file " + dir.File("B100.FPT") + ": block 6 claims 65536 bytes, past the end of the file");
  set.Close();
  Patch(dir.File("B100.FPT"), 6, std::string("\0\0", 2));
  ExpectError<ETableCorrupt>([&] { set.Use(path, "", 0, 2, 1); }, "Corrupt memo file " + dir.File("B100.FPT") + ": the block size is 0");
}

TEST(MemoText, LinesWrapAtTheWidth) {
  struct Case {
    const char* text;
    int width;
    const char* wrapped;
  } cases[] = {
      {"aaa bbb ccc", 0, "aaa bbb ccc"},
      {"aaa bbb ccc", 7, "aaa bbb\r\nccc"},
      {"aaa bbb ccc", 8, "aaa bbb\r\nccc"},
      {"abcdefghij", 4, "abcd\r\nefgh\r\nij"},
      {"one two\r\nthree four", 5, "one\r\ntwo\r\nthree\r\nfour"},
      {"short\nlines", 10, "short\nlines"},
      {"", 5, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(WrapLines(c.text, c.width), c.wrapped) << c.text << " / " << c.width;
}

}  // namespace
}  // namespace tavrik::xbase::testing
