// Upload throughput of marvekd's FileSend "0037" against a raw loopback copy of the same file
// (socket to file, fsync, one byte back) in the same run, and marvekd's peak memory (VmHWM)
// while it stores the file. Prints key=value lines; bench/server_upload.sh turns them into ratios.
//   server_upload_bench [size in MiB, default 1024] [runs of each, default 3]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <vector>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>

#include "core/StrUtils.h"
#include "proto/MvFrame.h"
#include "proto/MvScramble.h"
#include "tests/server/ChildProcess.h"
#include "tests/server/TestClient.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using tavrik::testing::TChildProcess;
using tavrik::testing::TTestClient;
using Clock = std::chrono::steady_clock;

// The sender of both runs: the header, then the file in 8,192-byte pieces as the client sends.
bool SendFile(int fd, const std::string& head, const std::string& path) {
  auto send_all = [fd](const char* p, size_t n) {
    while (n > 0) {
      ssize_t k = ::send(fd, p, n, MSG_NOSIGNAL);
      if (k <= 0) return false;
      p += k;
      n -= static_cast<size_t>(k);
    }
    return true;
  };
  if (!send_all(head.data(), head.size())) return false;
  int in = ::open(path.c_str(), O_RDONLY);
  char block[8192];
  ssize_t n;
  bool ok = in >= 0;
  while (ok && (n = ::read(in, block, sizeof block)) > 0) ok = send_all(block, static_cast<size_t>(n));
  if (in >= 0) ::close(in);
  return ok;
}

// A receiver that does what the server's storage does, and nothing else.
double RawCopySeconds(const std::string& source, const std::string& target) {
  int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::listen(listener, 1);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  std::thread receiver([&] {
    int c = ::accept(listener, nullptr, nullptr);
    int on = 1;
    ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string buffer(256 * 1024, '\0');
    ssize_t n;
    while ((n = ::recv(c, buffer.data(), buffer.size(), 0)) > 0) (void)!::write(out, buffer.data(), static_cast<size_t>(n));
    ::fsync(out);
    ::close(out);
    (void)!::send(c, "Y", 1, MSG_NOSIGNAL);
    ::close(c);
  });
  int s = ::socket(AF_INET, SOCK_STREAM, 0);
  int on = 1;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  auto start = Clock::now();
  ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  SendFile(s, "", source);
  ::shutdown(s, SHUT_WR);
  char ack;
  (void)!::recv(s, &ack, 1, 0);
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  receiver.join();
  ::close(s);
  ::close(listener);
  return seconds;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

long VmHwmKb(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t mib = argc > 1 ? std::stoull(argv[1]) : 1024;
  int runs = argc > 2 ? std::stoi(argv[2]) : 3;
  uint64_t size = mib << 20;
  tavrik::testing::TempDir dir;
  std::string source = dir.File("source.bin"), area = dir.File("files");
  std::filesystem::create_directory(area);
  {
    std::ofstream out(source, std::ios::binary);
    std::string block(1 << 20, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131);
    for (uint64_t i = 0; i < mib; ++i) out.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  std::ofstream(dir.File("marvekd.ini")) << "[ACCOUNTS]\nPORTAL=qz7rmw\n[FILES]\nFiles=" << area << "\n";

  TChildProcess server({MARVEKD_PATH, "--config", dir.File("marvekd.ini"), "--port", "0"});
  auto line = server.ReadLine(10s);
  std::smatch m;
  if (!line || !std::regex_search(*line, m, std::regex(":([0-9]+)$"))) {
    std::fprintf(stderr, "marvekd did not start\n");
    return 1;
  }
  TTestClient client(static_cast<uint16_t>(std::stoi(m[1])));
  if (!client.Login("PORTAL", "qz7rmw")) return 1;
  long hwm_before = VmHwmKb(server.Pid());

  // The two kinds of run take turns, and the medians count: the machine is shared, and the
  // disk's write-back of one run spills into the next.
  std::vector<double> raw, upload;
  std::string head = tavrik::BuildRequestHeader(static_cast<uint32_t>(size + 510), "0037") +
                     tavrik::PadRight("Files", 255) + tavrik::PadRight("bench.bin", 255);
  for (int run = 0; run < runs; ++run) {
    raw.push_back(RawCopySeconds(source, dir.File("raw-copy.bin")));
    std::filesystem::remove(dir.File("raw-copy.bin"));
    auto start = Clock::now();
    if (!SendFile(client.Fd(), head, source)) return 1;
    auto reply = client.ReadFrame(600s);
    upload.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (!reply || reply->payload != "Y") {
      std::fprintf(stderr, "upload failed\n");
      return 1;
    }
    std::filesystem::remove(area + "/bench.bin");
  }
  long hwm_after = VmHwmKb(server.Pid());
  server.Signal(SIGTERM);
  server.WaitExit(30s);
  double raw_s = Median(raw), upload_s = Median(upload);

  std::printf("file_mib=%llu\n", static_cast<unsigned long long>(mib));
  std::printf("runs=%d\n", runs);
  std::printf("raw_copy_seconds=%.3f\n", raw_s);
  std::printf("upload_seconds=%.3f\n", upload_s);
  std::printf("raw_copy_mib_s=%.1f\n", static_cast<double>(mib) / raw_s);
  std::printf("upload_mib_s=%.1f\n", static_cast<double>(mib) / upload_s);
  std::printf("server_vmhwm_kb_before=%ld\n", hwm_before);
  std::printf("server_vmhwm_kb_after=%ld\n", hwm_after);
  return 0;
}
