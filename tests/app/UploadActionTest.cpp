// The upload as a program without a window drives it: against marvekd serving the demo
// installation, with the window's ZIP component, scripted dialogs and the port over plain values;
// archives read back by unzip and log rows by dbfread. Also the name rules of an upload.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "tests/app/ActionFixture.h"
#include "tests/app/DemoInstallation.h"
#include "tests/app/SourceBytes.h"
#include "tests/app/Unzipped.h"
#include "tests/net/ScriptedServer.h"
#include "tests/support/ErrorText.h"
#include "tests/support/ReadFile.h"
#include "tests/support/TempDir.h"
#include "tests/zip/RecordingEngine.h"

namespace tavrik::testing {
namespace {

using platform::TCursor;
using testing::TRecordingControl;

class UploadActionTest : public ActionTest {
 protected:
  void SetUp() override {
    ActionTest::SetUp();
    LoggedIn = true;  // the upload asks no more of a login
    ports.user = "clerk1";
  }

  void StartServer() {
    const uint16_t port = demo.Start();
    ASSERT_NE(port, 0);
    UseServer(port);
  }
  // A local file to send.
  std::string Source(const std::string& name, const std::string& data) {
    const std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary) << data;
    return path;
  }
  // A file already in the server's area.
  void OnServer(const std::string& name, const std::string& data) {
    std::ofstream(demo.FilesDir() + "/" + name, std::ios::binary) << data;
  }
  std::string ServerFile(const std::string& name) { return ReadFile(demo.FilesDir() + "/" + name); }
  // Sends `path`; the error it ends with, "(nothing raised)" after an upload that went well.
  std::string Upload(const std::string& path, bool compression) {
    ports.source = path;
    ports.compression = compression;
    return MessageOf([&] { EXPECT_TRUE(actions->StartBtnClick()); });
  }
  std::vector<std::string> LogRows() { return demo.LogRowsWithoutTime(); }

  TempDir dir;
  DemoInstallation demo;
};

TEST_F(UploadActionTest, CompressedFileIsStoredUnderTheUsersName) {
  StartServer();
  const std::string data = SourceBytes(100000);
  const std::string source = Source("quorvale.mdb", data);
  std::ofstream(dir.File("quorvale.zip")) << "an old archive, not a ZIP file";
  EXPECT_EQ(Upload(source, true), "(nothing raised)");

  // The archive beside the source holds the source alone, and the server holds the archive.
  const std::string archive = ReadFile(dir.File("quorvale.zip"));
  EXPECT_EQ(Unzipped(dir.File("quorvale.zip")), (std::map<std::string, std::string>{{"quorvale.mdb", data}}));
  EXPECT_EQ(ServerFile("clerk1_quorvale.zip"), archive);
  EXPECT_LT(archive.size(), data.size() * 3 / 5);  // compressed
  EXPECT_EQ(LogRows(), (std::vector<std::string>{"FileTranfer:clerk1_quorvale.zip|clerk1|",
                                                 "FileTranfer: Done   " + std::to_string(archive.size()) +
                                                     " Bytes|clerk1|"}));
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"File sended"});
  EXPECT_EQ(ports.status_history[1], (std::vector<std::string>{"Connecting...", "Connected", "Disconnected"}));
  EXPECT_EQ(ports.status_history[2], (std::vector<std::string>{"Compressing...", "Sending...", "Done"}));
  EXPECT_EQ(actions->LastUpload().remote_name, "clerk1_quorvale.zip");
  EXPECT_EQ(actions->LastUpload().length, int32_t(archive.size()));
  // The bar went up block by block and is empty again (a log row's record moves it in one block).
  const auto first_block = std::find(ports.positions.begin(), ports.positions.end(), 8192);
  ASSERT_GE(ports.positions.end() - first_block, 3);
  EXPECT_EQ(std::vector<int>(first_block, first_block + 3), (std::vector<int>{8192, 16384, 24576}));
  EXPECT_EQ(ports.positions.back(), 0);
  EXPECT_EQ(cursor.history.front(), TCursor::crHourGlass);  // the ZIP component shows it too, while it reads
  ExpectNothingLeftOpen();
}

TEST_F(UploadActionTest, FilesThatAreNotCompressedAreStoredAsTheyAre) {
  StartServer();
  const struct {
    const char* name;
    std::string file;
    bool compression;
    std::string stored;
  } cases[] = {
      {"compression off", "a.mdb", false, "clerk1_a.mdb"},
      {"an archive in capitals, compression on", "report.ZIP", true, "clerk1_report.ZIP"},
      {"an archive, compression off", "b.zip", false, "clerk1_b.zip"},
      {"an empty file", "empty.mdb", false, "clerk1_empty.mdb"},
  };
  std::vector<std::string> rows;
  int seed = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string data = c.file == "empty.mdb" ? "" : SourceBytes(20000, ++seed);
    ports.status_history[2].clear();
    EXPECT_EQ(Upload(Source(c.file, data), c.compression), "(nothing raised)");
    EXPECT_EQ(ServerFile(c.stored), data);
    EXPECT_EQ(ports.status_history[2], (std::vector<std::string>{"Sending...", "Done"}));
    rows.push_back("FileTranfer:" + c.stored + "|clerk1|");
    rows.push_back("FileTranfer: Done   " + std::to_string(data.size()) + " Bytes|clerk1|");
    ExpectNothingLeftOpen();
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("a.zip")));  // no archive made
  EXPECT_EQ(LogRows(), rows);
}

