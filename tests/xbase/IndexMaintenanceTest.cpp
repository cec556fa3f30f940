// Index files kept current by the table: writes through other work areas, the table's own index
// opened by Use and again from disk, damaged, foreign and crashed files, refused changes taken
// back, other processes kept away, and threads appending while another seeks.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include "tests/xbase/ForkedChild.h"
#include "tests/xbase/PeopleTable.h"
#include "xbase/IndexError.h"
#include "xbase/IndexFile.h"
#include "xbase/IndexFormat.h"

namespace tavrik::xbase::testing {
namespace {

using tavrik::testing::TempDir;

// A record image of PEOPLE.DBF from its field texts.
std::string PersonImage(const TPerson& p) {
  char buf[64];
  std::snprintf(buf, sizeof buf, " %-10s%-8s%8s%-8s%s", p.name, p.city, p.amount, p.born, p.active);
  return buf;
}

class Maintenance : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = MakePeople(dir_);
    a_.Use(path_, "", 0, 2, 1);
    a_.IndexTag("", "NAME", "NAME", "", false, false);            // 1
    a_.IndexTag("", "ACT", "NAME", "ACTIVE", false, false);       // 2
    a_.IndexTag("", "UNAME", "UPPER(NAME)", "", true, false);     // 3
    b_.Use(path_, "", 0, 2, 1);
  }
  TRecnos WalkA(const char* tag) {
    a_.SetOrder(a_.TagArea(tag));
    return Walk(a_);
  }

  TempDir dir_;
  std::string path_;
  TWorkAreaSet a_, b_;
};

TEST_F(Maintenance, WritesOfAnotherWorkAreaReachTheOrders) {
  EXPECT_EQ(b_.SysProp(3000, 0), 3);  // the own index came with Use
  AddPerson(b_, {"Clark", "Delft", "5", "", "T"});  // 7
  EXPECT_EQ(WalkA("NAME"), (TRecnos{5, 3, 7, 2, 6, 1, 4}));
  EXPECT_EQ(WalkA("ACT"), (TRecnos{3, 7, 6, 1, 4}));

  b_.Go(2);
  b_.Replace("NAME", rtText, "Zed");  // key changes; still not active
  EXPECT_EQ(WalkA("NAME"), (TRecnos{5, 3, 7, 6, 1, 2, 4}));
  EXPECT_EQ(WalkA("UNAME"), (TRecnos{5, 3, 7, 6, 1, 2}));  // the other Jones shows now
  a_.SetOrder(a_.TagArea("NAME"));
  EXPECT_TRUE(a_.Seek("Zed"));
  EXPECT_EQ(a_.RecNo(), 2);

  b_.Go(5);  // Adams, not active, becomes Baker, active: both the key and the condition change
  b_.PutRecord(PersonImage({"Baker", "Delft", "100", "20000229", "T"}));
  EXPECT_EQ(WalkA("ACT"), (TRecnos{5, 3, 7, 6, 1, 4}));
  a_.SetOrder(a_.TagArea("NAME"));
  EXPECT_FALSE(a_.Seek("Adams"));
  EXPECT_TRUE(a_.Seek("Baker"));
  EXPECT_EQ(a_.RecNo(), 5);

  b_.Go(1);
  b_.Replace("ACTIVE", rtText, "F");  // leaves the condition
  EXPECT_EQ(WalkA("ACT"), (TRecnos{5, 3, 7, 6, 4}));
  b_.Delete();  // deleting keeps the keys
  EXPECT_EQ(WalkA("NAME"), (TRecnos{5, 3, 7, 6, 1, 2, 4}));

  // A tag made by one work area is listed by the other at its next question.
  a_.IndexTag("", "CITY", "CITY", "", false, false);
  EXPECT_EQ(b_.SysProp(3000, 0), 4);
  b_.SetOrder(4);
  EXPECT_EQ(Walk(b_), (TRecnos{2, 5, 7, 4, 1, 3, 6}));
}

