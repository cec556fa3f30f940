#include "bench/LoopbackCopy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>

#include "core/StrUtils.h"
#include "proto/MvFrame.h"
#include "server/FileArea.h"

namespace tavrik::bench {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

bool SendAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t k = ::send(fd, p, n, MSG_NOSIGNAL);
    if (k <= 0) return false;
    p += k;
    n -= static_cast<size_t>(k);
  }
  return true;
}

bool ReceiveAll(int fd, char* p, size_t n) {
  while (n > 0) {
    ssize_t k = ::recv(fd, p, n, 0);
    if (k <= 0) return false;
    p += k;
    n -= static_cast<size_t>(k);
  }
  return true;
}

void NoDelay(int fd) {
  int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace

void WriteSourceFile(const std::string& path, uint64_t mib) {
  {
    std::ofstream out(path, std::ios::binary);
    std::string block(1 << 20, '\0');
    for (uint64_t i = 0; i < mib; ++i) {
      for (size_t j = 0; j < block.size(); ++j) block[j] = static_cast<char>(j * 131 + i);
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
  }
  // On disk before the runs begin: its write-back must not slow whichever run comes first.
  const int fd = ::open(path.c_str(), O_RDONLY);
  ::fsync(fd);
  ::close(fd);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

long VmHwmKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

TRawReceiver::TRawReceiver(std::string target, TStorage storage) : target_(std::move(target)), storage_(storage) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::listen(listener, 4);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  pid_ = ::fork();
  if (pid_ == 0) Serve(listener);
  ::close(listener);
}

TRawReceiver::~TRawReceiver() {
  // The connections' processes end when their clients hang up.
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
}

void TRawReceiver::Serve(int listener) {
  ::signal(SIGCHLD, SIG_IGN);  // the connections' processes reap themselves
  for (;;) {
    const int c = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (c < 0) continue;
    if (::fork() == 0) {
      ::close(listener);
      ServeConnection(c);
      ::_exit(0);
    }
    ::close(c);
  }
}

void TRawReceiver::ServeConnection(int c) {
  NoDelay(c);
  std::string buffer(256 * 1024, '\0');
  std::string header(kFrameHeaderSize, '\0');
  const std::filesystem::path target(target_);
  server::TUploadIo io;
  while (ReceiveAll(c, header.data(), header.size())) {
    const auto request = ParseRequestHeader(header);
    if (!request) return;
    uint64_t left = request->payload_length;
    try {
      std::optional<server::TFileArea> area;
      std::unique_ptr<server::TUpload> upload;
      int out = -1;
      if (storage_ == TStorage::kAsServer) {
        area.emplace(target.parent_path());
        upload = area->BeginUpload(target.filename().string(), io);
      } else {
        out = ::open(target_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      }
      // Stored as the server stores, the payload also goes to the disk in whole blocks.
      const int whole = upload ? MSG_WAITALL : 0;
      while (left > 0) {
        const ssize_t n = ::recv(c, buffer.data(), std::min<uint64_t>(buffer.size(), left), whole);
        if (n <= 0) break;
        if (upload)
          upload->Write(buffer.data(), static_cast<size_t>(n));
        else
          (void)!::write(out, buffer.data(), static_cast<size_t>(n));
        left -= static_cast<uint64_t>(n);
      }
      if (upload && left == 0) upload->Commit();
      if (out >= 0) {
        ::fsync(out);
        ::close(out);
      }
    } catch (const server::EFileArea& e) {
      std::fprintf(stderr, "raw receiver: %s\n", e.what());
      return;
    }
    const std::string reply = BuildReplyHeader(1, kReplyCode) + "Y";
    if (left > 0 || !SendAll(c, reply.data(), reply.size())) return;
  }
}

bool SendUpload(int fd, const std::string& source) {
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  const off_t size = ::lseek(in, 0, SEEK_END);
  ::lseek(in, 0, SEEK_SET);
  const std::string head = BuildRequestHeader(static_cast<uint32_t>(size + 510), "0037") + PadRight("Files", 255) +
                           PadRight("bench.bin", 255);
  bool ok = SendAll(fd, head.data(), head.size());
  char block[8192];
  ssize_t n;
  while (ok && (n = ::read(in, block, sizeof block)) > 0) ok = SendAll(fd, block, static_cast<size_t>(n));
  ::close(in);
  return ok;
}

double RawCopySeconds(const TRawReceiver& receiver, const std::string& source) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  NoDelay(s);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(receiver.Port());
  const auto start = Clock::now();
  char reply[21];
  const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && SendUpload(s, source) &&
                  ReceiveAll(s, reply, sizeof reply);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(s);
  return ok ? seconds : -1;
}

TUploadBench::TUploadBench(uint64_t mib) : source_(dir_.File("source.bin")), area_(dir_.File("files")) {
  std::filesystem::create_directory(area_);
  WriteSourceFile(source_, mib);
  const std::string ini = dir_.File("marvekd.ini");
  std::ofstream(ini) << "[ACCOUNTS]\nPORTAL=qz7rmw\n[FILES]\nFiles=" << area_ << "\n";
  server_ = std::make_unique<testing::TChildProcess>(
      std::vector<std::string>{MARVEKD_PATH, "--config", ini, "--port", "0"});
  auto line = server_->ReadLine(10s);
  std::smatch m;
  if (line && std::regex_search(*line, m, std::regex(":([0-9]+)$"))) port_ = static_cast<uint16_t>(std::stoi(m[1]));
}

TUploadBench::~TUploadBench() {
  server_->Signal(SIGTERM);
  server_->WaitExit(30s);
}

bool TUploadBench::Started() const {
  if (port_ == 0) std::fprintf(stderr, "marvekd did not start\n");
  return port_ != 0;
}

}  // namespace tavrik::bench
