// A Marvek server for tests that follows a script: it listens on 127.0.0.1 on an ephemeral port,
// and on its own thread checks the exact frames a client sends and answers with scripted bytes.
// Every wait is bounded; a step that fails ends the script and is reported by Finish().
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "tests/support/ScriptedTcp.h"

namespace tavrik::testing {

struct ReceivedFrame {
  std::string code;
  std::string payload;
};

class ScriptedServer {
 public:
  ScriptedServer();

  int Port() const { return tcp_.Port(); }

  // Steps, run in order once Start() is called. The script begins by accepting a client.
  ScriptedServer& Accept();
  // One request frame with this code and exactly this payload.
  ScriptedServer& Expect(const std::string& code, const std::string& payload);
  // One request frame with this code and any payload (kept for Received()).
  ScriptedServer& ExpectCode(const std::string& code);
  ScriptedServer& ExpectRaw(const std::string& bytes);
  // A reply frame: 20-character reply header, then the payload.
  ScriptedServer& Reply(const std::string& code, const std::string& payload);
  ScriptedServer& SendRaw(const std::string& bytes);
  ScriptedServer& Hangup();
  // Reads and keeps request frames, answering none, until the client hangs up.
  ScriptedServer& DrainUntilClosed();

  void Start();
  // Waits for the script to end; empty when every step passed, else what went wrong.
  std::string Finish();
  // Every request frame received so far.
  std::vector<ReceivedFrame> Received();

  // A scripted login: "0464" with any payload, answered `answer`.
  ScriptedServer& Login(const std::string& answer = "Y") { return ExpectCode("0464").Reply("0464", answer); }
  // A scripted logout of `user` (padded to 10), answered "Y".
  ScriptedServer& Logout(const std::string& user);

 private:
  std::string ReadExact(size_t count, std::string& out);
  std::string ReadFrame(ReceivedFrame& frame);

  std::mutex mutex_;
  std::vector<ReceivedFrame> received_;
  ScriptedTcp tcp_;  // last: its thread ends before the members above are destroyed
};

}  // namespace tavrik::testing