// Keys and conditions are computed under fixed settings, so that every work area, session and
// process maintains a file alike: here the maker has Exact on and German dates.
TEST_F(Maintenance, KeysMeanTheSameWhateverTheSettings) {
  a_.SetExact(true);
  a_.SetDateFormat(4);
  a_.IndexTag("", "UTR", "NAME", "CITY = \"Utr\"", false, false);  // a prefix, as with Exact off
  EXPECT_EQ(Walk(a_), (TRecnos{3, 6, 1}));
  a_.IndexTag("", "SHOWN", "DTOC(BORN)", "", false, false);  // American dates with the century
  EXPECT_EQ(Walk(a_), (TRecnos{4, 2, 5, 3, 1, 6}));
  EXPECT_TRUE(a_.Seek("03/15/1970"));
  EXPECT_EQ(a_.RecNo(), 3);
  b_.Go(3);
  b_.Replace("CITY", rtText, "Delft");
  b_.Replace("BORN", rtText, "19991231");
  EXPECT_EQ(Walk(a_), (TRecnos{4, 2, 5, 1, 6, 3}));
  EXPECT_EQ(WalkA("UTR"), (TRecnos{6, 1}));
}

TEST_F(Maintenance, AFurtherIndexFileIsKeptCurrentWhileHeld) {
  EXPECT_EQ(a_.IndexTag("extra", "AMT", "AMOUNT", "", false, false), 4);
  AddPerson(b_, {"Clark", "Delft", "5", "", "T"});  // 7, written by the work area without the file
  a_.SetOrder(4);
  EXPECT_EQ(Walk(a_), (TRecnos{7, 6, 2, 4, 1, 5, 3}));
  EXPECT_EQ(b_.SysProp(3000, 0), 3);  // not listed there
  EXPECT_EQ(b_.IndexOpen("EXTRA"), 4);  // the same file, whatever the letter case
  EXPECT_EQ(b_.IndexOpen(dir_.File("extra.MXI")), 4);  // listed once
  EXPECT_EQ(b_.SysProp(3000, 0), 4);
  ExpectError<EIndexError>([&] { b_.IndexOpen("nosuch"); },
                           "Cannot open index file " + dir_.File("nosuch.MXI") + ": No such file or directory");

  // CloseIndexes keeps the table's own index file.
  a_.CloseIndexes();
  EXPECT_EQ(a_.IndexOrd(), 0);  // the closed file's order was current
  EXPECT_EQ(a_.SysProp(3000, 0), 3);
  a_.SetOrder(1);
  a_.CloseIndexes();
  EXPECT_EQ(a_.IndexOrd(), 1);
  EXPECT_EQ(a_.TagName(0), "NAME");
}

TEST_F(Maintenance, OrdersComeBackFromDisk) {
  a_.IndexTag("extra", "AMT", "AMOUNT", "", false, true);
  AddPerson(a_, {"Clark", "Delft", "5", "", "T"});
  a_.Commit();
  a_.CloseAll();
  b_.CloseAll();

  TWorkAreaSet set;
  set.Use(path_, "", 0, 2, 1);
  EXPECT_EQ(set.SysProp(3000, 0), 3);
  EXPECT_EQ(set.IndexOrd(), 0);
  EXPECT_EQ(Walk(set), (TRecnos{1, 2, 3, 4, 5, 6, 7}));
  set.SetOrder(1);
  EXPECT_EQ(Walk(set), (TRecnos{5, 3, 7, 2, 6, 1, 4}));
  EXPECT_TRUE(set.Seek("Clark"));
  EXPECT_EQ(set.RecNo(), 7);
  EXPECT_EQ(set.IndexOpen("extra"), 4);
  set.SetOrder(4);
  EXPECT_EQ(set.SysProp(3002, 0), 1);
  EXPECT_EQ(Walk(set), (TRecnos{3, 5, 1, 4, 2, 6, 7}));
  set.CloseAll();

  // A table in lower case finds its index in lower case.
  const std::string lower = MakeTable(dir_, "small.dbf", "CODE,C,3,0", 2);
  set.Use(lower, "", 0, 2, 1);
  set.IndexTag("", "CODE", "CODE", "", false, false);
  EXPECT_EQ(set.IndexName(1), dir_.File("small.mxi"));
  set.CloseAll();
  set.Use(lower, "", 0, 2, 1);
  EXPECT_EQ(set.SysProp(3000, 0), 1);
  set.CloseAll();

  // An own index whose extension is in the other letter case is still the table's own.
  std::filesystem::rename(dir_.File("small.mxi"), dir_.File("small.MXI"));
  set.Use(lower, "", 0, 2, 1);
  EXPECT_EQ(set.SysProp(3000, 0), 1);
  EXPECT_EQ(set.IndexTag("", "CODED", "CODE", "", false, true), 2);
  EXPECT_EQ(set.IndexName(2), dir_.File("small.MXI"));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("small.mxi")));
}

