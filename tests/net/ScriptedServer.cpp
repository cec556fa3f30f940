#include "tests/net/ScriptedServer.h"

#include <sys/socket.h>

#include <chrono>
#include <cstdio>

#include "core/StrUtils.h"
#include "proto/MvFrame.h"

namespace tavrik::testing {

namespace {
constexpr int kStepLimitMs = 5000;
constexpr int kDrainLimitMs = 10000;

std::string Printable(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c >= 32 && c < 127) {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out.size() > 400 ? out.substr(0, 400) + "..." : out;
}
}  // namespace

ScriptedServer::ScriptedServer() : tcp_(kStepLimitMs) {}

std::string ScriptedServer::ReadExact(size_t count, std::string& out) {
  out.clear();
  while (out.size() < count) {
    if (std::string e = tcp_.ReceiveSome(out, count - out.size()); !e.empty()) return e + " (had " + Printable(out) + ")";
  }
  return std::string();
}

std::string ScriptedServer::ReadFrame(ReceivedFrame& frame) {
  std::string header;
  if (std::string e = ReadExact(kFrameHeaderSize, header); !e.empty()) return e;
  auto parsed = ParseRequestHeader(header);
  if (!parsed) return "bad request header " + Printable(header);
  if (std::string e = ReadExact(parsed->payload_length, frame.payload); !e.empty()) return e;
  frame.code = parsed->code;
  std::lock_guard<std::mutex> lock(mutex_);
  received_.push_back(frame);
  return std::string();
}

ScriptedServer& ScriptedServer::Accept() {
  tcp_.Add([this] { return tcp_.AcceptClient(); });
  return *this;
}

ScriptedServer& ScriptedServer::Expect(const std::string& code, const std::string& payload) {
  tcp_.Add([this, code, payload] {
    ReceivedFrame frame;
    if (std::string e = ReadFrame(frame); !e.empty()) return "expecting " + code + ": " + e;
    if (frame.code != code || frame.payload != payload)
      return "expected " + code + " [" + Printable(payload) + "], got " + frame.code + " [" + Printable(frame.payload) +
             "]";
    return std::string();
  });
  return *this;
}

ScriptedServer& ScriptedServer::ExpectCode(const std::string& code) {
  tcp_.Add([this, code] {
    ReceivedFrame frame;
    if (std::string e = ReadFrame(frame); !e.empty()) return "expecting " + code + ": " + e;
    if (frame.code != code) return "expected " + code + ", got " + frame.code + " [" + Printable(frame.payload) + "]";
    return std::string();
  });
  return *this;
}

ScriptedServer& ScriptedServer::ExpectRaw(const std::string& bytes) {
  tcp_.Add([this, bytes] {
    std::string got;
    if (std::string e = ReadExact(bytes.size(), got); !e.empty()) return "expecting raw bytes: " + e;
    return got == bytes ? std::string() : "expected [" + Printable(bytes) + "], got [" + Printable(got) + "]";
  });
  return *this;
}

ScriptedServer& ScriptedServer::Reply(const std::string& code, const std::string& payload) {
  return SendRaw(BuildReplyHeader(static_cast<uint32_t>(payload.size()), code) + payload);
}

ScriptedServer& ScriptedServer::SendRaw(const std::string& bytes) {
  tcp_.Add([this, bytes] { return tcp_.SendAll(bytes); });
  return *this;
}

ScriptedServer& ScriptedServer::Hangup() {
  tcp_.Add([this] {
    tcp_.CloseClient();
    return std::string();
  });
  return *this;
}

ScriptedServer& ScriptedServer::DrainUntilClosed() {
  tcp_.Add([this] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDrainLimitMs);
    while (std::chrono::steady_clock::now() < deadline) {
      if (!tcp_.ClientReadable()) return std::string("client never hung up");
      char c;
      if (::recv(tcp_.Client(), &c, 1, MSG_PEEK) <= 0) return std::string();
      ReceivedFrame frame;
      if (std::string e = ReadFrame(frame); !e.empty()) return e.rfind("client hung up", 0) == 0 ? std::string() : e;
    }
    return std::string("client never hung up");
  });
  return *this;
}

ScriptedServer& ScriptedServer::Logout(const std::string& user) {
  return Expect("0465", PadRight(user, 10)).Reply("0465", "Y");
}

void ScriptedServer::Start() {
  tcp_.AddFirst([this] { return tcp_.AcceptClient(); });
  tcp_.Start();
}

std::string ScriptedServer::Finish() { return tcp_.Finish(); }

std::vector<ReceivedFrame> ScriptedServer::Received() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

}  // namespace tavrik::testing
