// TZipwright against a recording engine: the properties, the call record it fills for each
// engine version, the checks that stop AddFiles before the engine, and loading the engine.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "platform/DynLib.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempDir.h"
#include "tests/zip/RecordingEngine.h"
#include "tests/zip/ZipTestSupport.h"
#include "zip/ZipWrt.h"
#include "zip/ZipWrtRecord.h"

namespace tavrik {
namespace {

using testing::TRecordedCall;
using testing::TRecordingControl;

const std::string kDefaultSuffixes = ".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha:.rar:.ace:.cab:.gz:.gzip:.jar";

TEST(ZipwrightProperties, SettersWithSideEffects) {
  TZipwright zip;
  EXPECT_EQ(zip.AddStoreSuffixes().size(), 17u);  // all but .exe
  EXPECT_EQ(zip.AddStoreSuffixes().count(assEXE), 0u);
  zip.SetPasswordReqCount(20);
  EXPECT_EQ(zip.PasswordReqCount(), 15u);
  zip.SetDLLDirectory("/opt/zip//");
  EXPECT_EQ(zip.DLLDirectory(), "/opt/zip/");
  zip.SetRootDir("/data");
  EXPECT_EQ(zip.RootDir(), "/data/");
  zip.SetRootDir("/data/");
  EXPECT_EQ(zip.RootDir(), "/data/");
  zip.SetVersionInfo("9.99");
  EXPECT_EQ(zip.VersionInfo(), "1.60 N");
  zip.SetPassword(std::string(300, 'p'));
  EXPECT_EQ(zip.Password().size(), 255u);
}

TEST(ZipwrightProperties, StoreSuffixText) {
  TZipwright zip;
  EXPECT_EQ(StoreSuffixText(zip.AddStoreSuffixes()), kDefaultSuffixes);
  EXPECT_EQ(StoreSuffixText({}), "");
  EXPECT_EQ(StoreSuffixText({assEXE, assGIF}), ".gif:.exe");
}

// The recording engine, loaded by the component from its own folder; the test holds the same
// library to reach its state.
class RecordingEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = ::dlopen(RECORDING_ZIPENG_DIR "/libzipeng.so", RTLD_NOW);
    ASSERT_NE(library_, nullptr) << ::dlerror();
    auto control = reinterpret_cast<TRecordingControl* (*)()>(::dlsym(library_, "RecordingControl"));
    ASSERT_NE(control, nullptr);
    engine = control();
    *engine = TRecordingControl{};
    zip.SetDLLDirectory(RECORDING_ZIPENG_DIR);
    zip.SetUnattended(true);
    zip.OnMessage = [this](TComponent*, int code, const std::string& text) { messages.emplace_back(code, text); };
    zip.SetZipFileName(archive);
  }
  void TearDown() override {
    zip.UnloadZipEngine();
    if (library_) ::dlclose(library_);
  }

  const TRecordedCall& Only() {
    EXPECT_EQ(engine->calls.size(), 1u);
    static TRecordedCall none;
    return engine->calls.empty() ? none : engine->calls[0];
  }
  // One call with `lines` (and `setup` done first).
  const TRecordedCall& AddWith(std::vector<std::string> lines) {
    zip.FSpecArgs() = std::move(lines);
    zip.AddFiles();
    return Only();
  }

  testing::TempDir dir;
  std::string archive = dir.File("out.zip");
  TZipwright zip;
  TRecordingControl* engine = nullptr;
  std::vector<std::pair<int, std::string>> messages;

 private:
  void* library_ = nullptr;
};

