// Upload throughput of marvekd's FileSend "0037" against a raw loopback copy of the same request
// (socket to file, fsync, a one-byte reply: bench/LoopbackCopy.h) in the same run, and marvekd's
// peak memory (VmHWM) while it stores the file. The raw copy runs twice: storing plainly (the
// reference) and storing as marvekd does, which leaves the rest of the server's work (framing,
// sessions, time limits) as the difference. Prints key=value lines; bench/server_upload.sh turns
// them into ratios.
//   server_upload_bench [size in MiB, default 1024] [runs of each, default 3]
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/LoopbackCopy.h"
#include "tests/server/TestClient.h"

using namespace std::chrono_literals;
using namespace tavrik::bench;
using tavrik::testing::TTestClient;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  uint64_t mib = argc > 1 ? std::stoull(argv[1]) : 1024;
  int runs = argc > 2 ? std::stoi(argv[2]) : 3;
  TUploadBench bench(mib);
  if (!bench.Started()) return 1;
  TTestClient client(bench.Port());
  if (!client.Login("PORTAL", "qz7rmw")) return 1;
  long hwm_before = VmHwmKb(bench.Pid());

  // The two kinds of run take turns, and the medians count: the machine is shared, and the
  // disk's write-back of one run spills into the next.
  TRawReceiver receiver(bench.RawTarget());
  TRawReceiver storing_as_server(bench.RawTarget(), TRawReceiver::TStorage::kAsServer);
  std::vector<double> raw, raw_as_server, upload;
  for (int run = 0; run < runs; ++run) {
    raw.push_back(RawCopySeconds(receiver, bench.Source()));
    std::filesystem::remove(bench.RawTarget());
    raw_as_server.push_back(RawCopySeconds(storing_as_server, bench.Source()));
    std::filesystem::remove(bench.RawTarget());
    auto start = Clock::now();
    if (!SendUpload(client.Fd(), bench.Source())) return 1;
    auto reply = client.ReadFrame(600s);
    upload.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (raw.back() < 0 || raw_as_server.back() < 0 || !reply || reply->payload != "Y") {
      std::fprintf(stderr, "upload failed\n");
      return 1;
    }
    std::filesystem::remove(bench.Area() + "/bench.bin");
  }
  long hwm_after = VmHwmKb(bench.Pid());
  double raw_s = Median(raw), raw_as_server_s = Median(raw_as_server), upload_s = Median(upload);

  std::printf("file_mib=%llu\n", static_cast<unsigned long long>(mib));
  std::printf("runs=%d\n", runs);
  std::printf("raw_copy_seconds=%.3f\n", raw_s);
  std::printf("raw_copy_stored_as_server_seconds=%.3f\n", raw_as_server_s);
  std::printf("upload_seconds=%.3f\n", upload_s);
  std::printf("raw_copy_mib_s=%.1f\n", static_cast<double>(mib) / raw_s);
  std::printf("raw_copy_stored_as_server_mib_s=%.1f\n", static_cast<double>(mib) / raw_as_server_s);
  std::printf("upload_mib_s=%.1f\n", static_cast<double>(mib) / upload_s);
  std::printf("server_vmhwm_kb_before=%ld\n", hwm_before);
  std::printf("server_vmhwm_kb_after=%ld\n", hwm_after);
  return 0;
}
