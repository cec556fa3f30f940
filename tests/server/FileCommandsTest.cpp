#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "proto/MvFrame.h"
#include "tests/server/ServerFixture.h"

namespace tavrik::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Bytes that differ from block to block, so a lost or repeated block shows.
std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 8192) & 0xFF);
  return s;
}

// Sends "0037" as the client program does: the header, then the body in blocks of 8192 bytes.
std::string SendInBlocks(TTestClient& c, const std::string& name, const std::string& data) {
  std::string body = FileFields("Files", name) + data;
  EXPECT_TRUE(c.Send(BuildRequestHeader(static_cast<uint32_t>(body.size()), "0037")));
  for (size_t at = 0; at < body.size(); at += 8192) EXPECT_TRUE(c.Send(std::string_view(body).substr(at, 8192)));
  auto reply = c.ReadFrame(30s);
  return reply ? reply->payload : "<no reply>";
}

using FileCommandsTest = ServerTest;

TEST_F(FileCommandsTest, SentFileIsTestedMeasuredAndDeleted) {
  Start();
  auto c = LoggedIn();
  std::string data = Pattern(20000);
  EXPECT_EQ(SendInBlocks(*c, "clerk1_quorvale.zip", data), "Y");
  EXPECT_EQ(ReadFile(area + "/clerk1_quorvale.zip"), data);
  EXPECT_EQ(c->Call("0054", FileFields("Files", "clerk1_quorvale.zip")), "Y");
  EXPECT_EQ(c->Call("0054", FileFields("files", "clerk1_quorvale.zip")), "Y");  // area names ignore case
  EXPECT_EQ(c->Call("0038", FileFields("Files", "clerk1_quorvale.zip")), "00004E20");
  EXPECT_EQ(c->Call("0055", FileFields("Files", "clerk1_quorvale.zip")), "Y");
  EXPECT_TRUE(captured.Has("#1 stored Files/clerk1_quorvale.zip, 20000 bytes"));
  EXPECT_TRUE(captured.Has("#1 deleted Files/clerk1_quorvale.zip"));
  EXPECT_EQ(c->Call("0054", FileFields("Files", "clerk1_quorvale.zip")), "N");
  EXPECT_EQ(c->Call("0055", FileFields("Files", "clerk1_quorvale.zip")), "N");
  EXPECT_EQ(c->Call("0038", FileFields("Files", "clerk1_quorvale.zip")), "");  // no such file
  EXPECT_TRUE(captured.Has("#1 0038 FileLength refused: no such file"));
  EXPECT_TRUE(AreaNames().empty());
}

TEST_F(FileCommandsTest, EmptyAndLargeFilesAndReplacingAnExistingOne) {
  Start();
  auto c = LoggedIn();
  EXPECT_EQ(SendInBlocks(*c, "empty.mdb", ""), "Y");
  EXPECT_EQ(c->Call("0038", FileFields("Files", "empty.mdb")), "00000000");
  EXPECT_EQ(c->Call("0054", FileFields("Files", "empty.mdb")), "Y");

  std::string large = Pattern(24 << 20);
  EXPECT_EQ(SendInBlocks(*c, "large.bin", large), "Y");
  EXPECT_EQ(c->Call("0038", FileFields("Files", "large.bin")), "01800000");
  EXPECT_TRUE(ReadFile(area + "/large.bin") == large);

  EXPECT_EQ(SendInBlocks(*c, "large.bin", "short now"), "Y");
  EXPECT_EQ(ReadFile(area + "/large.bin"), "short now");
  EXPECT_EQ(AreaNames(), (std::vector<std::string>{"empty.mdb", "large.bin"}));
}

