#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>

#include "tests/support/TempDir.h"
#include "tests/xbase/OrderTestTable.h"
#include "xbase/ExprError.h"
#include "xbase/IndexError.h"
#include "xbase/IndexFile.h"
#include "xbase/Order.h"

namespace tavrik::xbase {
namespace {

using testing::TMemTable;
using TBytes = std::vector<uint8_t>;
using TRecnos = std::vector<uint32_t>;

TMemTable Names(int count, int width = 10) {
  TMemTable t({{"NAME", 'C', width, 0, 0}, {"QTY", 'N', 5, 0, 0}, {"ACTIVE", 'L', 1, 0, 0}});
  for (int i = 0; i < count; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "N%05d", (i * 7919) % count);  // not in record order
    t.Append(t.Image({{"NAME", name}, {"QTY", std::to_string(i % 4)}, {"ACTIVE", i % 3 ? "T" : "F"}}));
  }
  return t;
}

TRecnos Walk(TIndexFile& file, int tag, const TMemTable& table) {
  TIndexOrder order(std::shared_ptr<TIndexFile>(std::shared_ptr<TIndexFile>{}, &file), tag, table);
  TRecnos out;
  for (uint32_t r = order.First(); r != 0 && out.size() <= table.Count(); r = order.Next(r, table.Record(r)))
    out.push_back(r);
  return out;
}

TBytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const TBytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The first page of a type, and resealing a page (or the header) after changing it.
uint32_t PageOfType(const TBytes& bytes, uint8_t type) {
  for (uint32_t p = 1; (p + 1) * kPageSize <= bytes.size(); ++p)
    if (bytes[p * kPageSize + kPageType] == type) return p;
  return 0;
}
void Reseal(TBytes& bytes, uint32_t page) {
  uint8_t* p = bytes.data() + page * kPageSize;
  if (page == 0)
    PutLe32(p + kHdrCrc, Crc32(p, kHdrCrc));
  else
    PutLe32(p + kPageCrc, Crc32(p + 4, kPageSize - 4));
}

template <typename E>
std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const E& err) {
    return err.Message();
  } catch (const std::exception& other) {
    return std::string("other error: ") + other.what();
  }
  return "(no error)";
}

TEST(IndexFile, ReopenedFileGivesTheSameOrdersAndDefinitions) {
  tavrik::testing::TempDir dir;
  const std::string path = dir.File("names.mxi");
  TMemTable t = Names(500);
  TRecnos by_name, by_name_desc, active;
  {
    auto file = TIndexFile::Create(path, t);
    t.Observe(file.get());
    file->CreateTag({"NAME", "NAME", "", false, false}, t, t);
    file->CreateTag({"NAMED", "UPPER(NAME)", "ACTIVE", true, true}, t, t);
    t.Append(t.Image({{"NAME", "A"}, {"ACTIVE", "T"}}));
    t.Write(10, t.Image({{"NAME", "ZZ"}, {"ACTIVE", "T"}}));
    by_name = Walk(*file, 0, t);
    by_name_desc = Walk(*file, 1, t);
    EXPECT_EQ(by_name.front(), 501u);
    EXPECT_EQ(by_name.back(), 10u);
    EXPECT_EQ(by_name_desc.front(), 10u);
  }  // the last holder lets go: everything is written
  auto file = TIndexFile::Open(path, t);
  ASSERT_EQ(file->TagCount(), 2);
  const TTagDefinition& d = file->Tag(1).Definition();
  EXPECT_EQ(d.name, "NAMED");
  EXPECT_EQ(d.key, "UPPER(NAME)");
  EXPECT_EQ(d.condition, "ACTIVE");
  EXPECT_TRUE(d.unique);
  EXPECT_TRUE(d.descending);
  EXPECT_EQ(file->FindTag("named"), 1);
  EXPECT_EQ(file->FindTag("NAMEX"), -1);
  EXPECT_EQ(Walk(*file, 0, t), by_name);
  EXPECT_EQ(Walk(*file, 1, t), by_name_desc);
}

TEST(IndexFile, OneProcessOpensEachFileOnce) {
  tavrik::testing::TempDir dir;
  const std::string path = dir.File("t.mxi");
  TMemTable t = Names(10);
  auto created = TIndexFile::Create(path, t);
  EXPECT_EQ(TIndexFile::Open(path, t), created);
  EXPECT_EQ(ErrorOf<EIndexError>([&] { TIndexFile::Create(path, t); }),
            "Index file " + path + " is open and cannot be created anew");
  EXPECT_EQ(ErrorOf<EIndexError>([&] { TIndexFile::Repair(path, t, t); }),
            "Index file " + path + " is open and cannot be repaired");
  created.reset();
  EXPECT_NO_THROW(TIndexFile::Create(path, t));
}

