// Opening a file for reading without sharing: refused while anyone else has it open, in this
// process or another, under any of its names; granted again once they let go.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/ExclusiveFile.h"
#include "tests/support/TempDir.h"

namespace tavrik::platform {
namespace {

// Another process holding `path` open with `flags` until it is destroyed (or 20 s have passed).
class THolder {
 public:
  THolder(const std::string& path, int flags) {
    int ready[2];
    if (::pipe2(release_, O_CLOEXEC) != 0 || ::pipe2(ready, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(release_[1]);  // the parent's end: its closing is the signal to go
      const int fd = ::open(path.c_str(), flags);
      (void)!::write(ready[1], fd == -1 ? "n" : "y", 1);
      pollfd p{release_[0], POLLIN, 0};
      ::poll(&p, 1, 20000);
      ::_exit(0);
    }
    ::close(ready[1]);
    char answer = 0;
    pollfd p{ready[0], POLLIN, 0};
    if (::poll(&p, 1, 10000) == 1 && ::read(ready[0], &answer, 1) == 1) holding_ = answer == 'y';
    ::close(ready[0]);
  }
  ~THolder() {
    ::close(release_[1]);
    ::close(release_[0]);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
  }
  bool Holding() const { return holding_; }

 private:
  int release_[2] = {-1, -1};
  pid_t pid_ = -1;
  bool holding_ = false;
};

class ExclusiveFileTest : public ::testing::Test {
 protected:
  ExclusiveFileTest() { std::ofstream(file) << "contents"; }

  // The error of an exclusive open of `path` (0 when it was granted, the descriptor closed again).
  static int ErrorOf(const std::string& path) {
    TExclusiveOpen f = OpenReadExclusive(path);
    if (f.fd != -1) ::close(f.fd);
    return f.fd == -1 ? f.error : 0;
  }

  testing::TempDir dir;
  std::string file = dir.File("source.mdb");
};

TEST_F(ExclusiveFileTest, AFileNobodyHoldsOpensForReading) {
  TExclusiveOpen f = OpenReadExclusive(file);
  ASSERT_NE(f.fd, -1) << f.error;
  char buffer[16] = {};
  EXPECT_EQ(::read(f.fd, buffer, sizeof buffer), 8);
  EXPECT_EQ(std::string(buffer), "contents");
  EXPECT_EQ(::write(f.fd, "x", 1), -1);  // read only
  EXPECT_NE(::fcntl(f.fd, F_GETFD) & FD_CLOEXEC, 0);
  ::close(f.fd);
  EXPECT_EQ(ErrorOf(file), 0);  // nothing stays behind
}

TEST_F(ExclusiveFileTest, WhatIsNoFileIsRefusedByItsKind) {
  std::filesystem::create_directory(dir.File("folder"));
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  const std::pair<std::string, int> cases[] = {
      {dir.File("missing.mdb"), ENOENT},
      {dir.File("folder"), EISDIR},
      {dir.File("fifo"), EINVAL},  // without a writer; must not hang either
  };
  for (const auto& [path, error] : cases) EXPECT_EQ(ErrorOf(path), error) << path;
}

TEST_F(ExclusiveFileTest, AnotherProcessHoldingItOpenMakesItBusy) {
  const std::pair<const char*, int> cases[] = {{"reading", O_RDONLY}, {"writing", O_WRONLY}, {"both", O_RDWR}};
  for (auto [name, flags] : cases) {
    SCOPED_TRACE(name);
    {
      THolder holder(file, flags);
      ASSERT_TRUE(holder.Holding());
      EXPECT_EQ(ErrorOf(file), EBUSY);
    }
    EXPECT_EQ(ErrorOf(file), 0);
  }
}

TEST_F(ExclusiveFileTest, AnOpenOfThisProcessOrUnderAnotherNameCountsToo) {
  {
    std::ifstream reader(file);
    EXPECT_EQ(ErrorOf(file), EBUSY);
  }
  std::filesystem::create_hard_link(file, dir.File("other name.mdb"));
  {
    THolder holder(dir.File("other name.mdb"), O_RDONLY);
    ASSERT_TRUE(holder.Holding());
    EXPECT_EQ(ErrorOf(file), EBUSY);
  }
  EXPECT_EQ(ErrorOf(file), 0);
}

TEST_F(ExclusiveFileTest, AnExclusiveHoldKeepsOthersOut) {
  TExclusiveOpen held = OpenReadExclusive(file);
  ASSERT_NE(held.fd, -1);
  EXPECT_EQ(ErrorOf(file), EBUSY);
  // A writer that locks before it writes cannot start.
  const int writer = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_NE(writer, -1);
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  EXPECT_EQ(::fcntl(writer, F_OFD_SETLK, &lock), -1);
  EXPECT_TRUE(errno == EAGAIN || errno == EACCES);
  ::close(writer);
  ::close(held.fd);
  EXPECT_EQ(ErrorOf(file), 0);
}

}  // namespace
}  // namespace tavrik::platform