TEST_F(RecordingEngineTest, CommonFieldsFollowTheProperties) {
  struct Case {
    const char* name;
    AddOpts options;
    bool trace;
    std::string password;
    // Expected flags, in record order.
    int32_t encrypt, hidden, volume, no_dir_entries, verbose, junk_dirs;
    uint16_t recurse;
    int32_t force_dos, move, update, freshen, latest_time;
  };
  const Case cases[] = {
      {"none", {}, false, "", 0, 0, 0, -1, 0, -1, 0, 0, 0, 0, 0, 0},
      {"all and trace",
       {AddDirNames, AddRecurseDirs, AddMove, AddFreshen, AddUpdate, AddZipTime, AddForceDOS, AddHiddenFiles,
        AddEncrypt, AddSeparateDirs, AddVolume},
       true, "secret", -1, -1, -1, 0, -1, 0, 0xFFFF, -1, -1, -1, 0, -1},
      {"freshen alone", {AddFreshen}, false, "", 0, 0, 0, -1, 0, -1, 0, 0, 0, 0, -1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    *engine = TRecordingControl{};
    zip.SetAddOptions(c.options);
    zip.SetTrace(c.trace);
    zip.SetPassword(c.password);
    const ZipCallCommon& r = AddWith({"a.txt", "b.txt"}).common;
    EXPECT_EQ(r.window, nullptr);  // unattended
    EXPECT_EQ(r.caller, &zip);
    EXPECT_EQ(r.version, 160);
    EXPECT_NE(r.callback, nullptr);
    EXPECT_EQ(r.trace, c.trace ? -1 : 0);
    EXPECT_EQ(engine->calls[0].password, c.password.empty() ? std::nullopt : std::optional(c.password));
    EXPECT_EQ(engine->calls[0].store_suffixes, kDefaultSuffixes);
    EXPECT_EQ(r.encrypt, c.encrypt);
    EXPECT_EQ(r.hidden_files, c.hidden);
    EXPECT_EQ(r.volume_label, c.volume);
    EXPECT_EQ(r.no_dir_entries, c.no_dir_entries);
    EXPECT_EQ(r.verbose, c.verbose);
    EXPECT_EQ(r.always_true56, -1);
    EXPECT_EQ(r.level, 9);
    EXPECT_EQ(r.junk_dirs, c.junk_dirs);
    EXPECT_EQ(r.recurse, c.recurse);
    EXPECT_EQ(r.always_true80, -1);
    EXPECT_EQ(r.force_dos, c.force_dos);
    EXPECT_EQ(r.move, c.move);
    EXPECT_EQ(r.update, c.update);
    EXPECT_EQ(r.freshen, c.freshen);
    EXPECT_EQ(r.latest_time, c.latest_time);
    EXPECT_EQ(r.spec_count, 2);
    EXPECT_EQ(engine->calls[0].archive, archive);
    EXPECT_EQ(r.reserved40 | r.reserved48 | r.reserved64[0] | r.reserved64[1] | r.reserved78 | r.reserved92 |
                  r.reserved104 | r.reserved112[0] | r.reserved112[1],
              0);
  }
}

TEST_F(RecordingEngineTest, WindowHandleOnlyWhenAttended) {
  testing::ScriptedDialogs dialogs;
  int window = 0;
  TZipwright attended(nullptr, &window);
  attended.SetDLLDirectory(RECORDING_ZIPENG_DIR);
  attended.SetZipFileName(archive);
  attended.FSpecArgs().push_back("a.txt");
  attended.AddFiles();
  attended.SetUnattended(true);
  attended.FSpecArgs().push_back("a.txt");
  attended.AddFiles();
  ASSERT_EQ(engine->calls.size(), 2u);
  EXPECT_EQ(engine->calls[0].common.window, &window);
  EXPECT_EQ(engine->calls[1].common.window, nullptr);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(RecordingEngineTest, LayoutFollowsTheEngineVersion) {
  // An archive with a comment: ReadDirectory keeps it, and the newest layout hands it back.
  testing::WriteFile(archive, testing::BuildArchive({{"x.txt", "x"}}, "the comment"));
  struct Case {
    int version;
    bool new_layout, full;
  };
  for (Case c : {Case{150, false, false}, Case{151, true, false}, Case{160, true, true}}) {
    SCOPED_TRACE(c.version);
    *engine = TRecordingControl{};
    engine->version = c.version;
    engine->result = 0;
    zip.SetZipFileName(archive);
    ASSERT_EQ(zip.ZipComment(), "the comment");
    zip.SetAddOptions({AddArchiveOnly, AddResetArchive});
    zip.SetCodePage(cpOEM);
    zip.SetTempDir("/var/tmp");
    zip.FSpecArgsExcl() = {"*.bak", "old/*"};
    const TRecordedCall& call = AddWith({"a.txt", ">b<pw", "c.txt"});
    EXPECT_EQ(call.common.spec_count, 3);
    if (!c.new_layout) {
      EXPECT_EQ(call.old_marker, 7);
      EXPECT_EQ(call.old_specs, (std::vector<std::string>{"a.txt", ">b<pw", "c.txt"}));  // verbatim
      EXPECT_TRUE(call.old_slots_after_zero);
      continue;
    }
    const ZipCallRecordNew& r = call.raw_new;
    EXPECT_EQ(r.marker, 7);
    EXPECT_EQ(call.temp_dir, "/var/tmp");
    ASSERT_EQ(call.specs.size(), 3u);
    EXPECT_EQ(call.specs[1].spec, "b");
    EXPECT_EQ(call.comment, c.full ? std::optional<std::string>("the comment") : std::nullopt);
    EXPECT_EQ(r.archive_only, c.full ? 1 : 0);
    EXPECT_EQ(r.reset_archive, c.full ? 1 : 0);
    EXPECT_EQ(r.exclude_count, c.full ? 2 : 0);
    EXPECT_EQ(call.excludes, (c.full ? std::vector<std::string>{"*.bak", "old/*"} : std::vector<std::string>{}));
    EXPECT_EQ(r.delete_to_trash, c.full ? -1 : 0);
    EXPECT_EQ(r.code_page, c.full ? 2 : 0);
    int reserved = r.reserved144;
    for (int v : r.reserved156) reserved |= v;
    for (uint8_t v : r.reserved194) reserved |= v;
    EXPECT_EQ(reserved, 0);
  }
}

TEST_F(RecordingEngineTest, SpecLinesGiveTheirPrefixAndPasswordParts) {
  struct Case {
    const char* line;
    AddOpts options;
    const char* password;  // the component's
    const char* spec;
    uint16_t recurse;
    int32_t encrypt;
    std::optional<std::string> spec_password;
  };
  const Case cases[] = {
      {"plain.txt", {}, "", "plain.txt", 0, 0, std::nullopt},
      {">deep", {}, "", "deep", 0xFFFF, 0, std::nullopt},
      {"|flat", {AddRecurseDirs}, "", "flat", 0, 0, std::nullopt},
      {"inherits", {AddRecurseDirs, AddEncrypt}, "pw", "inherits", 0xFFFF, -1, "pw"},
      {"no-password<", {AddEncrypt}, "pw", "no-password", 0, 0, std::nullopt},
      {"own<secret", {}, "", "own", 0, 65535, "secret"},
      {">own<a<b", {}, "", "own", 0xFFFF, 65535, "a<b"},
      {">>twice", {}, "", ">twice", 0xFFFF, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    *engine = TRecordingControl{};
    zip.SetAddOptions(c.options);
    zip.SetPassword(c.password);
    zip.SetRootDir("/base");
    const TRecordedCall& call = AddWith({c.line});
    ASSERT_EQ(call.specs.size(), 1u);
    const testing::TRecordedSpec& s = call.specs[0];
    EXPECT_EQ(s.spec, c.spec);
    EXPECT_EQ(s.raw.recurse, c.recurse);
    EXPECT_EQ(s.raw.encrypt, c.encrypt);
    EXPECT_EQ(s.password, c.spec_password);
    EXPECT_EQ(s.root_dir, "/base/");
  }
}

// Characters that no file name could hold on the system this component was first written for
// are ordinary here: a line that names an existing file is that file, whole.
TEST_F(RecordingEngineTest, LinesNamingExistingFilesAreTakenLiterally) {
  for (const char* name : {"odd<name>|*?.txt", ">lead", "|bar", "a<b"}) testing::WriteFile(dir.File(name), "x");
  zip.SetRootDir(dir.Path());
  zip.SetAddOptions({AddEncrypt});
  zip.SetPassword("pw");
  const TRecordedCall& call = AddWith({"odd<name>|*?.txt", ">lead", "|bar", ">a<b", dir.File("a<b")});
  ASSERT_EQ(call.specs.size(), 5u);
  const std::string specs[] = {"odd<name>|*?.txt", ">lead", "|bar", "a<b", dir.File("a<b")};
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(specs[i]);
    EXPECT_EQ(call.specs[i].spec, specs[i]);
    EXPECT_EQ(call.specs[i].password, "pw");
    EXPECT_EQ(call.specs[i].raw.encrypt, -1);
    EXPECT_EQ(call.specs[i].raw.recurse, i == 3 ? 0xFFFF : 0);
  }
}

TEST_F(RecordingEngineTest, PasswordInTheRecordIsCutAt81Characters) {
  zip.SetPassword(std::string(100, 'k'));
  EXPECT_EQ(AddWith({"a"}).password, std::string(81, 'k'));
}

TEST_F(RecordingEngineTest, AfterTheEngineTheListsAreEmptyAndTheDirectoryIsRead) {
  int updates = 0;
  zip.OnDirUpdate = [&](TComponent*) { ++updates; };
  engine->result = 3;
  engine->script = [&](ZipCallCommon*) { testing::WriteFile(archive, testing::BuildArchive({{"new.txt", "n"}})); };
  zip.FSpecArgsExcl() = {"*.tmp"};
  AddWith({"a", "b"});
  EXPECT_EQ(zip.AddedCount(), 3);
  EXPECT_TRUE(zip.FSpecArgs().empty());
  EXPECT_TRUE(zip.FSpecArgsExcl().empty());
  EXPECT_EQ(updates, 1);
  ASSERT_EQ(zip.Count(), 1);
  EXPECT_EQ(zip.ZipContents()[0].FileName, "new.txt");
  EXPECT_FALSE(zip.Busy());

  *engine = TRecordingControl{};
  engine->result = 0;
  AddWith({"c"});
  EXPECT_EQ(zip.AddedCount(), 0);
  EXPECT_TRUE(zip.FSpecArgs().empty());  // whatever the engine returned
  EXPECT_EQ(updates, 1);                 // nothing added: the directory is not read again
  EXPECT_TRUE(messages.empty());
}

TEST_F(RecordingEngineTest, ChecksBeforeTheEngineKeepTheSpecs) {
  struct Case {
    const char* name;
    std::function<void()> setup;
    int message;
  };
  const Case cases[] = {
      {"no specs", [&] { zip.FSpecArgs().clear(); }, zmNoFileSpecs},
      {"no archive name", [&] { zip.SetZipFileName(""); }, zmNoZipFileName},
      {"encryption unattended without password", [&] { zip.SetAddOptions({AddEncrypt}); }, zmNoPasswordUnattended},
      {"spanning with update", [&] { zip.SetAddOptions({AddDiskSpan, AddUpdate}); }, zmSpanWithUpdate},
      {"spanning onto an .EXE", [&] {
         zip.SetAddOptions({AddDiskSpanErase});
         zip.SetZipFileName(dir.File("setup.Exe"));
       }, zmSpanToExe},
      {"spanning itself", [&] { zip.SetAddOptions({AddDiskSpan}); }, zmException},
      {"a new self-extractor", [&] { zip.SetZipFileName(dir.File("new.exe")); }, zmException},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    messages.clear();
    zip.SetAddOptions({});
    zip.SetZipFileName(archive);
    zip.FSpecArgs() = {"a.txt"};
    c.setup();
    std::vector<std::string> before = zip.FSpecArgs();
    zip.AddFiles();
    EXPECT_TRUE(engine->calls.empty());
    EXPECT_EQ(zip.FSpecArgs(), before);
    EXPECT_EQ(zip.AddedCount(), 0);
    EXPECT_EQ(zip.LastErrorCode(), c.message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, 0);
    EXPECT_EQ(messages[0].second.rfind(ZipGeneralFallback(c.message), 0), 0u) << messages[0].second;
  }
}

TEST_F(RecordingEngineTest, ASecondAddFilesWhileBusyReturnsAtOnce) {
  engine->script = [&](ZipCallCommon*) {
    EXPECT_TRUE(zip.Busy());
    zip.AddFiles();
  };
  AddWith({"a"});
  EXPECT_EQ(engine->calls.size(), 1u);
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(zip.Busy());
}

TEST_F(RecordingEngineTest, TooManySpecsForTheOlderLayoutAreRefused) {
  engine->version = 150;
  zip.FSpecArgs() = std::vector<std::string>(kZipOldLayoutSpecSlots + 1, "f");
  zip.AddFiles();
  EXPECT_TRUE(engine->calls.empty());
  EXPECT_EQ(zip.LastErrorCode(), zmException);
  EXPECT_NE(zip.LastMessage().find("at most 4097"), std::string::npos) << zip.LastMessage();

  *engine = TRecordingControl{};
  engine->version = 150;
  AddWith(std::vector<std::string>(kZipOldLayoutSpecSlots, "f"));
  EXPECT_EQ(engine->calls[0].old_specs.size(), static_cast<size_t>(kZipOldLayoutSpecSlots));
}

// An error that leaves an event handler must not unwind through the engine: the callback keeps
// it and answers "stop", and AddFiles reports it once the engine is back.
TEST_F(RecordingEngineTest, HandlerErrorsStopTheEngineAndAreReportedAfterwards) {
  struct Case {
    const char* name;
    std::function<void()> raise;
    std::string text;
  };
  const Case cases[] = {
      {"an error of ours", [] { throw Exception("disk on fire"); }, "\ndisk on fire"},
      {"a standard error", [] { throw std::runtime_error("bad things"); }, "\nbad things"},
      {"not an error object", [] { throw 42; }, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    *engine = TRecordingControl{};
    messages.clear();
    int handled = 0;
    zip.OnProgress = [&](TComponent*, ProgressType, const std::string&, int64_t) {
      ++handled;
      c.raise();
    };
    std::vector<int32_t> answers;
    engine->script = [&](ZipCallCommon* record) {
      ZipCallbackRecord cb{};
      cb.caller = record->caller;
      cb.action = zcaNewFile;
      answers.push_back(record->callback(&cb));
      cb.action = zcaEndOfBatch;
      answers.push_back(record->callback(&cb));
    };
    engine->result = 0;
    AddWith({"a"});
    EXPECT_EQ(answers, (std::vector<int32_t>{-1, -1}));
    EXPECT_EQ(handled, 2);
    EXPECT_EQ(zip.LastErrorCode(), zmException);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].second, ZipGeneralFallback(zmException) + c.text);
    EXPECT_FALSE(zip.Cancel());
  }
}

// A dialog answered "abort" in one call must not stop the next call's first password request.
TEST_F(RecordingEngineTest, AnAbortedPasswordRequestEndsWithItsCall) {
  std::vector<int32_t> answers;
  engine->script = [&](ZipCallCommon* record) {
    ZipCallbackRecord cb{};
    cb.caller = record->caller;
    cb.action = zcaPassword;
    cb.error_code = 1;
    answers.push_back(record->callback(&cb));
  };
  zip.OnPasswordError = [](TComponent*, bool, std::string&, const std::string&, uint32_t&, TPasswordButton& action) {
    action = pbAbort;
  };
  AddWith({"a"});
  zip.OnPasswordError = nullptr;
  zip.FSpecArgs() = {"b"};
  zip.AddFiles();  // unattended: the request is refused with a message, not stopped
  EXPECT_EQ(answers, (std::vector<int32_t>{-1, 0}));
  EXPECT_EQ(zip.LastErrorCode(), zmPasswordUnattendedAdd);
}

TEST_F(RecordingEngineTest, EngineVersionLoadsForTheCallOnly) {
  engine->version = 151;
  EXPECT_FALSE(zip.EngineLoaded());
  EXPECT_EQ(zip.ZipEngineVersion(), 151);
  EXPECT_FALSE(zip.EngineLoaded());
  zip.LoadZipEngine();
  EXPECT_EQ(zip.ZipEngineVersion(), 151);
  EXPECT_TRUE(zip.EngineLoaded());
  zip.UnloadZipEngine();

  AddWith({"a"});
  EXPECT_FALSE(zip.EngineLoaded());  // loaded for AddFiles, unloaded after
  zip.LoadZipEngine();
  zip.FSpecArgs() = {"b"};
  zip.AddFiles();
  EXPECT_TRUE(zip.EngineLoaded());
  zip.UnloadZipEngine();
  zip.UnloadZipEngine();  // safe when nothing is loaded
}

class EngineLoadingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_dirs_ = platform::LibrarySearchDirs();
    zip.OnMessage = [this](TComponent*, int, const std::string& text) { messages.push_back(text); };
  }
  void TearDown() override {
    zip.UnloadZipEngine();
    platform::SetLibrarySearchDirs(saved_dirs_);
  }

  testing::ScriptedDialogs dialogs;
  testing::TempDir empty;
  TZipwright zip;
  std::vector<std::string> messages;

 private:
  std::vector<std::string> saved_dirs_;
};

