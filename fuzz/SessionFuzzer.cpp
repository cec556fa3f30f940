#include "fuzz/SessionFuzzer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/StrUtils.h"
#include "net/MvFrame.h"
#include "net/MvScramble.h"
#include "server/Server.h"

namespace tavrik::server {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Broken(const std::string& rule) {
  std::fprintf(stderr, "marvekd session broke a rule: %s\n", rule.c_str());
  std::abort();
}

// The client's bytes, handed out in pieces of a fixed size; the end of the input is the end of
// the stream. What the session writes is kept for checking.
class TMemoryChannel : public TChannel {
 public:
  TMemoryChannel(std::string input, size_t piece) : input_(std::move(input)), piece_(piece) {}

  size_t ReadSome(char* buffer, size_t size, std::chrono::milliseconds) override {
    size_t n = std::min({size, piece_, input_.size() - at_});
    std::memcpy(buffer, input_.data() + at_, n);
    at_ += n;
    return n;
  }
  void WriteAll(const char* data, size_t size, std::chrono::milliseconds) override {
    if (closed_) throw EClientGone("send failed: Broken pipe");
    output_.append(data, size);
  }
  void CloseWrite() override { closed_ = true; }
  void Abort() override { closed_ = true; }

  const std::string& Output() const { return output_; }

 private:
  std::string input_;
  size_t piece_;
  size_t at_ = 0;
  std::string output_;
  bool closed_ = false;
};

// Every frame the server writes: "%08X" length, "00000000", a reply or notice code, and
// exactly that many payload bytes.
void CheckFrames(const std::string& out) {
  size_t at = 0;
  while (at < out.size()) {
    if (out.size() - at < kFrameHeaderSize) Broken("a cut reply header");
    std::string_view header(out.data() + at, kFrameHeaderSize);
    auto length = TryHexToInt(header.substr(0, 8));
    std::string code = ReplyCode(header);
    if (!length || header.substr(8, 8) != "00000000" || (code != kReplyCode && !IsNoticeCode(code)))
      Broken("a malformed reply header " + std::string(header));
    at += kFrameHeaderSize + static_cast<uint32_t>(*length);
    if (at > out.size()) Broken("a reply shorter than its header says");
  }
}

TServerConfig FuzzConfig(const std::string& area) {
  TServerConfig c;
  c.max_payload = 64 * 1024;
  c.max_upload = 256 * 1024;
  c.accounts.Set("PORTAL", "qz7rmw");
  c.file_areas.Set("Files", area);
  return c;
}

}  // namespace

TSessionFuzzer::TSessionFuzzer() {
  std::string pattern = (fs::temp_directory_path() / "marvekd-fuzz-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) Broken("no temporary folder");
  dir_ = pattern;
}

TSessionFuzzer::~TSessionFuzzer() {
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

std::string TSessionFuzzer::LoginFrame() {
  std::string record;
  for (const char* f : {"qz7rmw", "PORTAL", "1", "", "Default"}) record += PadRight(f, 255);
  record += "6N0" + PadRight("SRV", 255) + PadRight("GRP", 255);
  return BuildRequestHeader(static_cast<uint32_t>(record.size()), "0464") + Scramble(record);
}

void TSessionFuzzer::Run(const uint8_t* data, size_t size) {
  if (size == 0) return;
  std::string input = data[0] & 1 ? LoginFrame() : std::string();
  input.append(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t piece = size_t{1} << ((data[0] >> 1) & 7);

  TServerLog log([](const std::string&) {});
  TServerContext context(FuzzConfig(dir_), log);
  TDispatcher dispatcher = MakeDispatcher(context);
  auto channel = std::make_unique<TMemoryChannel>(std::move(input), piece);
  TMemoryChannel& wire = *channel;
  TSession session(context, dispatcher, std::move(channel), 1, "fuzz");
  session.Run();

  CheckFrames(wire.Output());
  if (context.users.InUse() != 0) Broken("a login outlived its session");
  for (const auto& e : fs::directory_iterator(dir_)) {
    std::string name = e.path().filename().string();
    if (name.rfind(kPartialPrefix, 0) == 0) Broken("a partial upload left behind: " + name);
  }
}

}  // namespace tavrik::server