struct TForeignCase {
  std::string what;
  TBytes bytes;
  std::string cls;
  std::string message;  // "%" stands for the path
};

TEST(IndexFile, ForeignAndBrokenFilesAreRefused) {
  tavrik::testing::TempDir dir;
  TMemTable t = Names(300);
  const std::string good_path = dir.File("good.mxi");
  {
    auto file = TIndexFile::Create(good_path, t);
    file->CreateTag({"NAME", "NAME", "", false, false}, t, t);
  }
  const TBytes good = ReadAll(good_path);
  TBytes cdx(1024, 0);
  PutLe32(cdx.data(), 0x400);  // a compound index header: root page, free list, version, key length
  cdx[12] = 10;
  TBytes dbf = {0x03, 0x7C, 0x0B, 0x05, 1, 0, 0, 0, 0x61, 0, 0x21, 0};
  TBytes future(good);
  PutLe16(future.data() + kHdrVersion, kIndexVersion + 1);
  TBytes torn(good);
  torn[kHdrTagCount] ^= 0x40;
  TBytes longer(good);
  longer.resize(good.size() + 100, 'x');
  TBytes shorter(good.begin(), good.begin() + 8);

  const std::vector<TForeignCase> cases = {
      {"empty", {}, "EIndexForeign", "% is not an index file of this engine"},
      {"text", TBytes{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'n', 'd', 'e', 'x', '\n'}, "EIndexForeign",
       "% is not an index file of this engine"},
      {"compound index of another engine", cdx, "EIndexForeign", "% is not an index file of this engine"},
      {"a table", dbf, "EIndexForeign", "% is not an index file of this engine"},
      {"a later format", future, "EIndexForeign", "Index file % has format version 3, which this engine does not read"},
      {"signature only", shorter, "EIndexCorrupt", "Index file % is damaged: it is shorter than its header"},
      {"torn header", torn, "EIndexCorrupt", "Index file % is damaged: its header fails its checksum"},
      {"bytes after the last page", longer, "EIndexCorrupt", "Index file % is damaged: its size does not match its page count"},
  };
  for (const TForeignCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.File("case.mxi");
    WriteAll(path, c.bytes);
    std::string message = c.message;
    message.replace(message.find('%'), 1, path);
    try {
      TIndexFile::Open(path, t);
      ADD_FAILURE() << "opened";
    } catch (const EIndexError& err) {
      EXPECT_EQ(err.ClassName(), c.cls);
      EXPECT_EQ(err.Message(), message);
    }
  }
  EXPECT_EQ(ErrorOf<EIndexError>([&] { TIndexFile::Open(dir.File("missing.mxi"), t); }),
            "Cannot open index file " + dir.File("missing.mxi") + ": No such file or directory");
  // Repair never overwrites a file that is not ours.
  const std::string cdx_path = dir.File("other.cdx");
  WriteAll(cdx_path, cdx);
  EXPECT_EQ(ErrorOf<EIndexForeign>([&] { TIndexFile::Repair(cdx_path, t, t); }),
            cdx_path + " is not an index file of this engine");
  EXPECT_EQ(ReadAll(cdx_path), cdx);
}

struct TDamageCase {
  std::string what;
  std::function<std::string(TBytes&)> damage;  // damages the bytes; returns the expected message tail
};