TEST_F(Maintenance, ARefusedChangeIsTakenBack) {
  // An observer told after the index file refuses: the index hears the reverse, the table keeps
  // the record as it was.
  struct TRefuser : TRecordObserver {
    bool refuse = false;
    void RecordChanged(uint32_t, std::string_view, std::string_view) override {
      if (refuse) throw ETableError("refused by the test");
    }
  } refuser;
  TTable& table = a_.CurrentArea().Table();
  table.AddObserver(&refuser);
  refuser.refuse = true;
  const uint64_t size = std::filesystem::file_size(path_);

  a_.SetOrder(1);
  a_.Go(1);
  ExpectError([&] { a_.Replace("NAME", rtText, "Zed"); }, "refused by the test");
  ExpectError([&] { a_.PutRecord(PersonImage({"Zed", "", "", "", "F"})); }, "refused by the test");
  ExpectError([&] { a_.AppendBlank(); }, "refused by the test");
  ExpectError([&] { b_.AppendBlank(); }, "refused by the test");
  EXPECT_EQ(a_.RecCount(), 6);
  EXPECT_EQ(std::filesystem::file_size(path_), size);
  b_.Go(1);
  EXPECT_EQ(b_.GetTrimString("NAME"), "Smith");
  EXPECT_FALSE(a_.Seek("Zed"));
  EXPECT_TRUE(a_.Seek("Smith"));
  EXPECT_EQ(a_.RecNo(), 1);
  EXPECT_EQ(Walk(a_), (TRecnos{5, 3, 2, 6, 1, 4}));  // no blank key of a taken back append

  refuser.refuse = false;
  AddPerson(a_, {"Clark", "Delft", "5", "", "T"});
  EXPECT_EQ(a_.RecNo(), 7);  // the number of the append taken back is used again
  EXPECT_EQ(Walk(a_), (TRecnos{5, 3, 7, 2, 6, 1, 4}));
  table.RemoveObserver(&refuser);
}

// In a child process: no file may be written at all; a write gets EFBIG instead of a signal.
void ForbidWrites() {
  ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit {0, 0};
  if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) throw std::runtime_error("setrlimit");
}

TEST(IndexFailure, AnIndexThatCannotBeWrittenRefusesTheWrite) {
  TempDir dir;
  const std::string path = MakePeople(dir);
  const std::string index = dir.File("PEOPLE.MXI");
  TChild child([&](const TChild& self) {
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    set.IndexTag("", "NAME", "NAME", "", false, false);
    set.Commit();
    ForbidWrites();
    set.Go(1);
    for (const char* name : {"Zed", "Zoe"}) {
      try {
        set.Replace("NAME", rtText, name);
        self.Say("written");
      } catch (const Exception& e) {
        self.Say(e.Message());
      }
    }
    self.Say(set.GetTrimString("NAME"));
    ::_exit(0);  // as a crash would: nothing more is written
  });
  EXPECT_EQ(child.Hear(), "Cannot write index file " + index + ": File too large");
  EXPECT_EQ(child.Hear(), "Index file " + index +
                              " failed during a change and can be used again once it has been closed and opened anew");
  EXPECT_EQ(child.Hear(), "Smith");
  EXPECT_EQ(child.Finish(), 0);

  // Nothing of the change reached either file: both are as they were, and agree.
  TWorkAreaSet set;
  set.Use(path, "", 0, 2, 1);
  set.SetOrder(1);
  EXPECT_FALSE(set.Seek("Zed"));
  EXPECT_TRUE(set.Seek("Smith"));
  EXPECT_EQ(set.RecNo(), 1);
  EXPECT_EQ(set.Count(), 6);
}

