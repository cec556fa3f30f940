// Upload throughput of TMarvekConnection::FileSend against a raw loopback copy of the same request
// in the same run (bench/LoopbackCopy.h), and the peak memory (VmHWM) of this process, the client,
// which must not grow with the file. Three kinds of run take turns: the raw sender to the raw
// receiver (the reference), FileSend to the raw receiver (the client's own cost) and FileSend to
// marvekd (the whole upload). Prints key=value lines; bench/client_upload.sh makes the ratios.
//   client_upload_bench [size in MiB, default 1024] [runs of each, default 3]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/LoopbackCopy.h"
#include "net/MvConn.h"

using namespace tavrik::bench;
using Clock = std::chrono::steady_clock;

namespace {

// A connection with a progress handler, as the program has one; logged in when `user` is given.
class TClient {
 public:
  TClient(uint16_t port, const std::string& user, const std::string& password) {
    connection_.SetPort(port);
    connection_.SetUser(user);
    connection_.SetPassword(password);
    connection_.SetTimeOut(600000);
    connection_.OnWriteProgress = [this](tavrik::TComponent*, int64_t, int64_t, int64_t) { ++events_; };
    connection_.SetActive(true);
  }
  // Seconds of one FileSend of `source`; -1 when it did not send the whole file.
  double Upload(const std::string& source, int64_t size) {
    const auto start = Clock::now();
    const int32_t sent = connection_.FileSend("Files", source, "bench.bin");
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return sent == size ? seconds : -1;
  }
  tavrik::TMarvekConnection& Connection() { return connection_; }
  int64_t Events() const { return events_; }

 private:
  tavrik::TMarvekConnection connection_;
  int64_t events_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const uint64_t mib = argc > 1 ? std::stoull(argv[1]) : 1024;
  const int runs = argc > 2 ? std::stoi(argv[2]) : 3;
  const int64_t size = static_cast<int64_t>(mib << 20);
  TUploadBench bench(mib);
  if (!bench.Started()) return 1;
  const std::string& source = bench.Source();
  TRawReceiver receiver(bench.RawTarget());
  TClient to_server(bench.Port(), "PORTAL", "qz7rmw");
  TClient to_receiver(receiver.Port(), "", "");  // no login: the raw receiver takes frames only
  const long hwm_before = VmHwmKb(::getpid());

  // The kinds of run take turns, and the medians count: the machine is shared, and the disk's
  // write-back of one run spills into the next.
  std::vector<double> raw, client, upload;
  for (int run = 0; run < runs; ++run) {
    raw.push_back(RawCopySeconds(receiver, source));
    std::filesystem::remove(bench.RawTarget());
    client.push_back(to_receiver.Upload(source, size));
    std::filesystem::remove(bench.RawTarget());
    upload.push_back(to_server.Upload(source, size));
    if (raw.back() < 0 || client.back() < 0 || upload.back() < 0 ||
        to_server.Connection().FileLength("Files", "bench.bin") != size) {
      std::fprintf(stderr, "upload failed\n");
      return 1;
    }
    to_server.Connection().DeleteFile("Files", "bench.bin");
  }
  const long hwm_after = VmHwmKb(::getpid());
  const double raw_s = Median(raw), client_s = Median(client), upload_s = Median(upload);

  std::printf("file_mib=%llu\n", static_cast<unsigned long long>(mib));
  std::printf("runs=%d\n", runs);
  std::printf("progress_events_per_upload=%lld\n", static_cast<long long>(to_server.Events() / runs));
  std::printf("raw_copy_seconds=%.3f\n", raw_s);
  std::printf("client_to_raw_receiver_seconds=%.3f\n", client_s);
  std::printf("upload_seconds=%.3f\n", upload_s);
  std::printf("raw_copy_mib_s=%.1f\n", static_cast<double>(mib) / raw_s);
  std::printf("client_to_raw_receiver_mib_s=%.1f\n", static_cast<double>(mib) / client_s);
  std::printf("upload_mib_s=%.1f\n", static_cast<double>(mib) / upload_s);
  std::printf("client_vmhwm_kb_before=%ld\n", hwm_before);
  std::printf("client_vmhwm_kb_after=%ld\n", hwm_after);
  return 0;
}