TEST(IndexFile, DamagedPagesAreReportedWhereTheyAreFound) {
  tavrik::testing::TempDir dir;
  TMemTable t = Names(300);
  const std::string path = dir.File("d.mxi");
  {
    auto file = TIndexFile::Create(path, t);
    file->CreateTag({"NAME", "NAME", "", false, false}, t, t);
  }
  const TBytes good = ReadAll(path);
  const uint32_t leaf = PageOfType(good, kPageLeaf), branch = PageOfType(good, kPageBranch),
                 def = PageOfType(good, kPageTagDef);
  ASSERT_NE(leaf, 0u);
  ASSERT_NE(branch, 0u);
  auto at = [](TBytes& b, uint32_t page, size_t offset) { return b.data() + page * kPageSize + offset; };
  const size_t branch_entry = 10 + 12;
  const std::string L = std::to_string(leaf), B = std::to_string(branch);

  const std::vector<TDamageCase> cases = {
      {"flipped bit", [&](TBytes& b) { *at(b, leaf, 100) ^= 1; return "page " + L + " fails its checksum"; }},
      {"entry count beyond the page",
       [&](TBytes& b) { PutLe16(at(b, leaf, kTreeCount), 5000); Reseal(b, leaf); return "page " + L + " holds an impossible number of entries"; }},
      {"empty page",
       [&](TBytes& b) { PutLe16(at(b, leaf, kTreeCount), 0); Reseal(b, leaf); return "page " + L + " holds an impossible number of entries"; }},
      {"child outside the file",
       [&](TBytes& b) {
         PutLe32(at(b, branch, kTreeEntries + branch_entry + 14), 99999);
         Reseal(b, branch);
         return "page " + B + " points outside the file";
       }},
      {"child pointing at the header",
       [&](TBytes& b) {
         PutLe32(at(b, branch, kTreeEntries + 14), 0);
         Reseal(b, branch);
         return "page " + B + " points outside the file";
       }},
      {"keys out of order",
       [&](TBytes& b) { std::memset(at(b, leaf, kTreeEntries), 'Z', 10); Reseal(b, leaf); return "page " + L + " holds entries out of order"; }},
      {"counts that do not add up",
       [&](TBytes& b) {
         uint8_t* count = at(b, branch, kTreeEntries + 18);
         PutLe32(count, GetLe32(count) + 1);
         Reseal(b, branch);
         return "page " + B + " does not hold the number of entries its parent counts";
       }},
      {"a leaf where a branch belongs",
       [&](TBytes& b) { *at(b, branch, kPageType) = kPageLeaf; Reseal(b, branch); return "page " + B + " is not the tree page expected there"; }},
      {"a page of another tag",
       [&](TBytes& b) { PutLe16(at(b, leaf, kTreeSlot), 5); Reseal(b, leaf); return "page " + L + " belongs to another tree"; }},
      {"a page of another key length",
       [&](TBytes& b) { PutLe16(at(b, leaf, kTreeKeyLength), 9); Reseal(b, leaf); return "page " + L + " belongs to another tree"; }},
      {"root outside the file",
       [&](TBytes& b) { PutLe32(at(b, 0, kHdrSlots + 4), 999); Reseal(b, 0); return std::string("tag slot 1 holds an impossible tree root"); }},
      {"root without height",
       [&](TBytes& b) { PutLe32(at(b, 0, kHdrSlots + 8), 0); Reseal(b, 0); return std::string("tag slot 1 holds an impossible tree root"); }},
      {"tree too tall",
       [&](TBytes& b) { PutLe32(at(b, 0, kHdrSlots + 8), 99); Reseal(b, 0); return std::string("tag slot 1 holds an impossible tree root"); }},
      {"definition page zero",
       [&](TBytes& b) { PutLe32(at(b, 0, kHdrSlots), 0); Reseal(b, 0); return std::string("tag slot 1 points outside the file"); }},
      {"tag count too high",
       [&](TBytes& b) { PutLe32(at(b, 0, kHdrTagCount), 65); Reseal(b, 0); return std::string("its header counts more than 64 tags"); }},
      {"page count off",
       [&](TBytes& b) { PutLe32(at(b, 0, kHdrPageCount), 99); Reseal(b, 0); return std::string("its size does not match its page count"); }},
      {"free list outside the file",
       [&](TBytes& b) { PutLe32(at(b, 0, kHdrFreeHead), 1000); Reseal(b, 0); return std::string("its free page list points outside the file"); }},
      {"unknown state",
       [&](TBytes& b) { PutLe32(at(b, 0, kHdrState), 7); Reseal(b, 0); return std::string("its header state is unknown"); }},
      {"unreadable definition",
       [&](TBytes& b) { PutLe16(at(b, def, kDefNameLength), 0); Reseal(b, def); return std::string("the definition of tag 1 is unreadable"); }},
      {"definition of a huge key",
       [&](TBytes& b) { PutLe16(at(b, def, kDefKeyLength), 241); Reseal(b, def); return std::string("the definition of tag 1 is unreadable"); }},
  };
  for (const TDamageCase& c : cases) {
    SCOPED_TRACE(c.what);
    TBytes bytes = good;
    std::string tail = c.damage(bytes);
    WriteAll(path, bytes);
    std::string message = ErrorOf<EIndexCorrupt>([&] {
      auto file = TIndexFile::Open(path, t, /*read_only=*/true);
      Walk(*file, 0, t);
    });
    EXPECT_EQ(message, "Index file " + path + " is damaged: " + tail);
  }
}

