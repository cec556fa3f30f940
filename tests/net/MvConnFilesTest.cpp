// The file commands on the wire against a scripted server: the exact requests and progress
// events of an upload, the decoding of the replies, and every way a send can fail without the
// file's size passing for bytes sent.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "net/MvConn.h"
#include "tests/net/ScriptedServer.h"
#include "tests/support/ErrorText.h"
#include "tests/support/TempDir.h"
#include "tests/support/WireText.h"

namespace tavrik {
namespace {

using testing::FileFields;
using testing::MessageOf;
using testing::ScriptedServer;

struct Progress {
  int64_t min, max, position;
  bool operator==(const Progress&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Progress& p) {
  return out << "(" << p.min << ", " << p.max << ", " << p.position << ")";
}

// The events of a body of `length` bytes sent whole in blocks of 8,192.
std::vector<Progress> EventsOfWholeBody(int64_t length) {
  std::vector<Progress> events{{0, length, 0}};
  for (int64_t at = 8192; at < length; at += 8192) events.push_back({0, 0, at});
  events.push_back({0, 0, length});
  events.push_back({0, 0, 0});
  return events;
}

// Bytes that differ from block to block, so a lost or repeated block shows.
std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 8192) & 0xFF);
  return s;
}

std::string RequestHeader(size_t length, const char* code) {
  char header[21];
  std::snprintf(header, sizeof header, "%08zX00000000%s", length, code);
  return header;
}

class MvConnFilesTest : public ::testing::Test {
 protected:
  MvConnFilesTest() {
    conn.SetPort(server.Port());
    conn.SetTimeOut(5000);
    conn.OnWriteProgress = [this](TComponent*, int64_t min, int64_t max, int64_t position) {
      events.push_back({min, max, position});
      if (on_progress) on_progress(position);
    };
  }
  // Starts the script and connects without a login.
  void Open() {
    server.Start();
    conn.SetActive(true);
    ASSERT_TRUE(conn.Active());
  }
  void CollectErrors() {
    conn.OnError = [this](TComponent*, const std::string& command, const std::string& msg) {
      errors.push_back(command + "|" + msg);
    };
  }
  std::string Source(const std::string& name, const std::string& data) {
    const std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary) << data;
    return path;
  }

  testing::TempDir dir;
  ScriptedServer server;
  std::vector<Progress> events;
  std::vector<std::string> errors;
  std::function<void(int64_t position)> on_progress;
  TMarvekConnection conn;
};

