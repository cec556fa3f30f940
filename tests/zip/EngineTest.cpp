// libzipeng.so driven by the component, checked by peers nobody here wrote: Info-ZIP's unzip
// tests every archive, and Python's zipfile reads every entry back and compares its bytes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/Trash.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempDir.h"
#include "tests/zip/ZipTestSupport.h"
#include "zip/ZipWrt.h"

namespace tavrik {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::WriteFile;

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

void SetMTime(const std::string& path, time_t when) {
  timespec times[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zip.SetUnattended(true);
    zip.SetDLLDirectory(ENGINE_DIR);
    zip.OnMessage = [this](TComponent*, int code, const std::string& text) { messages.emplace_back(code, text); };
    fs::create_directories(src);
  }

  std::string Make(const std::string& relative, const std::string& bytes) {
    std::string path = src + "/" + relative;
    fs::create_directories(fs::path(path).parent_path());
    WriteFile(path, bytes);
    return path;
  }
  // One AddFiles of `specs` with `options` into the archive.
  void Add(const std::vector<std::string>& specs, AddOpts options = {}) {
    messages.clear();
    zip.SetAddOptions(options);
    zip.SetZipFileName(archive);
    zip.FSpecArgs() = specs;
    zip.AddFiles();
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : zip.ZipContents()) names.push_back(e.FileName);
    return names;
  }
  const ZipDirEntry& Entry(const std::string& name) const {
    for (const auto& e : zip.ZipContents())
      if (e.FileName == name) return e;
    static ZipDirEntry none;
    ADD_FAILURE() << "no entry " << name;
    return none;
  }
  // unzip tests the archive, and Python finds exactly `expected` (entry name -> file) in it.
  void ExpectPeersAgree(const std::vector<std::pair<std::string, std::string>>& expected,
                        const std::string& password = "") {
    std::vector<std::string> unzip{"/usr/bin/unzip", "-tqq"};
    if (!password.empty()) unzip.insert(unzip.end(), {"-P", password});
    unzip.push_back(archive);
    testing::TRunResult tested = testing::Run(unzip);
    EXPECT_EQ(tested.status, 0) << tested.out << tested.err;
    std::vector<std::string> args{"check", archive, "--exact"};
    if (!password.empty()) args.insert(args.end(), {"--password", password});
    for (const auto& [name, path] : expected) args.push_back(name + "=" + path);
    testing::TRunResult checked = testing::ZipPeer(args);
    EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
  }
  std::vector<std::string> Leftovers(const std::string& folder) const {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(folder))
      if (e.path().filename().string().rfind(".zipeng-", 0) == 0) found.push_back(e.path());
    return found;
  }

  testing::TempDir dir;
  std::string src = dir.File("src");
  std::string archive = dir.File("out.zip");
  TZipwright zip;
  std::vector<std::pair<int, std::string>> messages;
};

TEST_F(EngineTest, EveryLevelGivesAnArchiveThePeersRead) {
  const std::string records = Make("records.db", testing::RecordText(700000));
  const std::string text = Make("notes.txt", "a short note\n");
  const std::string empty = Make("empty.txt", "");
  const std::string noise = Make("noise.bin", RandomBytes(300000, 5));
  for (int level = 0; level <= 9; ++level) {
    SCOPED_TRACE(level);
    fs::remove(archive);
    zip.SetAddCompLevel(level);
    Add({records, text, empty, noise});
    EXPECT_EQ(zip.AddedCount(), 4);
    EXPECT_TRUE(messages.empty()) << messages[0].second;
    ExpectPeersAgree({{"records.db", records}, {"notes.txt", text}, {"empty.txt", empty}, {"noise.bin", noise}});
    EXPECT_EQ(Entry("records.db").Method, level == 0 ? 0 : 8);
    EXPECT_EQ(Entry("empty.txt").Method, 0);
    if (level > 0) {
      EXPECT_LT(Entry("records.db").CompressedSize(), 700000u / 3);
    }
    EXPECT_EQ(Entry("noise.bin").VersionMadeBy >> 8, 3);  // Unix
  }
}