// Memory storage that fails every write once its allowance is used up.
class TFailingStorage : public TMemoryStorage {
 public:
  TFailingStorage(std::shared_ptr<TBytes> bytes, int* writes_left)
      : TMemoryStorage("mem.mxi", std::move(bytes)), writes_left_(writes_left) {}
  void Write(uint64_t offset, const void* data, size_t size) override {
    if (*writes_left_ == 0) throw EIndexError("Cannot write index file mem.mxi: No space left on device");
    if (*writes_left_ > 0) --*writes_left_;
    TMemoryStorage::Write(offset, data, size);
  }

 private:
  int* writes_left_;
};

TEST(IndexFile, ACrashLeavesAStaleFileThatRepairMends) {
  TMemTable t = Names(200);
  auto disk = std::make_shared<TBytes>();
  auto file = TIndexFile::Create(std::make_unique<TMemoryStorage>("mem.mxi", disk), t);
  t.Observe(file.get());
  file->CreateTag({"NAME", "NAME", "", false, false}, t, t);
  file->CreateTag({"ACTIVE", "NAME", "ACTIVE", true, false}, t, t);
  TBytes clean = *disk;
  t.Append(t.Image({{"NAME", "A"}, {"ACTIVE", "T"}}));
  t.Write(3, t.Image({{"NAME", "ZZ"}, {"ACTIVE", "T"}}));
  const TRecnos by_name = Walk(*file, 0, t), active = Walk(*file, 1, t);
  // What the disk holds when the process dies before the next flush:
  auto crashed = std::make_shared<TBytes>(*disk);
  EXPECT_EQ(ErrorOf<EIndexStale>([&] { TIndexFile::Open(std::make_unique<TMemoryStorage>("mem.mxi", crashed), t); }),
            "Index file mem.mxi was not closed properly and must be rebuilt");
  auto repaired = TIndexFile::Repair(std::make_unique<TMemoryStorage>("mem.mxi", crashed), t, t);
  ASSERT_EQ(repaired->TagCount(), 2);
  EXPECT_EQ(repaired->Tag(1).Definition().condition, "ACTIVE");
  EXPECT_TRUE(repaired->Tag(1).Unique());
  EXPECT_EQ(Walk(*repaired, 0, t), by_name);
  EXPECT_EQ(Walk(*repaired, 1, t), active);
  // A flushed file opens as it is.
  file->Flush();
  auto flushed = std::make_shared<TBytes>(*disk);
  EXPECT_EQ(Walk(*TIndexFile::Open(std::make_unique<TMemoryStorage>("mem.mxi", flushed), t), 0, t), by_name);
  EXPECT_NE(clean, *disk);
}

TEST(IndexFile, ATornHeaderIsRepairedFromTheDefinitionPages) {
  tavrik::testing::TempDir dir;
  const std::string path = dir.File("torn.mxi");
  TMemTable t = Names(400);
  TRecnos by_name, by_qty;
  {
    auto file = TIndexFile::Create(path, t);
    file->CreateTag({"NAME", "NAME", "", false, true}, t, t);
    file->CreateTag({"QTY", "STR(QTY, 5) + NAME", "ACTIVE", false, false}, t, t);
    by_name = Walk(*file, 0, t);
    by_qty = Walk(*file, 1, t);
  }
  TBytes bytes = ReadAll(path);
  std::memset(bytes.data() + 2048, 0xAA, 2048);  // the second half of the header never arrived
  WriteAll(path, bytes);
  EXPECT_EQ(ErrorOf<EIndexCorrupt>([&] { TIndexFile::Open(path, t); }),
            "Index file " + path + " is damaged: its header fails its checksum");
  auto file = TIndexFile::Repair(path, t, t);
  ASSERT_EQ(file->TagCount(), 2);
  EXPECT_EQ(file->Tag(0).Name(), "NAME");
  EXPECT_TRUE(file->Tag(0).Descending());
  EXPECT_EQ(file->Tag(1).Definition().key, "STR(QTY, 5) + NAME");
  EXPECT_EQ(Walk(*file, 0, t), by_name);
  EXPECT_EQ(Walk(*file, 1, t), by_qty);
}

