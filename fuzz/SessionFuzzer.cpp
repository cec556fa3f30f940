#include "fuzz/SessionFuzzer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/StrUtils.h"
#include "proto/MvFrame.h"
#include "proto/MvScramble.h"
#include "server/Server.h"
#include "xbase/WorkArea.h"
#include "xbase/WorkAreaSet.h"

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

TServerConfig FuzzConfig(const std::string& area, const std::string& data) {
  TServerConfig c;
  c.max_payload = 64 * 1024;
  c.max_upload = 256 * 1024;
  c.login_delay = std::chrono::milliseconds(0);  // refused logins are answered at once
  c.accounts.Set("PORTAL", "qz7rmw");
  c.file_areas.Set("Files", area);
  c.aliases.Set("FILES", data);
  return c;
}

void MakeTable(const std::string& path) {
  xbase::TWorkAreaSet set;
  set.Create(path, "N,N,5,0;NAME,C,10,0;NOTE,M,10,0", 3);
  set.Use(path, "", 2, 3, 1);
  for (int i = 1; i <= 5; ++i) {
    set.AppendBlank();
    set.Replace("N", xbase::rtText, std::to_string(i));
    set.Replace("NAME", xbase::rtText, "name" + std::to_string(6 - i));
  }
  set.IndexTag("", "BYNAME", "NAME", "", false, false);
  set.Close();
}

// Whatever the session did, once it is over nobody holds the table: it opens exclusively and
// its records lock.
void CheckReleased(const std::string& path) {
  try {
    xbase::TWorkAreaSet set;
    set.Use(path, "", 2, 3, 1);
    for (int r = 1; r <= set.RecCount() && r <= 20; ++r)
      if (!set.Rlock(r)) Broken("record " + std::to_string(r) + " still locked after its session");
    set.Close();
  } catch (const Exception& e) {
    Broken("the table is not released after its session: " + e.Message());
  }
}

}  // namespace

TSessionFuzzer::TSessionFuzzer() {
  std::string pattern = (fs::temp_directory_path() / "marvekd-fuzz-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) Broken("no temporary folder");
  dir_ = pattern;
  data_ = dir_ + "/data";
  std::error_code ec;
  fs::create_directory(data_, ec);
  try {
    MakeTable(data_ + "/T.DBF");
  } catch (const Exception& e) {
    Broken("cannot make the table: " + e.Message());
  }
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

std::string TSessionFuzzer::UseFrame(const std::string& table, const std::string& index) {
  std::string record = PadRight("FILES", 255) + PadRight(table, 255) + "03" + PadRight("", 255) + "N" +
                       PadRight(index, 255) + "07BC" "0000" "0000" "NYNNNN" "1";
  return BuildRequestHeader(static_cast<uint32_t>(record.size()), "0469") + record;
}

void TSessionFuzzer::Run(const uint8_t* data, size_t size) {
  if (size == 0) return;
  std::string input = data[0] & 1 ? LoginFrame() : std::string();
  if ((data[0] & 1) && (data[0] & 16)) input += UseFrame("T.DBF");
  input.append(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t piece = size_t{1} << ((data[0] >> 1) & 7);

  TServerLog log([](const std::string&) {});
  TServerContext context(FuzzConfig(dir_, data_), log);
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
  CheckReleased(data_ + "/T.DBF");
}

}  // namespace tavrik::server
