// Peers for the tests of the report sending, on 127.0.0.1 and ephemeral ports, each on a thread
// of its own with every wait bounded:
//   ScriptedPeer       a TCP peer of a line protocol (SMTP) that follows a script of steps;
//   ScriptedDnsServer  a UDP name server that answers each query with datagrams of the test's.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ScriptedTcp.h"

namespace tavrik::testing {

class ScriptedPeer {
 public:
  ScriptedPeer();

  uint16_t Port() const { return tcp_.Port(); }

  // Steps, run in order once Start() is called.
  ScriptedPeer& Accept();
  ScriptedPeer& Send(const std::string& bytes);
  // One line (without its CR LF) equal to `line`.
  ScriptedPeer& ExpectLine(const std::string& line);
  // One line, whatever it says (kept in Lines()).
  ScriptedPeer& ReadLine();
  // The lines up to and with a line "." (kept, without that line, in Messages()).
  ScriptedPeer& ReadData();
  // Waits until the client closes the connection.
  ScriptedPeer& ExpectClosed();

  // A greeting and the replies of one whole conversation without a login, the message accepted.
  ScriptedPeer& Conversation(const std::string& rcpt_reply = "250 OK\r\n");

  void Start();
  // Waits for the script to end; empty when every step passed, else what went wrong.
  std::string Finish();
  std::vector<std::string> Lines();
  std::vector<std::string> Messages();

 private:
  std::string ReadOneLine(std::string& line);

  std::string pending_;  // received and not yet taken
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<std::string> messages_;
  ScriptedTcp tcp_;  // last: its thread ends before the members above are destroyed
};

class ScriptedDnsServer {
 public:
  // Gets each query; returns the datagrams to send back (none: silence).
  using Responder = std::function<std::vector<std::string>(const std::string& query)>;
  explicit ScriptedDnsServer(Responder responder);
  ~ScriptedDnsServer();
  ScriptedDnsServer(const ScriptedDnsServer&) = delete;
  ScriptedDnsServer& operator=(const ScriptedDnsServer&) = delete;

  uint16_t Port() const { return port_; }
  std::vector<std::string> Queries();

 private:
  void Run();

  Responder responder_;
  int socket_ = -1;
  int stop_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::mutex mutex_;
  std::vector<std::string> queries_;
  std::thread thread_;
};

}  // namespace tavrik::testing