TEST(IndexFile, AFailedWriteBreaksTheFileUntilRepaired) {
  TMemTable t = Names(200);
  auto disk = std::make_shared<TBytes>();
  int writes_left = -1;
  auto file = TIndexFile::Create(std::make_unique<TFailingStorage>(disk, &writes_left), t);
  t.Observe(file.get());
  file->CreateTag({"NAME", "NAME", "", false, false}, t, t);
  writes_left = 1;  // the header's "open for writing" mark gets through, the pages do not
  t.Append(t.Image({{"NAME", "A"}}));
  EXPECT_EQ(ErrorOf<EIndexError>([&] { file->Flush(); }), "Cannot write index file mem.mxi: No space left on device");
  const std::string broken = "Index file mem.mxi failed during a change and can be used again once it has been closed and opened "
      "anew";
  EXPECT_EQ(ErrorOf<EIndexStale>([&] { Walk(*file, 0, t); }), broken);
  EXPECT_EQ(ErrorOf<EIndexStale>([&] { t.Write(1, t.Record(1)); }), broken);
  EXPECT_EQ(ErrorOf<EIndexStale>([&] { file->Flush(); }), broken);
  EXPECT_EQ(ErrorOf<EIndexStale>([&] { file->CreateTag({"X", "NAME", "", false, false}, t, t); }), broken);
  // On disk the file says it was not closed cleanly.
  auto copy = std::make_shared<TBytes>(*disk);
  EXPECT_EQ(ErrorOf<EIndexStale>([&] { TIndexFile::Open(std::make_unique<TMemoryStorage>("mem.mxi", copy), t); }),
            "Index file mem.mxi was not closed properly and must be rebuilt");
  auto repaired = TIndexFile::Repair(std::make_unique<TMemoryStorage>("mem.mxi", copy), t, t);
  EXPECT_EQ(Walk(*repaired, 0, t).front(), 201u);
}

TEST(IndexFile, AFailedFirstWriteBreaksTheFileToo) {
  TMemTable t = Names(20);
  auto disk = std::make_shared<TBytes>();
  int writes_left = -1;
  auto file = TIndexFile::Create(std::make_unique<TFailingStorage>(disk, &writes_left), t);
  t.Observe(file.get());
  file->CreateTag({"NAME", "NAME", "", false, false}, t, t);
  writes_left = 0;
  EXPECT_EQ(ErrorOf<EIndexError>([&] { t.Append(t.Image({{"NAME", "A"}})); }),
            "Cannot write index file mem.mxi: No space left on device");
  EXPECT_THROW(Walk(*file, 0, t), EIndexStale);
}

TEST(IndexFile, ReadOnlyFilesRefuseChangesAndStayUsable) {
  tavrik::testing::TempDir dir;
  const std::string path = dir.File("ro.mxi");
  TMemTable t = Names(30);
  TRecnos before;
  {
    auto file = TIndexFile::Create(path, t);
    file->CreateTag({"NAME", "NAME", "", false, false}, t, t);
    before = Walk(*file, 0, t);
  }
  auto file = TIndexFile::Open(path, t, /*read_only=*/true);
  const std::string refused = "Index file " + path + " is open read-only";
  EXPECT_EQ(ErrorOf<EIndexError>([&] { file->RecordChanged(1, t.Record(1), t.Image({{"NAME", "Q"}})); }), refused);
  EXPECT_EQ(ErrorOf<EIndexError>([&] { file->CreateTag({"Q", "NAME", "", false, false}, t, t); }), refused);
  EXPECT_EQ(ErrorOf<EIndexError>([&] { file->Reindex(t); }), refused);
  EXPECT_EQ(ErrorOf<EIndexError>([&] { TIndexFile::Open(path, t); }), refused);
  EXPECT_EQ(Walk(*file, 0, t), before);
}