TEST(IndexFailure, ACrashedIndexIsRebuiltWhenTheTableOpens) {
  TempDir dir;
  const std::string path = MakePeople(dir);
  {
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    set.IndexTag("", "NAME", "NAME", "ACTIVE", false, false);
  }
  TChild child([&](const TChild& self) {
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    AddPerson(set, {"Clark", "Delft", "5", "", "T"});
    set.Go(2);
    set.Replace("ACTIVE", rtText, "T");
    self.Say("changed");
    ::_exit(0);  // the index file's changes never reach the disk
  });
  EXPECT_EQ(child.Hear(), "changed");
  EXPECT_EQ(child.Finish(), 0);
  EXPECT_EQ(ReadAll(dir.File("PEOPLE.MXI")).substr(20, 4), Le32(1));  // still "open for writing"

  TWorkAreaSet set;
  set.Use(path, "", 0, 2, 1);
  set.SetOrder(1);
  EXPECT_EQ(Walk(set), (TRecnos{3, 7, 2, 6, 1, 4}));
  EXPECT_TRUE(set.Seek("Clark"));
}

TEST(IndexFailure, CommitWritesTheIndexFiles) {
  TempDir dir;
  const std::string path = MakePeople(dir);
  {
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    set.IndexTag("", "NAME", "NAME", "", false, false);
  }
  TChild child([&](const TChild& self) {
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    AddPerson(set, {"Clark", "Delft", "5", "", "T"});
    set.Commit();
    self.Say("committed");
    ::_exit(0);  // ends without closing anything
  });
  EXPECT_EQ(child.Hear(), "committed");
  EXPECT_EQ(child.Finish(), 0);
  EXPECT_EQ(ReadAll(dir.File("PEOPLE.MXI")).substr(20, 4), Le32(0));  // closed cleanly
  TWorkAreaSet set;
  set.Use(path, "", 0, 2, 1);
  set.SetOrder(1);
  EXPECT_EQ(Walk(set), (TRecnos{5, 3, 7, 2, 6, 1, 4}));
}

struct TBadIndexCase {
  const char* what;
  std::function<void(const std::string& index)> spoil;
  std::string error;  // with <I> for the index path
};

TEST(IndexFailure, DamagedOrForeignIndexFilesAreRefused) {
  const TBadIndexCase cases[] = {
      {"foreign", [](const std::string& i) { WriteAll(i, std::string(4096, 'x')); },
       "<I> is not an index file of this engine"},
      {"other version", [](const std::string& i) { Patch(i, 8, Le16(7)); },
       "Index file <I> has format version 7, which this engine does not read"},
      {"header checksum", [](const std::string& i) { Patch(i, 24, Le32(2)); },
       "Index file <I> is damaged: its header fails its checksum"},
      {"cut short", [](const std::string& i) { WriteAll(i, ReadAll(i).substr(0, 5000)); },
       "Index file <I> is damaged: its size does not match its page count"},
  };
  for (const TBadIndexCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = MakePeople(dir);
    const std::string index = dir.File("PEOPLE.MXI");
    {
      TWorkAreaSet set;
      set.Use(path, "", 0, 2, 1);
      set.IndexTag("", "NAME", "NAME", "", false, false);
    }
    c.spoil(index);
    const std::string before = ReadAll(index);
    std::string error = c.error;
    error.replace(error.find("<I>"), 3, index);
    TWorkAreaSet set;
    ExpectError<EIndexError>([&] { set.Use(path, "", 0, 2, 1); }, error);
    EXPECT_EQ(set.Alias(1), "");
    EXPECT_FALSE(TTableRegistry::Instance().IsOpen(path));
    EXPECT_EQ(ReadAll(index), before);  // never overwritten
  }
}

