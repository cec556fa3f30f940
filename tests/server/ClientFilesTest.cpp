// The connection's file commands against marvekd: what the client sends is what the server
// stores, measures, finds and deletes, under the same (cut) names on every command.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "net/MvConn.h"
#include "tests/server/ServerFixture.h"
#include "tests/support/ReadFile.h"

namespace tavrik::testing {
namespace {

std::string Pattern(size_t size, int seed) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 8192 + static_cast<size_t>(seed)) & 0xFF);
  return s;
}

class ClientFilesTest : public ServerTest {
 protected:
  void Connect() {
    Start();
    conn.SetPort(Port());
    conn.SetTimeOut(10000);
    conn.SetUser("PORTAL");
    conn.SetPassword("qz7rmw");
    conn.SetActive(true);
    ASSERT_TRUE(conn.LoggedIn());
  }
  std::string Source(const std::string& name, const std::string& data) {
    const std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary) << data;
    return path;
  }
  void CollectErrors() {
    conn.OnError = [this](TComponent*, const std::string& command, const std::string& msg) {
      errors.push_back(command + "|" + msg);
    };
  }

  std::vector<std::string> errors;
  TMarvekConnection conn;
};

TEST_F(ClientFilesTest, SendLengthExistsDeleteAndReplace) {
  Connect();
  const std::string first = Pattern(100000, 1), second = Pattern(5000, 2);
  const std::string path = Source("quorvale.zip", first);
  int64_t last_position = -1;
  int progress_events = 0;
  conn.OnWriteProgress = [&](TComponent*, int64_t, int64_t, int64_t position) {
    ++progress_events;
    last_position = position;
  };

  EXPECT_FALSE(conn.FileExists("Files", "clerk1_quorvale.zip"));
  EXPECT_EQ(conn.FileSend("Files", path, "c:\\quorvale\\clerk1_quorvale.zip"), 100000);
  EXPECT_EQ(progress_events, 1 + 13 + 1);  // 100,510 bytes in 13 blocks
  EXPECT_EQ(last_position, 0);
  EXPECT_EQ(ReadFile(area + "/clerk1_quorvale.zip"), first);
  EXPECT_TRUE(conn.FileExists("Files", "clerk1_quorvale.zip"));
  EXPECT_EQ(conn.FileLength("Files", "clerk1_quorvale.zip"), 100000);

  // The upload's order: the old copy goes, the new one comes.
  std::ofstream(path, std::ios::binary) << second;
  EXPECT_TRUE(conn.DeleteFile("Files", "clerk1_quorvale.zip"));
  EXPECT_FALSE(conn.FileExists("Files", "clerk1_quorvale.zip"));
  EXPECT_EQ(conn.FileSend("Files", path, "clerk1_quorvale.zip"), 5000);
  EXPECT_EQ(conn.FileLength("Files", "clerk1_quorvale.zip"), 5000);
  // Sent over an existing copy, the new file replaces it whole.
  EXPECT_EQ(conn.FileSend("Files", Source("short.bin", "abc"), "clerk1_quorvale.zip"), 3);
  EXPECT_EQ(ReadFile(area + "/clerk1_quorvale.zip"), "abc");
  EXPECT_FALSE(conn.DeleteFile("Files", "nothing_here.zip"));
  // An empty file, under the source's own name.
  EXPECT_EQ(conn.FileSend("Files", Source("empty.mdb", ""), ""), 0);
  EXPECT_EQ(conn.FileLength("Files", "empty.mdb"), 0);
  EXPECT_TRUE(captured.WaitFor("stored Files/empty.mdb, 0 bytes"));
  EXPECT_EQ(AreaNames(), (std::vector<std::string>{"clerk1_quorvale.zip", "empty.mdb"}));
}

// Every command cuts a long name alike, so the file an upload stored is found by the others.
TEST_F(ClientFilesTest, LongNamesAreCutAlikeByEveryCommand) {
  Connect();
  const std::string name(300, 'n');
  EXPECT_EQ(conn.FileSend("Files", Source("a.bin", "12345"), name), 5);
  EXPECT_EQ(AreaNames(), std::vector<std::string>{name.substr(0, 255)});
  EXPECT_TRUE(conn.FileExists("Files", name));
  EXPECT_EQ(conn.FileLength("Files", "/some/folder/" + name), 5);
  EXPECT_TRUE(conn.DeleteFile("Files", name));
  EXPECT_TRUE(AreaNames().empty());
}

TEST_F(ClientFilesTest, RefusalsOfTheServerAreFailures) {
  Connect();
  CollectErrors();
  const std::string path = Source("a.bin", Pattern(20000, 3));
  EXPECT_EQ(conn.FileSend("Nowhere", path, "a.bin"), 0);
  EXPECT_EQ(conn.FileSend("Files", path, ".marvekd-0123456789abcdef.part"), 0);
  EXPECT_EQ(conn.FileLength("Files", "missing.bin"), 0);
  EXPECT_FALSE(conn.FileExists("Nowhere", "a.bin"));
  EXPECT_EQ(errors, (std::vector<std::string>{"MarvekServer.FileSend|Copying from source",
                                              "MarvekServer.FileSend|Copying from source",
                                              "MarvekConnection.FileLength|FileLength"}));
  EXPECT_TRUE(conn.Active());  // refusals leave the session as it was
  EXPECT_TRUE(AreaNames().empty());
  EXPECT_EQ(conn.FileSend("Files", path, "a.bin"), 20000);
}

}  // namespace
}  // namespace tavrik::testing