TEST_F(UploadActionTest, ExistingServerFileIsReplaced) {
  StartServer();
  OnServer("clerk1_a.mdb", SourceBytes(50000, 7));
  const std::string data = SourceBytes(3000, 1);
  EXPECT_EQ(Upload(Source("a.mdb", data), false), "(nothing raised)");
  EXPECT_EQ(ServerFile("clerk1_a.mdb"), data);
  EXPECT_EQ(LogRows().back(), "FileTranfer: Done   3000 Bytes|clerk1|");
}

// The name on the server is the user name as it reads now, trimmed; the log rows keep it as typed.
TEST_F(UploadActionTest, TheUserNameOfTheMoment) {
  StartServer();
  const std::string source = Source("a.mdb", "abc");
  const struct {
    std::string user, stored;
  } cases[] = {{" Clerk 1\t", "Clerk 1_a.mdb"}, {"", "_a.mdb"}, {"\tclerk2 ", "clerk2_a.mdb"}};
  for (const auto& c : cases) {
    ports.user = c.user;
    EXPECT_EQ(Upload(source, false), "(nothing raised)");
    EXPECT_EQ(ServerFile(c.stored), "abc") << c.stored;
  }
  // dbfread drops the blanks at the end of a field.
  EXPECT_EQ(LogRows(), (std::vector<std::string>{
                           "FileTranfer:Clerk 1_a.mdb| Clerk 1\t|", "FileTranfer: Done   3 Bytes| Clerk 1\t|",
                           "FileTranfer:_a.mdb||", "FileTranfer: Done   3 Bytes||",
                           "FileTranfer:clerk2_a.mdb|\tclerk2|", "FileTranfer: Done   3 Bytes|\tclerk2|"}));
}

// A source that cannot be sent is found out before the server's copy is touched: the copy stays,
// and only the first log row is written.
TEST_F(UploadActionTest, ServerCopyIsKeptWhenTheSourceCannotBeSent) {
  StartServer();
  const std::string old_copy = SourceBytes(4000, 3);
  const std::string held = Source("held.mdb", "held open elsewhere");
  std::ifstream holder(held);  // another open of the file: it cannot be had without sharing
  const struct {
    const char* name;
    std::string source;
    bool compression;
    std::string stored, error;
  } cases[] = {
      {"missing", dir.File("gone.mdb"), false, "clerk1_gone.mdb",
       "[MarvekConnection.FileSend]No such file or directory"},
      // The engine's message goes to no one: the archive it did not make is what is missing.
      {"missing, compressed", dir.File("gone.mdb"), true, "clerk1_gone.zip",
       "[MarvekConnection.FileSend]No such file or directory"},
      {"held open", held, false, "clerk1_held.mdb", "[MarvekServer.FileSend]Opening source:" + held},
      {"held open, compressed", held, true, "clerk1_held.zip", "Opening source:" + held},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OnServer(c.stored, old_copy);
    const size_t rows_before = LogRows().size();
    EXPECT_EQ(Upload(c.source, c.compression), c.error);
    EXPECT_EQ(ServerFile(c.stored), old_copy);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_NE(ports.status[2], "Done");
    EXPECT_EQ(actions->LastUpload().remote_name, "");
    ExpectNothingLeftOpen();
    EXPECT_EQ(ports.status[1], "Disconnected");
    const std::vector<std::string> rows = LogRows();
    // Held open while compressing: refused before anything was logged.
    const bool logged = c.error != "Opening source:" + held;
    ASSERT_EQ(rows.size(), rows_before + (logged ? 1 : 0));
    if (logged) {
      EXPECT_EQ(rows.back(), "FileTranfer:" + c.stored + "|clerk1|");
    }
  }
}

// An engine that writes an archive and then reports that it added nothing: the archive is not
// sent. The specs an earlier call left in the component (one that stopped before the engine) do not
// go into the archive: the engine gets the source alone.
TEST_F(UploadActionTest, AnArchiveThatReceivedNothingIsNotSent) {
  StartServer();
  void* library = ::dlopen(RECORDING_ZIPENG_DIR "/libzipeng.so", RTLD_NOW);
  ASSERT_NE(library, nullptr) << ::dlerror();
  auto* engine = reinterpret_cast<TRecordingControl* (*)()>(::dlsym(library, "RecordingControl"))();
  *engine = TRecordingControl{};
  engine->result = 0;
  engine->script = [](ZipCallCommon* call) {
    std::ofstream(call->archive, std::ios::binary) << std::string("PK\x05\x06", 4) + std::string(18, '\0');
  };
  zip.SetDLLDirectory(RECORDING_ZIPENG_DIR);
  zip.FSpecArgs().push_back("/data/left_by_an_earlier_call.mdb");
  OnServer("clerk1_a.zip", "the server's copy");
  const std::string source = Source("a.mdb", "abc");
  EXPECT_EQ(Upload(source, true), "Compressing " + source + " into " + dir.File("a.zip") + " failed; nothing is sent");
  EXPECT_EQ(ServerFile("clerk1_a.zip"), "the server's copy");
  ASSERT_EQ(engine->calls.size(), 1u);
  ASSERT_EQ(engine->calls[0].specs.size(), 1u);
  EXPECT_EQ(engine->calls[0].specs[0].spec, source);
  EXPECT_EQ(LogRows(), std::vector<std::string>{"FileTranfer:clerk1_a.zip|clerk1|"});
  ExpectNothingLeftOpen();
  ::dlclose(library);
}