TEST_F(FileCommandsTest, NamesThatAreNotPlainAreRefusedByEveryCommand) {
  Start();
  auto c = LoggedIn();
  std::ofstream(dir.File("x")) << "outside";
  fs::create_directory(area + "/a");
  std::ofstream(area + "/a/b") << "inside a folder";
  struct Case {
    std::string name;
    const char* why;
  } cases[] = {
      {"../x", "file name with a path separator"},
      {"a/b", "file name with a path separator"},
      {"a\\b", "file name with a path separator"},
      {"/etc/passwd", "file name with a path separator"},
      {"..", "not a file name: .."},
      {".", "not a file name: ."},
      {"", "empty file name"},
      {std::string(255, ' '), "empty file name"},
      {std::string("x\0", 2), "file name with a control character"},
      {std::string("a\0/../x", 7), "file name with a control character"},
      {"tab\there", "file name with a control character"},
      {".marvekd-0123.part", "file name reserved for partial uploads"},
  };
  for (const auto& k : cases) {
    for (const char* code : {"0054", "0055", "0038"}) {
      EXPECT_EQ(c->Call(code, FileFields("Files", k.name)), "") << code << " " << k.why;
      EXPECT_TRUE(captured.WaitFor(std::string(" refused: ") + k.why, 1s)) << k.why;
    }
    EXPECT_EQ(SendInBlocks(*c, k.name, "payload"), "") << k.why;
  }
  EXPECT_EQ(ReadFile(dir.File("x")), "outside");
  EXPECT_EQ(ReadFile(area + "/a/b"), "inside a folder");
  EXPECT_EQ(AreaNames(), (std::vector<std::string>{"a"}));
  // A folder is not a file: not reported, not deleted, not replaced by an upload.
  EXPECT_EQ(c->Call("0054", FileFields("Files", "a")), "N");
  EXPECT_EQ(c->Call("0055", FileFields("Files", "a")), "N");
  EXPECT_EQ(SendInBlocks(*c, "a", "data"), "");
  EXPECT_EQ(AreaNames(), (std::vector<std::string>{"a"}));
  // The connection is in step throughout.
  EXPECT_EQ(SendInBlocks(*c, "fine.txt", "data"), "Y");
}

TEST_F(FileCommandsTest, LinksInTheAreaAreNeverFollowed) {
  Start();
  auto c = LoggedIn();
  std::ofstream(dir.File("secret")) << "keep me";
  fs::create_symlink(dir.File("secret"), area + "/link");
  EXPECT_EQ(c->Call("0054", FileFields("Files", "link")), "N");
  EXPECT_EQ(c->Call("0038", FileFields("Files", "link")), "");
  EXPECT_EQ(c->Call("0055", FileFields("Files", "link")), "N");
  EXPECT_EQ(SendInBlocks(*c, "link", "replaced"), "Y");  // the name is replaced, not the target
  EXPECT_EQ(ReadFile(dir.File("secret")), "keep me");
  EXPECT_FALSE(fs::is_symlink(area + "/link"));
  EXPECT_EQ(ReadFile(area + "/link"), "replaced");
}

TEST_F(FileCommandsTest, UnknownAreasAndMisshapenRequestsAreRefused) {
  auto config = Config();
  config.file_areas.Set("Gone", dir.File("no-such-folder"));
  Start(config);
  auto c = LoggedIn();
  EXPECT_EQ(c->Call("0054", FileFields("Other", "x")), "");
  EXPECT_TRUE(captured.Has("#1 0054 FileExists refused: unknown file area \"Other\""));
  EXPECT_EQ(c->Call("0054", FileFields("", "x")), "");
  EXPECT_TRUE(captured.Has("#1 0054 FileExists refused: unknown file area \"\""));
  EXPECT_EQ(c->Call("0054", FileFields("Files\nforged log line", "x")), "");  // client text never goes raw
  EXPECT_TRUE(captured.Has("#1 0054 FileExists refused: unknown file area \"Files\\x0Aforged log line\""));
  EXPECT_EQ(SendInBlocks(*c, "x", "data"), "Y");
  EXPECT_EQ(c->Call("0054", FileFields("Gone", "x")), "");
  EXPECT_TRUE(captured.Has("#1 0054 FileExists failed: cannot open folder " + dir.File("no-such-folder") +
                           ": No such file or directory"));
  EXPECT_EQ(c->Call("0054", FileFields("Files", "x").substr(0, 509)), "");
  EXPECT_TRUE(captured.Has("#1 0054 FileExists refused: request of 509 bytes, not 510"));
  EXPECT_EQ(c->Call("0038", FileFields("Files", "x") + " "), "");
  EXPECT_TRUE(captured.Has("#1 0038 FileLength refused: request of 511 bytes, not 510"));
  EXPECT_EQ(c->Call("0037", std::string(100, ' ')), "");
  EXPECT_TRUE(captured.Has("#1 0037 FileSend refused: request shorter than its fields"));
  EXPECT_EQ(c->Call("0038", FileFields("Files", "x")), "00000004");
}

