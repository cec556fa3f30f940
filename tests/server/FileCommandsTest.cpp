#include <fcntl.h>
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

// The disk fills up after `room` bytes, or its write-back or its flush fails.
class TFailingDisk : public server::TUploadIo {
 public:
  enum TFailure { kNone, kWriteBack, kFlush };
  explicit TFailingDisk(size_t room, TFailure failure = kNone) : room_(room), failure_(failure) {}
  ssize_t Write(int fd, const void* data, size_t size) override {
    if (room_ == 0) {
      errno = ENOSPC;
      return -1;
    }
    size_t n = std::min(size, room_);
    room_ -= n;
    return TUploadIo::Write(fd, data, n);
  }
  int SyncRange(int fd, off_t offset, off_t length, unsigned flags) override {
    return failure_ == kWriteBack ? Fail() : TUploadIo::SyncRange(fd, offset, length, flags);
  }
  int Fsync(int fd) override { return failure_ == kFlush ? Fail() : TUploadIo::Fsync(fd); }

 private:
  static int Fail() {
    errno = EIO;
    return -1;
  }
  size_t room_;
  TFailure failure_;
};

TEST_F(FileCommandsTest, AFailedWriteAnswersAFailureAndLeavesNothing) {
  Start();
  auto c = LoggedIn();
  EXPECT_EQ(SendInBlocks(*c, "data.mdb", "old contents"), "Y");
  struct Case {
    const char* name;
    std::shared_ptr<server::TUploadIo> io;
    size_t size;
    const char* why;
  } cases[] = {
      {"full disk", std::make_shared<TFailingDisk>(100000), 1 << 20, "cannot write data.mdb: No space left on device"},
      // Reported by the write-back only: the fsync that follows would not see it.
      {"failed write-back", std::make_shared<TFailingDisk>(SIZE_MAX, TFailingDisk::kWriteBack),
       server::kWriteBackChunk + 1, "cannot write data.mdb: Input/output error"},
      {"failed flush", std::make_shared<TFailingDisk>(SIZE_MAX, TFailingDisk::kFlush), 1,
       "cannot flush data.mdb: Input/output error"},
  };
  for (const auto& k : cases) {
    server_->Context().upload_io = k.io;
    EXPECT_EQ(SendInBlocks(*c, "data.mdb", Pattern(k.size)), "") << k.name;
    EXPECT_TRUE(captured.Has(std::string("#1 0037 FileSend failed: ") + k.why)) << k.name;
    EXPECT_TRUE(ReadFile(area + "/data.mdb") == "old contents") << k.name;  // the old file stays as it was
    EXPECT_EQ(AreaNames(), (std::vector<std::string>{"data.mdb"})) << k.name;  // no partial file
  }

  // The rest of the failed upload was read and dropped: the next request is answered as its own.
  server_->Context().upload_io = std::make_shared<server::TUploadIo>();
  EXPECT_EQ(c->Call("0038", FileFields("Files", "data.mdb")), "0000000C");
}

// Keeps the order of an upload's writes, write-backs and flush.
class TRecordingDisk : public server::TUploadIo {
 public:
  struct TWriteBack {
    uint64_t begin, end;
    bool waits;
    uint64_t written;  // by then
  };
  ssize_t Write(int fd, const void* data, size_t size) override {
    ssize_t n = TUploadIo::Write(fd, data, size);
    if (n > 0) written += static_cast<uint64_t>(n);
    return n;
  }
  int SyncRange(int fd, off_t offset, off_t length, unsigned flags) override {
    const auto begin = static_cast<uint64_t>(offset);
    write_backs.push_back({begin, begin + static_cast<uint64_t>(length), (flags & SYNC_FILE_RANGE_WAIT_AFTER) != 0,
                           written});
    return TUploadIo::SyncRange(fd, offset, length, flags);
  }
  int Fsync(int fd) override {
    fsynced_at = written;
    return TUploadIo::Fsync(fd);
  }
  std::vector<TWriteBack> write_backs;
  uint64_t written = 0, fsynced_at = 0;
};

TEST_F(FileCommandsTest, ALargeUploadGoesToTheDiskWhileItArrives) {
  Start();
  auto c = LoggedIn();
  auto disk = std::make_shared<TRecordingDisk>();
  server_->Context().upload_io = disk;
  const uint64_t chunk = server::kWriteBackChunk;
  const std::string data = Pattern(3 * chunk + 12345);
  EXPECT_EQ(SendInBlocks(*c, "large.bin", data), "Y");
  EXPECT_TRUE(ReadFile(area + "/large.bin") == data);

  // Started in order without gaps, each range waited for once the next one is under way, and
  // never much more than two chunks left to the page cache.
  uint64_t started = 0, settled = 0;
  for (const auto& w : disk->write_backs) {
    if (w.waits) {
      EXPECT_EQ(w.begin, settled);
      EXPECT_LT(w.end, started);  // the next range went first
      settled = w.end;
      EXPECT_LT(w.written - settled, 3 * chunk);
    } else {
      EXPECT_EQ(w.begin, started);
      EXPECT_GE(w.end - w.begin, chunk);
      started = w.end;
    }
  }
  EXPECT_EQ(started, 3 * chunk);
  EXPECT_EQ(settled, 2 * chunk);
  EXPECT_EQ(disk->fsynced_at, data.size());  // the flush comes last, over everything
}

}  // namespace
}  // namespace tavrik::testing