// During the transfer the progress lets window messages run: every other action asked for then is
// refused, and the upload ends as if none had been.
TEST_F(UploadActionTest, ActionsAreRefusedWhileTheFileGoesOut) {
  StartServer();
  const std::string data = SourceBytes(50000);
  std::vector<bool> accepted;
  ports.OnProgress = [&](int position) {
    if (position == 0 || !accepted.empty()) return;
    EXPECT_TRUE(actions->Running());
    accepted = {actions->StartBtnClick(), actions->LoginBtnClick(), actions->CloseApplication()};
  };
  EXPECT_EQ(Upload(Source("a.mdb", data), false), "(nothing raised)");
  EXPECT_EQ(accepted, (std::vector<bool>{false, false, false}));
  EXPECT_EQ(ServerFile("clerk1_a.mdb"), data);
  EXPECT_EQ(LogRows(), (std::vector<std::string>{"FileTranfer:clerk1_a.mdb|clerk1|",
                                                 "FileTranfer: Done   50000 Bytes|clerk1|"}));
  ExpectNothingLeftOpen();
}

// The server goes in the middle of the file: the error goes on, nothing is left open, and the
// user is not told that the file was sent.
TEST_F(UploadActionTest, ServerLostInTheMiddleOfTheFile) {
  StartServer();
  ports.OnProgress = [&](int position) {
    if (position > 0) demo.Stop();
  };
  EXPECT_EQ(Upload(Source("a.mdb", SourceBytes(500000)), false), "[MarvekServer.FileSend]Copying from source");
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(ports.status[2], "Sending...");
  EXPECT_EQ(ports.status[1], "Disconnected");
  ExpectNothingLeftOpen();
}

// Without a login only the box is shown: no connection is even tried (the server's port is closed).
TEST_F(UploadActionTest, NotLoggedInOnlyTheBox) {
  LoggedIn = false;
  UseServer(uint16_t(ClosedPort()));
  EXPECT_EQ(Upload(Source("a.mdb", "abc"), true), "(nothing raised)");
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Er moet eerst ingelogged worden!!!"});
  EXPECT_EQ(dialogs.message_types, std::vector<platform::TMsgDlgType>{platform::TMsgDlgType::mtCustom});
  for (const auto& history : ports.status_history) EXPECT_TRUE(history.empty());
  EXPECT_TRUE(cursor.history.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("a.zip")));
  ExpectNothingLeftOpen();
}

TEST(UploadNames, TheArchiveBesideTheSource) {
  const struct {
    std::string source, archive;
  } cases[] = {
      {"c:\\quorvale\\quorvale.mdb", "c:\\quorvale\\quorvale.zip"},
      {"/data/quorvale.mdb", "/data/quorvale.zip"},
      {"/data/archive.tar.gz", "/data/archive.tar.zip"},
      {"/data/no_extension", "/data/no_extension.zip"},
      {"/data.d/no_extension", "/data.d/no_extension.zip"},
      {"c:\\data.d\\name", "c:\\data.d\\name.zip"},
      {"c:name.mdb", "c:name.zip"},
      {"/data/ends_in_a_dot.", "/data/ends_in_a_dot.zip"},
      {"/home/clerk/.profile", "/home/clerk/.profile.zip"},
      {"name.mdb", "name.zip"},
  };
  for (const auto& c : cases) EXPECT_EQ(ZipNameBeside(c.source), c.archive) << c.source;
}

TEST(UploadNames, TheNameOnTheServer) {
  const struct {
    std::string user, file, remote;
  } cases[] = {
      {"clerk1", "c:\\quorvale\\quorvale.zip", "clerk1_quorvale.zip"},
      {" clerk1\t\r\n", "/data/a.mdb", "clerk1_a.mdb"},
      {"Clerk 1", "a.mdb", "Clerk 1_a.mdb"},
      {"", "/data/a.mdb", "_a.mdb"},
      {"x", "d:\\dir/sub\\f.ZIP", "x_f.ZIP"},
      {"x", "c:f.zip", "x_f.zip"},
  };
  for (const auto& c : cases) EXPECT_EQ(RemoteFileName(c.user, c.file), c.remote) << c.user << " " << c.file;
}

}  // namespace
}  // namespace tavrik::testing