TEST_F(EngineLoadingTest, AMissingEngineShowsTheFallbackText) {
  platform::SetLibrarySearchDirs({empty.Path()});
  zip.SetDLLDirectory(empty.Path());
  zip.LoadZipEngine();
  EXPECT_FALSE(zip.EngineLoaded());
  const std::string text = "ZipTextXX.res is probably not linked to the executable\nMissing String ID is: 10604";
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{text});
  EXPECT_EQ(dialogs.message_types, std::vector<platform::TMsgDlgType>{platform::TMsgDlgType::mtCustom});
  EXPECT_EQ(messages, std::vector<std::string>{text});
  EXPECT_EQ(zip.LastErrorCode(), zmEngineLoadFailed);

  // AddFiles tries to load it for its call, and stops.
  dialogs.messages.clear();
  zip.SetZipFileName(empty.File("a.zip"));
  zip.FSpecArgs() = {"a"};
  zip.AddFiles();
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{text});
  EXPECT_EQ(zip.FSpecArgs().size(), 1u);
  EXPECT_EQ(zip.ZipEngineVersion(), 0);
}

TEST_F(EngineLoadingTest, PartialEnginesAreReportedAndNeverCalled) {
  struct Case {
    const char* folder;
    int message;
  };
  for (Case c : {Case{NO_EXEC_ZIPENG_DIR, zmNoZipEngExec}, Case{NO_VERSION_ZIPENG_DIR, zmNoGetZipEngVersion}}) {
    SCOPED_TRACE(c.folder);
    dialogs.messages.clear();
    zip.SetUnattended(false);
    zip.SetDLLDirectory(c.folder);
    zip.LoadZipEngine();
    EXPECT_TRUE(zip.EngineLoaded());
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{ZipGeneralFallback(c.message)});
    zip.SetZipFileName(empty.File("a.zip"));
    zip.FSpecArgs() = {"a"};
    zip.AddFiles();
    EXPECT_EQ(zip.LastErrorCode(), c.message);
    EXPECT_EQ(zip.FSpecArgs().size(), 1u);
    EXPECT_EQ(zip.ZipEngineVersion(), c.message == zmNoGetZipEngVersion ? 0 : 160);
    zip.UnloadZipEngine();
  }
}