TEST(IndexFile, BadTagDefinitionsLeaveTheFileAsItWas) {
  TMemTable t = Names(20);
  auto file = TIndexFile::Create(std::make_unique<TMemoryStorage>("mem.mxi", std::make_shared<TBytes>()), t);
  file->CreateTag({"NAME", "NAME", "", false, false}, t, t);
  const std::vector<std::pair<TTagDefinition, std::string>> cases = {
      {{"", "NAME", "", false, false}, "Invalid tag name: \"\""},
      {{"1ABC", "NAME", "", false, false}, "Invalid tag name: \"1ABC\""},
      {{"A B", "NAME", "", false, false}, "Invalid tag name: \"A B\""},
      {{std::string(33, 'A'), "NAME", "", false, false}, "Invalid tag name: \"" + std::string(33, 'A') + "\""},
      {{"BAD", std::string(1025, ' ') + "NAME", "", false, false}, "Expressions of tag BAD may be at most 1024 characters long"},
      {{"BAD", "NOSUCH", "", false, false}, "Unknown field: NOSUCH"},
      {{"BAD", "", "", false, false}, "Empty expression"},
      {{"BAD", "SPACE(300)", "", false, false}, "Key length 300 is out of range (1 to 240): SPACE(300)"},
      {{"BAD", "NAME", "NAME", false, false}, "For-condition of tag BAD is not logical: NAME"},
      {{"BAD", "NAME", "QTY >", false, false}, "Syntax error at position 6: unexpected end of expression"},
  };
  for (const auto& [def, message] : cases) {
    SCOPED_TRACE(def.name + " / " + def.key.substr(0, 20));
    try {
      file->CreateTag(def, t, t);
      ADD_FAILURE() << "created";
    } catch (const Exception& err) {
      EXPECT_EQ(err.Message(), message);
    }
    EXPECT_EQ(file->TagCount(), 1);
  }
  EXPECT_EQ(Walk(*file, 0, t).size(), 20u);
  for (int i = 1; i < 64; ++i) file->CreateTag({std::string("T").append(std::to_string(i)), "QTY", "", false, false}, t, t);
  EXPECT_EQ(ErrorOf<EIndexError>([&] { file->CreateTag({"T64", "QTY", "", false, false}, t, t); }),
            "Index file mem.mxi already holds 64 tags");
  // Replacing a tag by name rebuilds it under the new definition.
  file->CreateTag({"name", "UPPER(NAME)", "ACTIVE", false, true}, t, t);
  EXPECT_EQ(file->TagCount(), 64);
  EXPECT_EQ(file->Tag(0).Definition().key, "UPPER(NAME)");
  EXPECT_TRUE(file->Tag(0).Descending());
  EXPECT_EQ(Walk(*file, 0, t).size(), 13u);  // the active records
}

TEST(IndexFile, TagsThatNoLongerFitTheTableAreRefused) {
  tavrik::testing::TempDir dir;
  const std::string path = dir.File("f.mxi");
  TMemTable t = Names(50);
  TIndexFile::Create(path, t)->CreateTag({"NAME", "NAME", "", false, false}, t, t);
  TMemTable wider = Names(50, 12);
  EXPECT_EQ(ErrorOf<EIndexStale>([&] { TIndexFile::Open(path, wider); }),
            "Tag NAME of index file " + path + " no longer fits the table's fields and must be rebuilt");
  TMemTable other({{"CODE", 'C', 4, 0, 0}});
  EXPECT_EQ(ErrorOf<EIndexError>([&] { TIndexFile::Open(path, other); }),
            "Tag NAME of index file " + path + " cannot be used: Unknown field: NAME");
  EXPECT_EQ(ErrorOf<EIndexError>([&] { TIndexFile::Repair(path, other, other); }),
            "Tag NAME of index file " + path + " cannot be rebuilt: Unknown field: NAME");
  auto repaired = TIndexFile::Repair(path, wider, wider);
  EXPECT_EQ(repaired->Tag(0).Key().Length(), 12u);
  EXPECT_EQ(Walk(*repaired, 0, wider).size(), 50u);
}

TEST(IndexFile, RecordsWhoseKeyCannotBeComputedAreLeftOut) {
  TMemTable t = Names(8);  // QTY runs 0 1 2 3 0 1 2 3
  auto file = TIndexFile::Create(std::make_unique<TMemoryStorage>("mem.mxi", std::make_shared<TBytes>()), t);
  t.Observe(file.get());
  file->CreateTag({"PER", "STR(12 / QTY, 5)", "", false, false}, t, t);
  EXPECT_EQ(Walk(*file, 0, t), (TRecnos{4, 8, 3, 7, 2, 6}));
  t.Write(4, t.Image({{"QTY", "0"}}));  // now left out
  t.Write(1, t.Image({{"QTY", "12"}}));  // now in
  EXPECT_EQ(Walk(*file, 0, t), (TRecnos{1, 8, 3, 7, 2, 6}));
}

TEST(IndexFile, ProductionIndexPathFollowsTheTableName) {
  EXPECT_EQ(ProductionIndexPath("/data/LOG.DBF"), "/data/LOG.MXI");
  EXPECT_EQ(ProductionIndexPath("/data/users.dbf"), "/data/users.mxi");
  EXPECT_EQ(ProductionIndexPath("/data.d/table"), "/data.d/table.mxi");
  EXPECT_EQ(ProductionIndexPath("T.Dbf"), "T.mxi");
}

}  // namespace
}  // namespace tavrik::xbase