// An index file made for another table, or for this one before it changed behind the index's
// back, is rebuilt when the table opens: a seek through it must never land on the wrong record.
TEST(IndexTrust, AnIndexThatDoesNotMatchItsTableIsRebuilt) {
  struct Case {
    const char* what;
    // Spoils PEOPLE.MXI in `dir` (made for PEOPLE.DBF as it was) and returns the name that a
    // seek on NAME finds afterwards only when the index fits the table.
    std::function<std::string(const TempDir& dir, const std::string& path)> spoil;
  };
  auto name_tag = [](const std::string& path) {
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    set.IndexTag("", "NAME", "NAME", "", false, false);
  };
  const Case cases[] = {
      {"another table of the same shape and size",
       [&](const TempDir& dir, const std::string&) {
         TempDir other_dir;
         const std::string other = MakePeople(other_dir);
         {
           TWorkAreaSet set;
           set.Use(other, "", 0, 2, 1);
           for (int r = 1; r <= 6; ++r) {
             set.Go(r);
             set.Replace("NAME", rtText, "Other" + std::to_string(r));
           }
         }
         name_tag(other);
         WriteAll(dir.File("PEOPLE.MXI"), ReadAll(other_dir.File("PEOPLE.MXI")));
         return std::string("Adams");
       }},
      {"an older copy restored",
       [&](const TempDir& dir, const std::string& path) {
         const std::string old = ReadAll(dir.File("PEOPLE.MXI"));
         TWorkAreaSet set;
         set.Use(path, "", 0, 2, 1);
         AddPerson(set, {"Clark", "Delft", "5", "", "T"});
         set.Close();
         WriteAll(dir.File("PEOPLE.MXI"), old);
         return std::string("Clark");
       }},
      {"a record added by a program that keeps no index",
       [&](const TempDir&, const std::string& path) {
         std::string dbf = ReadAll(path);
         dbf.pop_back();  // the end mark
         dbf += " Baker     Leiden        1.0019800101T\x1A";
         dbf.replace(4, 4, Le32(7));
         WriteAll(path, dbf);
         return std::string("Baker");
       }},
      {"a file of the engine's first format",
       [&](const TempDir& dir, const std::string&) {
         std::string index = ReadAll(dir.File("PEOPLE.MXI"));
         index.replace(8, 2, Le16(1));
         index.replace(kPageSize - 4, 4, Le32(Crc32(reinterpret_cast<const uint8_t*>(index.data()), kPageSize - 4)));
         WriteAll(dir.File("PEOPLE.MXI"), index);
         return std::string("Adams");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = MakePeople(dir);
    name_tag(path);
    const std::string name = c.spoil(dir, path);
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    set.SetOrder(1);
    ASSERT_TRUE(set.Seek(name));
    EXPECT_EQ(set.GetTrimString("NAME"), name);
    EXPECT_FALSE(set.Seek("Other1"));
    EXPECT_EQ(set.Count(), set.RecCount());
    set.Close();
    // Rebuilt for this table, the file is trusted from then on.
    EXPECT_EQ(ReadAll(dir.File("PEOPLE.MXI")).substr(8, 2), Le16(2));
  }
}

// A table that may only be read cannot have its index rebuilt: the stale file is refused, not
// used, and left as it was for the next writer to rebuild. (The reader runs as "nobody" when the
// tests run as root, whom file modes do not stop.)
TEST(IndexTrust, AStaleIndexOfATableThatCannotBeWrittenIsRefused) {
  TempDir dir;
  const std::string path = MakePeople(dir);
  const std::string index = dir.File("PEOPLE.MXI");
  TWorkAreaSet writer;
  writer.Use(path, "", 0, 2, 1);
  writer.IndexTag("", "NAME", "NAME", "", false, false);
  const std::string older = ReadAll(index);
  AddPerson(writer, {"Clark", "Delft", "5", "", "T"});
  writer.Close();
  WriteAll(index, older);
  namespace fs = std::filesystem;
  fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  for (const std::string& file : {path, index}) fs::permissions(file, fs::perms::owner_read | fs::perms::others_read);

  TChild reader([&](TChild& me) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) throw std::runtime_error("cannot become nobody");
    try {
      TWorkAreaSet set;
      set.Use(path, "", 1, 2, 1);
      me.Say("the stale index was used");
    } catch (const EIndexStale& e) {
      me.Say(e.Message());
    }
  });
  EXPECT_EQ(reader.Hear(), "Index file " + index + " was not written for table " + path +
                               " as it stands (it belongs to another table, is an older copy, or records were added"
                               " without it); it cannot be rebuilt while the table is open read-only");
  EXPECT_EQ(reader.Finish(), 0);
  EXPECT_TRUE(ReadAll(index) == older) << "the refused index was changed";

  for (const std::string& file : {path, index}) fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  writer.Use(path, "", 0, 2, 1);
  writer.SetOrder(1);
  EXPECT_TRUE(writer.Seek("Clark"));
}