TEST_F(FileCommandsTest, LengthsAbove31BitsAreRefusedNotWrapped) {
  Start();
  auto c = LoggedIn();
  std::ofstream(area + "/huge.bin").close();
  fs::resize_file(area + "/huge.bin", 0x80000000ull);  // sparse: no disk space needed
  EXPECT_EQ(c->Call("0054", FileFields("Files", "huge.bin")), "Y");
  EXPECT_EQ(c->Call("0038", FileFields("Files", "huge.bin")), "");
  EXPECT_TRUE(captured.Has("#1 0038 FileLength refused: length 2147483648 does not fit the reply"));
  fs::resize_file(area + "/huge.bin", 0x7FFFFFFFull);
  EXPECT_EQ(c->Call("0038", FileFields("Files", "huge.bin")), "7FFFFFFF");
}

// The disk fills up after `room` bytes; or the flush fails.
class TFullDisk : public server::TUploadIo {
 public:
  explicit TFullDisk(size_t room, bool flush_fails = false) : room_(room), flush_fails_(flush_fails) {}
  ssize_t Write(int fd, const void* data, size_t size) override {
    if (room_ == 0) {
      errno = ENOSPC;
      return -1;
    }
    size_t n = std::min(size, room_);
    room_ -= n;
    return TUploadIo::Write(fd, data, n);
  }
  int Fsync(int fd) override {
    if (!flush_fails_) return TUploadIo::Fsync(fd);
    errno = EIO;
    return -1;
  }

 private:
  size_t room_;
  bool flush_fails_;
};

TEST_F(FileCommandsTest, AFailedWriteAnswersAFailureAndLeavesNothing) {
  Start();
  auto c = LoggedIn();
  EXPECT_EQ(SendInBlocks(*c, "data.mdb", "old contents"), "Y");

  server_->Context().upload_io = std::make_shared<TFullDisk>(100000);
  EXPECT_EQ(SendInBlocks(*c, "data.mdb", Pattern(1 << 20)), "");
  EXPECT_TRUE(captured.Has("#1 0037 FileSend failed: cannot write data.mdb: No space left on device"));
  EXPECT_EQ(ReadFile(area + "/data.mdb"), "old contents");  // the old file stays as it was
  EXPECT_EQ(AreaNames(), (std::vector<std::string>{"data.mdb"}));  // no partial file

  server_->Context().upload_io = std::make_shared<TFullDisk>(SIZE_MAX, true);
  EXPECT_EQ(SendInBlocks(*c, "new.mdb", "x"), "");
  EXPECT_TRUE(captured.Has("#1 0037 FileSend failed: cannot flush new.mdb: Input/output error"));
  EXPECT_EQ(AreaNames(), (std::vector<std::string>{"data.mdb"}));

  // The rest of the failed upload was read and dropped: the next request is answered as its own.
  server_->Context().upload_io = std::make_shared<server::TUploadIo>();
  EXPECT_EQ(c->Call("0038", FileFields("Files", "data.mdb")), "0000000C");
}

}  // namespace
}  // namespace tavrik::testing
