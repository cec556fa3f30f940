// A raw Marvek client for the server's tests: frames built by hand, every read bounded.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tests/support/WireText.h"

namespace tavrik::testing {

using namespace std::chrono_literals;

struct TFrame {
  std::string header;
  std::string code;
  std::string payload;
};

class TTestClient {
 public:
  // `receive_buffer`: a small socket buffer makes the server's large writes go out in pieces.
  explicit TTestClient(uint16_t port, int receive_buffer = 0);
  ~TTestClient();
  TTestClient(const TTestClient&) = delete;
  TTestClient& operator=(const TTestClient&) = delete;

  bool Connected() const { return fd_ >= 0; }
  int Fd() const { return fd_; }  // for senders of their own (the benchmark's file reader)
  // False when the server has closed or reset the connection.
  bool Send(std::string_view bytes);
  bool SendRequest(std::string_view code, std::string_view payload);
  // The next frame, or nothing when the connection ends or `timeout` passes first.
  std::optional<TFrame> ReadFrame(std::chrono::milliseconds timeout = 5s);
  // Sends a request and reads one frame; the payload of a reply ("0001"), or "<no reply>".
  std::string Call(std::string_view code, std::string_view payload);
  // True when the server closes the connection within `timeout` (data before the end is dropped).
  bool WaitClosed(std::chrono::milliseconds timeout = 5s);
  // True when nothing at all arrives within `timeout` and the connection stays open.
  bool Quiet(std::chrono::milliseconds timeout);
  void Close();

  bool Login(const std::string& user, const std::string& password) {
    return Call("0464", ScrambledLogin(password, user)) == "Y";
  }
  static std::string ScrambledLogin(const std::string& password, const std::string& user);

 private:
  bool ReadExact(std::string& out, size_t n, std::chrono::steady_clock::time_point deadline);
  int fd_ = -1;
};

}  // namespace tavrik::testing