// Keys are sampled when the file opens; a disagreement found later, by a seek, is refused and the
// file rebuilt at the next open.
TEST(IndexTrust, ASeekNeverLandsOnARecordWithoutItsKey) {
  TempDir dir;
  const std::string path = MakeTable(dir, "MANY.DBF", "NAME,C,10,0", 2);
  {
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    for (int i = 0; i < 1000; ++i) {
      set.AppendBlank();
      set.Replace("NAME", rtText, "N" + std::to_string(10000 + i));
    }
    set.IndexTag("", "NAME", "NAME", "", false, false);
  }
  // Another program renames record 2 in place, on the same day: count and header stay, and the
  // sampled keys (every 16th of 1000) pass it by.
  std::string dbf = ReadAll(path);
  const size_t record2 = dbf.size() - 1 - 999 * 11;
  ASSERT_EQ(dbf.substr(record2, 11), " N10001    ");
  dbf.replace(record2, 11, " ZZZ       ");
  WriteAll(path, dbf);
  {
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    set.SetOrder(1);
    ExpectError<EIndexStale>([&] { set.Seek("N10001"); },
                             "Index file " + dir.File("MANY.MXI") +
                                 " does not match its table (record 2 is filed under a key it does not hold); it is "
                                 "rebuilt when the table is next opened");
  }
  TWorkAreaSet set;
  set.Use(path, "", 0, 2, 1);
  set.SetOrder(1);
  EXPECT_FALSE(set.Seek("N10001"));
  ASSERT_TRUE(set.Seek("ZZZ"));
  EXPECT_EQ(set.RecNo(), 2);
}

TEST(IndexFailure, ADamagedPageIsReportedWhereFound) {
  TempDir dir;
  const std::string path = MakePeople(dir);
  const std::string index = dir.File("PEOPLE.MXI");
  {
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    set.IndexTag("", "NAME", "NAME", "", false, false);
  }
  Patch(index, 2 * kPageSize + 100, "garbage");  // the leaf of the tag
  TWorkAreaSet set;
  // Keys are sampled against their records when the file opens, so the damage shows then.
  ExpectError<EIndexCorrupt>([&] { set.Use(path, "", 0, 2, 1); },
                             "Index file " + index + " is damaged: page 2 fails its checksum");
  EXPECT_EQ(set.Alias(1), "");
}