TEST_F(EngineTest, StoreSuffixesAreStored) {
  const std::string png = Make("picture.png", testing::RecordText(50000));
  const std::string zipped = Make("old.ZIP", testing::RecordText(50000));
  const std::string txt = Make("plain.txt", testing::RecordText(50000));
  const std::string exe = Make("setup.exe", testing::RecordText(50000));
  Add({png, zipped, txt, exe});
  EXPECT_EQ(Entry("picture.png").Method, 0);
  EXPECT_EQ(Entry("old.ZIP").Method, 0);
  EXPECT_EQ(Entry("plain.txt").Method, 8);
  EXPECT_EQ(Entry("setup.exe").Method, 8);
  ExpectPeersAgree({{"picture.png", png}, {"old.ZIP", zipped}, {"plain.txt", txt}, {"setup.exe", exe}});

  fs::remove(archive);
  zip.SetAddStoreSuffixes({assEXE});
  Add({png, exe});
  EXPECT_EQ(Entry("picture.png").Method, 8);
  EXPECT_EQ(Entry("setup.exe").Method, 0);
}

TEST_F(EngineTest, NamesFoldersAndPatterns) {
  Make("a.txt", "a");
  Make("b.log", "b");
  Make("sub/c.txt", "c");
  Make("sub/deep/d.txt", "d");
  Make(".hidden", "h");
  Make("sub/.secret.txt", "s");
  zip.SetRootDir(dir.Path());
  struct Case {
    const char* name;
    std::vector<std::string> specs;
    AddOpts options;
    std::vector<std::string> excludes;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"a file with its folder", {"src/a.txt"}, {AddDirNames}, {}, {"src/a.txt"}},
      {"a file, folders junked", {"src/a.txt"}, {}, {}, {"a.txt"}},
      {"a folder: its files", {"src"}, {AddDirNames}, {}, {"src/a.txt", "src/b.log"}},
      {"a folder, recursively",
       {"src"},
       {AddDirNames, AddRecurseDirs},
       {},
       {"src/a.txt", "src/b.log", "src/sub/c.txt", "src/sub/deep/d.txt"}},
      {"with folder entries",
       {"src"},
       {AddDirNames, AddRecurseDirs, AddSeparateDirs},
       {},
       {"src/", "src/a.txt", "src/b.log", "src/sub/", "src/sub/c.txt", "src/sub/deep/", "src/sub/deep/d.txt"}},
      {"a pattern", {"src/*.txt"}, {AddDirNames}, {}, {"src/a.txt"}},
      {"a pattern, recursively",
       {">src/*.txt"},
       {AddDirNames},
       {},
       {"src/a.txt", "src/sub/c.txt", "src/sub/deep/d.txt"}},
      {"a pattern, recursively, junked", {"src/?.txt"}, {AddRecurseDirs}, {}, {"a.txt", "c.txt", "d.txt"}},
      {"hidden files asked for",
       {"src"},
       {AddDirNames, AddRecurseDirs, AddHiddenFiles},
       {},
       {"src/.hidden", "src/a.txt", "src/b.log", "src/sub/.secret.txt", "src/sub/c.txt", "src/sub/deep/d.txt"}},
      {"exclusions by name and by folder",
       {"src"},
       {AddDirNames, AddRecurseDirs},
       {"*.log", "deep"},
       {"src/a.txt", "src/sub/c.txt"}},
      {"exclusion by entry name", {"src"}, {AddDirNames, AddRecurseDirs}, {"src/sub/*"}, {"src/a.txt", "src/b.log"}},
      {"dots in the path", {"src/sub/../a.txt", "./src/./b.log"}, {AddDirNames}, {}, {"src/a.txt", "src/b.log"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(archive);
    zip.FSpecArgsExcl() = c.excludes;
    Add(c.specs, c.options);
    EXPECT_TRUE(messages.empty()) << messages[0].second;
    zip.SetUseDirOnlyEntries(true);
    zip.ReadDirectory();
    EXPECT_EQ(Names(), c.names);
    zip.SetUseDirOnlyEntries(false);
    EXPECT_EQ(testing::Run({"/usr/bin/unzip", "-tqq", archive}).status, 0);
  }
}

TEST_F(EngineTest, AbsoluteSpecsKeepTheirPathWithoutTheLeadingSlash) {
  const std::string file = Make("x/y.txt", "y");
  Add({file}, {AddDirNames});
  ASSERT_EQ(zip.Count(), 1);
  EXPECT_EQ(zip.ZipContents()[0].FileName, file.substr(1));
}

TEST_F(EngineTest, UpdateAndFreshen) {
  const time_t older = 1577880000;  // 2020
  const time_t newer = 1704110400;  // 2024
  struct Case {
    const char* name;
    AddOpts options;
    int added;
    std::vector<std::string> names;
    bool a_new;
  };
  const Case cases[] = {
      {"add", {}, 3, {"a.txt", "b.txt", "c.txt"}, true},
      {"update", {AddUpdate}, 2, {"a.txt", "b.txt", "c.txt"}, true},
      {"freshen", {AddFreshen}, 1, {"a.txt", "b.txt"}, true},
      {"update over freshen", {AddUpdate, AddFreshen}, 2, {"a.txt", "b.txt", "c.txt"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(src);
    fs::remove(archive);
    const std::string a = Make("a.txt", "first a");
    const std::string b = Make("b.txt", testing::RecordText(200000, 2));
    SetMTime(a, older);
    SetMTime(b, older);
    Add({a, b});
    ASSERT_EQ(zip.AddedCount(), 2);
    const std::string old_a = dir.File("old_a");
    fs::copy_file(a, old_a, fs::copy_options::overwrite_existing);
    WriteFile(a, "second a, longer");
    SetMTime(a, newer);
    const std::string cfile = Make("c.txt", "c");
    Add({a, b, cfile}, c.options);
    EXPECT_EQ(zip.AddedCount(), c.added);
    EXPECT_EQ(Names(), c.names);  // replaced entries keep their place
    std::vector<std::pair<std::string, std::string>> expected{{"a.txt", c.a_new ? a : old_a}, {"b.txt", b}};
    if (c.names.size() == 3) expected.emplace_back("c.txt", cfile);
    ExpectPeersAgree(expected);
  }
}

TEST_F(EngineTest, EncryptedEntriesOpenWithTheirPassword) {
  const std::string records = Make("records.db", testing::RecordText(400000));
  const std::string small = Make("small.txt", "tiny");
  const std::string own = Make("own.txt", "has a password of its own");
  const std::string open = Make("open.txt", "no password at all");
  for (int level : {0, 9}) {
    SCOPED_TRACE(level);
    fs::remove(archive);
    zip.SetAddCompLevel(level);
    zip.SetPassword("geheim");
    Add({records, small}, {AddEncrypt});
    EXPECT_EQ(zip.AddedCount(), 2);
    EXPECT_EQ(Entry("records.db").Encrypted, 1);
    ExpectPeersAgree({{"records.db", records}, {"small.txt", small}}, "geheim");
    testing::TRunResult wrong = testing::Run({"/usr/bin/unzip", "-tqq", "-P", "wrong", archive});
    EXPECT_NE(wrong.status, 0);

    // Adding more later copies the encrypted entries as they are.
    zip.SetPassword("");
    Add({own + "<other", open + "<"}, {});
    EXPECT_EQ(zip.AddedCount(), 2);
    EXPECT_EQ(Entry("open.txt").Encrypted, 0);
    EXPECT_EQ(testing::Run({"/usr/bin/unzip", "-tqq", "-P", "geheim", archive, "records.db", "small.txt"}).status, 0);
    EXPECT_EQ(testing::Run({"/usr/bin/unzip", "-tqq", "-P", "other", archive, "own.txt"}).status, 0);
    EXPECT_EQ(testing::ZipPeer({"check", archive, "--password", "other", "own.txt=" + own}).status, 0);
    EXPECT_EQ(testing::ZipPeer({"check", archive, "open.txt=" + open}).status, 0);
  }
}

TEST_F(EngineTest, APasswordIsAskedWhenNoneIsGiven) {
  testing::ScriptedDialogs boxes;
  testing::ScriptedPasswordDialog dialog;
  zip.SetUnattended(false);
  const std::string file = Make("secret.txt", "secret contents");
  dialog.Answer(pbOK, "typed");
  dialog.Answer(pbOK, "typed");
  Add({file}, {AddEncrypt});
  EXPECT_EQ(zip.AddedCount(), 1);
  EXPECT_EQ(dialog.shown.size(), 2u);
  ExpectPeersAgree({{"secret.txt", file}}, "typed");

  // No password given: nothing is added, and no archive is made.
  fs::remove(archive);
  dialog.Answer(pbCancel);
  Add({file}, {AddEncrypt});
  EXPECT_EQ(zip.AddedCount(), 0);
  EXPECT_FALSE(fs::exists(archive));
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back().first & 0xFF, zePassword);
  EXPECT_TRUE(boxes.messages.empty());  // engine messages reach OnMessage only
}

TEST_F(EngineTest, NamesInUtf8AndInTheOemCodePage) {
  const std::string utf8 = Make("caf\xc3\xa9 \xc3\xbc.txt", "accents");
  Add({utf8});
  testing::TRunResult names = testing::ZipPeer({"names", archive});
  EXPECT_EQ(names.out, "caf\xc3\xa9 \xc3\xbc.txt|8|2050|3\n");  // the UTF-8 flag, a Unix host
  EXPECT_EQ(Names(), std::vector<std::string>{"caf\xe9 \xfc.txt"});
  ExpectPeersAgree({{"caf\xc3\xa9 \xc3\xbc.txt", utf8}});

  fs::remove(archive);
  zip.SetCodePage(cpOEM);
  Add({utf8});
  names = testing::ZipPeer({"names", archive});
  EXPECT_EQ(names.out, "caf\xc3\xa9 \xc3\xbc.txt|8|2|0\n");  // OEM bytes (read as code page 437), MS-DOS host
  zip.SetCodePage(cpAuto);
  zip.ReadDirectory();
  EXPECT_EQ(Names(), std::vector<std::string>{"caf\xe9 \xfc.txt"});
  EXPECT_EQ(testing::Run({"/usr/bin/unzip", "-tqq", archive}).status, 0);
}

TEST_F(EngineTest, EmptyAndLargeSparseFiles) {
  const std::string empty = Make("empty", "");
  const std::string large = src + "/large.bin";
  { std::ofstream(large) << ""; }
  fs::resize_file(large, 3ull << 30);
  zip.SetAddCompLevel(1);
  Add({empty, large});
  ASSERT_EQ(zip.AddedCount(), 2);
  EXPECT_EQ(Entry("large.bin").UncompressedSize(), 3ull << 30);
  EXPECT_EQ(Entry("large.bin").UncompressedSize32, 3u << 30);  // fits: no Zip64 needed
  EXPECT_EQ(Entry("empty").UncompressedSize(), 0u);
  ExpectPeersAgree({{"empty", empty}, {"large.bin", large}});
}

TEST_F(EngineTest, Zip64ForFilesOf4GiB) {
  const std::string large = src + "/huge.bin";
  { std::ofstream(large) << "start"; }
  fs::resize_file(large, 4ull << 30);
  zip.SetAddCompLevel(1);
  Add({large});
  ASSERT_EQ(zip.AddedCount(), 1);
  EXPECT_EQ(Entry("huge.bin").UncompressedSize32, 0xFFFFFFFFu);
  EXPECT_EQ(Entry("huge.bin").UncompressedSize(), 4ull << 30);  // from the Zip64 field
  ExpectPeersAgree({{"huge.bin", large}});
}

TEST_F(EngineTest, CallbacksReportTotalsFirstThenEachFile) {
  const std::string a = Make("a.db", testing::RecordText(300000));
  const std::string b = Make("sub/b.txt", "bee");
  std::vector<std::string> events;
  int64_t done = 0;
  zip.OnProgress = [&](TComponent*, ProgressType type, const std::string& name, int64_t size) {
    if (type == ProgrUpdate) {
      done += size;
      return;
    }
    if (!events.empty() && events.back().rfind("file", 0) == 0) events.back() += " done " + std::to_string(done);
    done = 0;
    events.push_back((type == ProgrNewFile ? "file " + name + " " : "") + std::to_string(type) + ":" + std::to_string(size));
  };
  zip.SetRootDir(dir.Path());
  Add({"src/a.db", "src/sub/b.txt"}, {AddDirNames});
  EXPECT_EQ(events, (std::vector<std::string>{"3:2", "4:300003", "file src/a.db 0:300000 done 300000",
                                              "file src/sub/b.txt 0:3 done 3", "2:0"}));
}

TEST_F(EngineTest, ACancelLeavesTheOldArchiveAsItWas) {
  const std::string a = Make("a.db", testing::RecordText(1000000));
  Add({a});
  ASSERT_EQ(zip.AddedCount(), 1);
  const std::string before = ReadFile(archive);
  const std::string b = Make("b.db", testing::RecordText(1000000, 3));
  zip.OnProgress = [&](TComponent*, ProgressType type, const std::string&, int64_t) {
    if (type == ProgrUpdate) zip.SetCancel(true);
  };
  Add({a, b});
  EXPECT_EQ(zip.AddedCount(), 0);
  EXPECT_EQ(ReadFile(archive), before);
  EXPECT_TRUE(Leftovers(dir.Path()).empty());
  // A cancelled new archive leaves nothing at all.
  fs::remove(archive);
  Add({a, b});
  EXPECT_FALSE(fs::exists(archive));
  EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

TEST_F(EngineTest, TheArchiveIsBuiltInAPrivateFolder) {
  const std::string a = Make("a.db", testing::RecordText(300000));
  const std::string other = dir.File("elsewhere");
  fs::create_directories(other);
  for (const std::string& temp_dir : {std::string(), other}) {
    SCOPED_TRACE(temp_dir);
    fs::remove(archive);
    zip.SetTempDir(temp_dir);
    const std::string folder = temp_dir.empty() ? dir.Path() : temp_dir;
    std::vector<std::string> seen;
    zip.OnProgress = [&](TComponent*, ProgressType type, const std::string&, int64_t) {
      if (type != ProgrUpdate || !seen.empty()) return;
      for (const std::string& found : Leftovers(folder)) {
        struct stat st {};
        ASSERT_EQ(::stat(found.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_TRUE(fs::exists(found + "/out.zip"));
        seen.push_back(found);
      }
    };
    Add({a});
    EXPECT_EQ(zip.AddedCount(), 1);
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_TRUE(Leftovers(folder).empty());
    ExpectPeersAgree({{"a.db", a}});
  }
}

TEST_F(EngineTest, MovedFilesGoToTheTrashOrAreDeleted) {
  const char* saved = std::getenv("XDG_DATA_HOME");
  std::string saved_value = saved ? saved : "";
  ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
  const std::string a = Make("a.txt", "to the trash");
  const std::string b = Make("b.txt", "gone for good");
  Add({a}, {AddMove});
  EXPECT_EQ(zip.AddedCount(), 1);
  EXPECT_FALSE(fs::exists(a));
  EXPECT_EQ(ReadFile(dir.File("data/Trash/files/a.txt")), "to the trash");
  EXPECT_NE(ReadFile(dir.File("data/Trash/info/a.txt.trashinfo")).find("Path=" + a + "\n"), std::string::npos);
  zip.SetHowToDelete(htdFinal);
  Add({b}, {AddMove});
  EXPECT_EQ(zip.AddedCount(), 1);
  EXPECT_FALSE(fs::exists(b));
  EXPECT_FALSE(fs::exists(dir.File("data/Trash/files/b.txt")));
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt"}));
  if (saved)
    ::setenv("XDG_DATA_HOME", saved_value.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
}

TEST_F(EngineTest, TheArchiveCommentIsKept) {
  const std::string a = Make("a.txt", "a");
  Add({a});
  ASSERT_EQ(testing::ZipPeer({"comment", archive, "kept across updates"}).status, 0);
  const std::string b = Make("b.txt", "b");
  Add({b});
  EXPECT_EQ(zip.AddedCount(), 1);
  EXPECT_EQ(zip.ZipComment(), "kept across updates");
  ExpectPeersAgree({{"a.txt", a}, {"b.txt", b}});
}

TEST_F(EngineTest, WhatCannotBeAddedIsReported) {
  const std::string a = Make("a.txt", "a");
  ASSERT_EQ(::mkfifo((src + "/pipe").c_str(), 0600), 0);
  Make("sub/a.txt", "another a");
  struct Case {
    const char* name;
    std::vector<std::string> specs;
    AddOpts options;
    int code;
    int added;
  };
  const Case cases[] = {
      {"nothing matches", {src + "/none*.txt"}, {}, zeNotFound, 0},
      {"no such file", {src + "/missing.txt", a}, {}, zeNotFound, 1},
      {"a pipe is never read", {src + "/pipe", a}, {}, zeNotRegular, 1},
      {"two files, one name", {src}, {AddRecurseDirs}, zeDuplicateName, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(archive);
    Add(c.specs, c.options);
    EXPECT_EQ(zip.AddedCount(), c.added);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].first & 0xFF, c.code) << messages[0].second;
    EXPECT_EQ(fs::exists(archive), c.added > 0);
  }
}

TEST_F(EngineTest, AFileGoneBeforeItIsReadAddsNothing) {
  const std::string a = Make("a.txt", "a");
  zip.OnProgress = [&](TComponent*, ProgressType type, const std::string&, int64_t) {
    if (type == ProgrTotalFiles) fs::remove(a);  // found, then gone
  };
  Add({a});
  EXPECT_EQ(zip.AddedCount(), 0);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first & 0xFF, zeOpenRead);
  EXPECT_EQ(messages[0].first >> 8, ENOENT);
  EXPECT_FALSE(fs::exists(archive));  // no empty archive
  EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

TEST_F(EngineTest, AFileThatIsNoArchiveIsLeftAlone) {
  WriteFile(archive, "this is no archive");
  Add({Make("a.txt", "a")});
  EXPECT_EQ(zip.AddedCount(), 0);
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back().first & 0xFF, zeBadArchive);
  EXPECT_EQ(ReadFile(archive), "this is no archive");
}

// A name that exists is that file, whatever characters it holds: no pattern, no password part.
TEST_F(EngineTest, ExistingNamesAreTakenLiterally) {
  const std::string odd = Make("odd<name>|x.txt", "odd");
  const std::string star = Make("star*.txt", "star");
  Make("starX.txt", "not this one");
  const std::string question = Make("what?", "question");
  Add({odd, star, question});
  EXPECT_EQ(zip.AddedCount(), 3);
  EXPECT_TRUE(messages.empty());
  ExpectPeersAgree({{"odd<name>|x.txt", odd}, {"star*.txt", star}, {"what?", question}});
}

TEST_F(EngineTest, LatestTimeGivesTheArchiveTheNewestEntrysTime) {
  const std::string a = Make("a.txt", "a");
  const time_t when = 1704110400;  // an even second
  SetMTime(a, when);
  Add({a}, {AddZipTime});
  struct stat st {};
  ASSERT_EQ(::stat(archive.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, when);
}

TEST_F(EngineTest, ArchiveKeepsItsPermissions) {
  Add({Make("a.txt", "a")});
  ASSERT_EQ(::chmod(archive.c_str(), 0640), 0);
  Add({Make("b.txt", "b")});
  struct stat st {};
  ASSERT_EQ(::stat(archive.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace tavrik
