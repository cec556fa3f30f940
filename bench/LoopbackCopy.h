// What the upload benchmarks share: the source file, marvekd serving a file area, and the
// reference they are measured against, a raw receiver on a loopback socket that does only what a
// server's storage of an upload must do: it takes each request frame, writes its payload into a
// file, flushes the file to disk and answers with a one-byte reply frame. It stores plainly (what
// each receive brought into the page cache, one fsync at the end: the reference) or as marvekd
// stores (whole blocks of 256 KiB through server/FileArea.h: the write-back behind the writes,
// fsync, rename), which tells the server's storage apart from the rest of its work.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/server/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace tavrik::bench {

// A file of `mib` MiB whose bytes differ from block to block, flushed to disk.
void WriteSourceFile(const std::string& path, uint64_t mib);
double Median(std::vector<double> values);
// The peak resident memory (VmHWM) of process `pid` in KiB, -1 when it cannot be read.
long VmHwmKb(pid_t pid);

// The raw receiver, on an ephemeral port of 127.0.0.1: a process of its own, as a server is, that
// serves each connection in a process of its own and writes every payload into `target`,
// replacing what was there.
class TRawReceiver {
 public:
  enum class TStorage { kPlain, kAsServer };
  explicit TRawReceiver(std::string target, TStorage storage = TStorage::kPlain);
  ~TRawReceiver();
  TRawReceiver(const TRawReceiver&) = delete;
  TRawReceiver& operator=(const TRawReceiver&) = delete;
  uint16_t Port() const { return port_; }

 private:
  [[noreturn]] void Serve(int listener);
  void ServeConnection(int fd);
  std::string target_;
  TStorage storage_;
  uint16_t port_ = 0;
  pid_t pid_ = -1;
};

// The raw sender: `source` on `fd` as an upload's request to store it as "bench.bin" in "Files"
// (header, the two name fields, then the file in 8,192-byte pieces, as the client sends it).
bool SendUpload(int fd, const std::string& source);
// Seconds for the raw sender to upload `source` to `receiver` and get its reply; -1 on failure.
double RawCopySeconds(const TRawReceiver& receiver, const std::string& source);

// The scene of an upload benchmark: a temporary folder holding the source file (WriteSourceFile)
// and the file area "Files", which marvekd serves on an ephemeral port of 127.0.0.1 to the
// account PORTAL / qz7rmw. Everything goes with the object.
class TUploadBench {
 public:
  explicit TUploadBench(uint64_t mib);
  ~TUploadBench();
  // False, with a message on standard error, when marvekd did not start.
  bool Started() const;
  const std::string& Source() const { return source_; }
  const std::string& Area() const { return area_; }
  // Where the raw receiver may write.
  std::string RawTarget() const { return dir_.File("raw-copy.bin"); }
  uint16_t Port() const { return port_; }
  pid_t Pid() const { return server_->Pid(); }

 private:
  testing::TempDir dir_;
  std::string source_, area_;
  std::unique_ptr<testing::TChildProcess> server_;
  uint16_t port_ = 0;
};

}  // namespace tavrik::bench