TEST_F(EngineLoadingTest, LoadingTwiceKeepsOneHandle) {
  zip.SetUnattended(true);
  zip.SetDLLDirectory(NO_EXEC_ZIPENG_DIR);
  zip.LoadZipEngine();
  zip.LoadZipEngine();
  EXPECT_EQ(messages.size(), 1u);  // the second call loads nothing and reports nothing
  zip.UnloadZipEngine();
  // One unload freed the library: no second reference was left behind.
  EXPECT_EQ(::dlopen(NO_EXEC_ZIPENG_DIR "/libzipeng.so", RTLD_NOW | RTLD_NOLOAD), nullptr);
}

TEST_F(EngineLoadingTest, TraceReportsTheLoadAndTheEngineIsFoundBesideTheProgram) {
  zip.SetUnattended(true);
  zip.SetTrace(true);
  zip.SetDLLDirectory(empty.Path());  // no engine there: the search beside the program finds it
  zip.LoadZipEngine();
  EXPECT_TRUE(zip.EngineLoaded());
  EXPECT_EQ(messages, std::vector<std::string>{ZipGeneralFallback(zmEngineLoaded)});
  EXPECT_EQ(zip.EnginePath(), platform::LibrarySearchDirs()[0] + "/libzipeng.so");
}

}  // namespace
}  // namespace tavrik