// Another process is kept from a table with index files here, and the other way round. Each
// child is forked while this process has nothing open, so that it opens the files itself.
TEST(IndexProcesses, ATableWithIndexFilesIsOneProcesssAlone) {
  TempDir dir;
  const std::string path = MakePeople(dir);
  const std::string in_use = "Table " + path + " is in use with index files by another process";
  const std::string open_elsewhere =
      "Table " + path + " is open in another process; index files need the table to themselves";
  auto try_use = [&](int mode) {
    return [&, mode](const TChild& self) {
      self.Wait();  // until the parent has its index files
      TWorkAreaSet set;
      try {
        set.Use(path, "", mode, 2, 1);
        self.Say("opened");
      } catch (const Exception& e) {
        self.Say(e.Message());
      }
    };
  };
  {
    TChild child(try_use(0));
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    set.IndexTag("other", "NAME", "NAME", "", false, false);
    child.Go();
    EXPECT_EQ(child.Hear(), in_use);
    EXPECT_EQ(child.Finish(), 0);
  }
  {
    TChild child([&](const TChild& self) {
      TWorkAreaSet other;
      other.Use(path, "", 0, 2, 1);
      self.Say("opened");
      self.Wait();
    });
    EXPECT_EQ(child.Hear(), "opened");
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    ExpectError([&] { set.IndexTag("", "NAME", "NAME", "", false, false); }, open_elsewhere);
    EXPECT_FALSE(std::filesystem::exists(dir.File("PEOPLE.MXI")));
    ExpectError([&] { set.IndexOpen("other"); }, open_elsewhere);
    EXPECT_EQ(set.SysProp(3000, 0), 0);
    EXPECT_EQ(child.Finish(), 0);
    EXPECT_EQ(set.IndexOpen("other"), 1);  // the other process has gone
    set.CloseIndexes();
    AddPerson(set, {"Clark", "Delft", "5", "", "T"});  // shareable again once the last file is let go
  }
  {
    // The table's own index keeps another process from opening the table, even to read.
    TChild child(try_use(1));
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    set.IndexTag("", "NAME", "NAME", "", false, false);
    set.Close();
    set.Use(path, "", 0, 2, 1);
    child.Go();
    EXPECT_EQ(child.Hear(), in_use);
    EXPECT_EQ(child.Finish(), 0);
  }
}

TEST(IndexThreads, AppendsFromSeveralThreadsLoseNoKeyWhileAnotherSeeks) {
  TempDir dir;
  const std::string path = MakeTable(dir, "CODES.DBF", "CODE,C,12,0", 2);
  TWorkAreaSet main;
  main.Use(path, "", 0, 2, 1);
  main.IndexTag("", "CODE", "CODE", "", false, false);
  constexpr int kThreads = 4, kEach = 400;
  std::atomic<int> published[kThreads] = {};
  std::atomic<bool> done{false};
  std::atomic<int> misses{0}, seeks{0};
  auto key = [](int t, int i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "T%d-%06d", t, i);
    return std::string(buf);
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      TWorkAreaSet set;
      set.Use(path, "", 0, 2, 1);
      for (int i = 0; i < kEach; ++i) {
        set.AppendBlank();
        set.Replace("CODE", rtText, key(t, i));
        set.Unlock(0);
        published[t] = i + 1;
      }
    });
  std::thread seeker([&] {
    TWorkAreaSet set;
    set.Use(path, "", 0, 2, 1);
    set.SetOrder(1);
    std::mt19937 rng(7);
    while (!done) {
      const int t = int(rng() % kThreads);
      const int n = published[t];
      if (n == 0) continue;
      const std::string k = key(t, int(rng() % unsigned(n)));
      if (!set.Seek(k) || set.GetTrimString("CODE") != k) ++misses;
      ++seeks;
    }
  });
  for (auto& th : threads) th.join();
  done = true;
  seeker.join();
  EXPECT_EQ(misses, 0);
  EXPECT_GT(seeks, 0);

  main.SetOrder(1);
  EXPECT_EQ(main.RecCount(), kThreads * kEach);
  EXPECT_EQ(main.Count(), kThreads * kEach);
  std::vector<std::string> walked;
  for (main.GoTop(); !main.Eof(); main.Skip(1)) walked.push_back(main.GetTrimString("CODE"));
  std::vector<std::string> expected;
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kEach; ++i) expected.push_back(key(t, i));
  EXPECT_EQ(walked, expected);  // every key once, in order, and no blank key left over
}

}  // namespace
}  // namespace tavrik::xbase::testing