TEST_F(MvConnFilesTest, TextCommandsSendTheNamePartAndDecodeTheirReplies) {
  const std::string long_name(300, 'n');
  struct Case {
    const char* name;
    std::function<std::string(TMarvekConnection&)> call;
    std::string code, name_sent, reply, expected;
  };
  auto exists = [](std::string n) {
    return [n](TMarvekConnection& c) { return std::to_string(c.FileExists("Files", n)); };
  };
  auto remove = [](std::string n) {
    return [n](TMarvekConnection& c) { return std::to_string(c.DeleteFile("Files", n)); };
  };
  auto length = [](std::string n) {
    return [n](TMarvekConnection& c) { return std::to_string(c.FileLength("Files", n)); };
  };
  const Case cases[] = {
      {"exists", exists("clerk1_quorvale.zip"), "0054", "clerk1_quorvale.zip", "Y", "1"},
      {"exists: N", exists("a.zip"), "0054", "a.zip", "N", "0"},
      {"exists: lower-case y", exists("a.zip"), "0054", "a.zip", "y", "0"},
      {"exists: Y and a blank", exists("a.zip"), "0054", "a.zip", "Y ", "0"},
      {"exists: refused", exists("a.zip"), "0054", "a.zip", "", "0"},
      {"exists: Windows path", exists("c:\\quorvale\\quorvale.zip"), "0054", "quorvale.zip", "Y", "1"},
      {"exists: drive only", exists("c:quorvale.zip"), "0054", "quorvale.zip", "Y", "1"},
      {"exists: Linux path", exists("/home/clerk/a.zip"), "0054", "a.zip", "N", "0"},
      {"exists: long name cut", exists(long_name), "0054", long_name.substr(0, 255), "Y", "1"},
      {"delete", remove("a.zip"), "0055", "a.zip", "Y", "1"},
      {"delete: N", remove("a.zip"), "0055", "a.zip", "N", "0"},
      {"delete: path", remove("d:\\x/y\\a.zip"), "0055", "a.zip", "Y", "1"},
      {"delete: long name cut", remove(long_name), "0055", long_name.substr(0, 255), "Y", "1"},
      {"length", length("a.zip"), "0038", "a.zip", "00000400", "1024"},
      {"length: short and lower case", length("a.zip"), "0038", "a.zip", "4e20", "20000"},
      {"length: largest", length("a.zip"), "0038", "a.zip", "7FFFFFFF", "2147483647"},
      {"length: path", length("c:\\q\\a.zip"), "0038", "a.zip", "00000000", "0"},
      {"length: long name cut", length(long_name), "0038", long_name.substr(0, 255), "00000001", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer script;
    script.Expect(c.code, FileFields("Files", c.name_sent)).Reply(c.code, c.reply).Start();
    TMarvekConnection connection;
    connection.SetPort(script.Port());
    connection.SetTimeOut(5000);
    connection.SetActive(true);
    EXPECT_EQ(MessageOf([&] { EXPECT_EQ(c.call(connection), c.expected); }), "(nothing raised)");
    EXPECT_EQ(script.Finish(), "");
  }
}

// A length the 32-bit result cannot hold is an error, never a wrapped number.
TEST_F(MvConnFilesTest, LengthRepliesThatDoNotReadAreTheCommandsError) {
  const char* replies[] = {"", "not hex", "80000000", "FFFFFFFF", "100000000", " 400"};
  for (const char* reply : replies) server.Expect("0038", FileFields("Files", "a.zip")).Reply("0038", reply);
  Open();
  for (const char* reply : replies) {
    EXPECT_EQ(MessageOf([&] { conn.FileLength("Files", "a.zip"); }), "[MarvekConnection.FileLength]FileLength")
        << reply;
  }
  EXPECT_EQ(server.Finish(), "");
  EXPECT_TRUE(conn.Active());
}

TEST_F(MvConnFilesTest, EmptyAreaOrNameSendsNothing) {
  const std::string path = Source("a.mdb", "abc");
  Open();
  CollectErrors();
  EXPECT_FALSE(conn.FileExists("", "a.zip"));
  EXPECT_FALSE(conn.FileExists("Files", ""));
  EXPECT_FALSE(conn.DeleteFile("", "a.zip"));
  EXPECT_FALSE(conn.DeleteFile("Files", ""));
  EXPECT_EQ(conn.FileLength("", "a.zip"), 0);
  EXPECT_EQ(conn.FileLength("Files", ""), 0);
  EXPECT_EQ(conn.FileSend("", path, "a.zip"), 0);
  EXPECT_EQ(conn.FileSend("Files", "", "a.zip"), 0);
  conn.SetActive(false);
  EXPECT_EQ(server.Finish(), "");
  EXPECT_TRUE(server.Received().empty());
  EXPECT_TRUE(errors.empty());
  EXPECT_TRUE(events.empty());
}

TEST_F(MvConnFilesTest, SendStreamsTheBodyInBlocksWithItsProgress) {
  struct Case {
    const char* name;
    size_t size;
    std::string target, name_sent;
  };
  const Case cases[] = {
      {"empty file", 0, "clerk1_empty.mdb", "clerk1_empty.mdb"},
      {"20,000 bytes", 20000, "clerk1_quorvale.zip", "clerk1_quorvale.zip"},
      {"exactly one block of file", 8192, "one.bin", "one.bin"},
      {"body of exactly two blocks", 2 * 8192 - 510, "two.bin", "two.bin"},
      {"no target: the source's name", 100, "", "source.mdb"},
      {"target with a path", 100, "c:\\upload\\clerk1_a.zip", "clerk1_a.zip"},
      {"long target cut", 100, std::string(300, 't'), std::string(255, 't')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string data = Pattern(c.size);
    const std::string path = Source("source.mdb", data);
    ScriptedServer script;
    script.Expect("0037", FileFields("Files", c.name_sent) + data).Reply("0037", "Y").Start();
    TMarvekConnection connection;
    connection.SetPort(script.Port());
    connection.SetTimeOut(5000);
    std::vector<Progress> seen;
    connection.OnWriteProgress = [&](TComponent*, int64_t min, int64_t max, int64_t position) {
      seen.push_back({min, max, position});
    };
    connection.SetActive(true);
    EXPECT_EQ(connection.FileSend("Files", path, c.target), static_cast<int32_t>(c.size));
    EXPECT_EQ(script.Finish(), "");
    EXPECT_EQ(seen, EventsOfWholeBody(static_cast<int64_t>(510 + c.size)));
  }
}

TEST_F(MvConnFilesTest, TheUploadsRequestsInTurnAndTheLengthTheServerGives) {
  const std::string data = Pattern(20000);
  const std::string path = Source("quorvale.zip", data);
  const std::string fields = FileFields("Files", "clerk1_quorvale.zip");
  server.Expect("0054", fields).Reply("0054", "Y")
      .Expect("0055", fields).Reply("0055", "Y")
      .Expect("0037", fields + data).Reply("0037", "Y")
      .Expect("0038", fields).Reply("0038", "00004E1F");  // one byte less than was sent
  Open();
  EXPECT_TRUE(conn.FileExists("Files", "clerk1_quorvale.zip"));
  EXPECT_TRUE(conn.DeleteFile("Files", "clerk1_quorvale.zip"));
  EXPECT_EQ(conn.FileSend("Files", path, "clerk1_quorvale.zip"), 20000);
  EXPECT_EQ(conn.FileLength("Files", "clerk1_quorvale.zip"), 19999);  // told as it is: the caller compares
  EXPECT_EQ(events, (std::vector<Progress>{{0, 20510, 0}, {0, 0, 8192}, {0, 0, 16384}, {0, 0, 20510}, {0, 0, 0}}));
  EXPECT_EQ(server.Finish(), "");
}

// The server read the whole request and stored nothing: no size may be reported as sent.
TEST_F(MvConnFilesTest, RefusedSendIsAFailure) {
  const std::string data = Pattern(3000);
  const std::string path = Source("a.mdb", data);
  server.Expect("0037", FileFields("Nope", "a.mdb") + data).Reply("0037", "")
      .Expect("0037", FileFields("Nope", "a.mdb") + data).Reply("0037", "")
      .Expect("0054", FileFields("Files", "a.mdb")).Reply("0054", "N");
  Open();
  EXPECT_EQ(MessageOf([&] { conn.FileSend("Nope", path, ""); }), "[MarvekServer.FileSend]Copying from source");
  CollectErrors();
  EXPECT_EQ(conn.FileSend("Nope", path, ""), 0);
  EXPECT_EQ(errors, std::vector<std::string>{"MarvekServer.FileSend|Copying from source"});
  EXPECT_TRUE(conn.Active());  // the request was whole: the connection goes on
  EXPECT_FALSE(conn.FileExists("Files", "a.mdb"));
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvConnFilesTest, ServerLostInMidFile) {
  const std::string data = Pattern(1 << 20);
  const std::string path = Source("big.mdb", data);
  const std::string body = FileFields("Files", "big.mdb") + data;
  // The server takes the first block and goes; the client learns it while sending.
  server.ExpectRaw(RequestHeader(body.size(), "0037") + body.substr(0, 8192)).Hangup();
  Open();
  CollectErrors();
  on_progress = [this](int64_t position) {
    if (position == 16384) {
      EXPECT_EQ(server.Finish(), "");
    }
  };
  EXPECT_EQ(conn.FileSend("Files", path, ""), 0);
  EXPECT_EQ(errors, (std::vector<std::string>{"MarvekConnection.ClientStreamSendReceive|Connection lost",
                                              "MarvekServer.FileSend|Copying from source"}));
  EXPECT_FALSE(conn.Active());
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[0], (Progress{0, static_cast<int64_t>(body.size()), 0}));
  EXPECT_EQ(events[2], (Progress{0, 0, 16384}));
  EXPECT_NE(events.back(), (Progress{0, 0, 0}));  // never finished
  EXPECT_LT(events.back().position, static_cast<int64_t>(body.size()));
}

TEST_F(MvConnFilesTest, InactiveConnectionSendsNothingAndSaysSo) {
  const std::string path = Source("a.mdb", "abc");
  EXPECT_EQ(MessageOf([&] { conn.FileSend("Files", path, ""); }), "[MarvekConnection.FileSend]Not connected");
  CollectErrors();
  EXPECT_EQ(conn.FileSend("Files", path, ""), 0);
  EXPECT_EQ(errors, std::vector<std::string>{"MarvekConnection.FileSend|Not connected"});
  EXPECT_TRUE(events.empty());
}

TEST_F(MvConnFilesTest, SourcesTheSendRefusesBeforeAnythingGoesOut) {
  const std::string held = Source("held.mdb", "in use");
  std::ifstream holder(held);  // another open of the file: it cannot be had without sharing
  const std::string huge = Source("huge.mdb", "");
  std::filesystem::resize_file(huge, 0x80000000ull);  // 2 GiB, sparse
  std::filesystem::create_directory(dir.File("folder"));
  const std::pair<std::string, std::string> cases[] = {
      {dir.File("missing.mdb"), "[MarvekConnection.FileSend]No such file or directory"},
      {dir.File("folder"), "[MarvekConnection.FileSend]No such file or directory"},
      {held, "[MarvekServer.FileSend]Opening source:" + held},
      {huge, "[MarvekServer.FileSend]File too large to send: " + huge +
                 " holds 2147483648 bytes, at most 2147483647 can be sent"},
  };
  Open();
  for (const auto& [path, message] : cases) {
    EXPECT_EQ(MessageOf([&] { conn.FileSend("Files", path, "x.zip"); }), message);
    EXPECT_EQ(MessageOf([&] { conn.OpenSendSource(path); }), message);
  }
  CollectErrors();
  for (const auto& [path, message] : cases) EXPECT_EQ(conn.FileSend("Files", path, "x.zip"), 0) << path;
  EXPECT_EQ(errors.size(), std::size(cases));
  EXPECT_TRUE(conn.Active());
  conn.SetActive(false);
  EXPECT_EQ(server.Finish(), "");
  EXPECT_TRUE(server.Received().empty());
  EXPECT_TRUE(events.empty());
}

// The source is checked first and held: the send goes out from the very file that was checked,
// and nobody else can have it meanwhile.
TEST_F(MvConnFilesTest, SourceOpenedFirstIsHeldAndSentAsChecked) {
  const std::string data = Pattern(10000);
  const std::string path = Source("quorvale.zip", data);
  const std::string largest = Source("largest.bin", "");
  std::filesystem::resize_file(largest, 0x7FFFFFFFull);
  server.Expect("0037", FileFields("Files", "clerk1_quorvale.zip") + data).Reply("0037", "Y")
      .Expect("0037", FileFields("Files", "quorvale.zip") + data).Reply("0037", "Y");
  Open();
  std::unique_ptr<TFileSendSource> source = conn.OpenSendSource(path);
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->Size(), 10000);
  EXPECT_EQ(MessageOf([&] { conn.OpenSendSource(path); }), "[MarvekServer.FileSend]Opening source:" + path);
  EXPECT_EQ(conn.FileSend("Files", *source, "clerk1_quorvale.zip"), 10000);
  EXPECT_EQ(conn.FileSend("Files", *source, ""), 10000);  // again, from its start
  source.reset();
  EXPECT_NE(conn.OpenSendSource(path), nullptr);
  auto limit = conn.OpenSendSource(largest);
  ASSERT_NE(limit, nullptr);
  EXPECT_EQ(limit->Size(), 0x7FFFFFFF);
  EXPECT_EQ(server.Finish(), "");
}

// A source cut short while it goes out leaves a request that cannot be finished: the connection
// is closed rather than let the server read the next request as the rest of the file.
TEST_F(MvConnFilesTest, SourceThatShrinksWhileSentClosesTheConnection) {
  const std::string data = Pattern(20000);
  const std::string path = Source("a.mdb", data);
  const std::string body = FileFields("Files", "a.mdb") + data;
  server.ExpectRaw(RequestHeader(body.size(), "0037") + body.substr(0, 8192)).DrainUntilClosed();
  Open();
  CollectErrors();
  on_progress = [&](int64_t position) {
    if (position == 8192) std::filesystem::resize_file(path, 10000);
  };
  EXPECT_EQ(conn.FileSend("Files", path, ""), 0);
  EXPECT_FALSE(conn.Active());
  EXPECT_EQ(errors, (std::vector<std::string>{"MarvekConnection.ClientStreamSendReceive|Connection lost",
                                              "MarvekServer.FileSend|Copying from source"}));
  EXPECT_EQ(events, (std::vector<Progress>{{0, 20510, 0}, {0, 0, 8192}}));
  EXPECT_EQ(server.Finish(), "");
}

}  // namespace
}  // namespace tavrik
