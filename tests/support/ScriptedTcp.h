// What the scripted peers of the tests share: a listener on 127.0.0.1 on an ephemeral port, one
// client at a time, and a script of steps run in order on a thread of its own once started. Every
// wait is bounded by the step time; destroying the script ends one that is still waiting. A peer
// holds its ScriptedTcp as its last member, so that the thread has ended before the peer's other
// members, which its steps use, are destroyed.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavrik::testing {

class ScriptedTcp {
 public:
  // A step returns "" when it passed, else what went wrong; the script ends at the first failure.
  using Step = std::function<std::string()>;

  explicit ScriptedTcp(int step_wait_ms);
  ~ScriptedTcp();
  ScriptedTcp(const ScriptedTcp&) = delete;
  ScriptedTcp& operator=(const ScriptedTcp&) = delete;

  uint16_t Port() const { return port_; }
  void Add(Step step) { steps_.push_back(std::move(step)); }
  void AddFirst(Step step) { steps_.insert(steps_.begin(), std::move(step)); }
  void Start();
  // Waits for the script to end; "" when every step passed, else "step N: " and what went wrong.
  std::string Finish();

  // For the steps, on the script's thread.
  std::string AcceptClient();
  void CloseClient();
  int Client() const { return client_; }
  // Whether the client has something to read (or has hung up) within the step time.
  bool ClientReadable();
  // Appends what arrives, at most `most` bytes; "" when something did.
  std::string ReceiveSome(std::string& into, size_t most);
  std::string SendAll(const std::string& bytes);

 private:
  bool WaitReadable(int fd, int milliseconds);
  void Run();

  const int step_wait_ms_;
  int listener_ = -1;
  int client_ = -1;
  int stop_pipe_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::vector<Step> steps_;
  std::mutex mutex_;
  std::string failure_;
  std::thread thread_;
};

// A socket of `type` bound to 127.0.0.1 on an ephemeral port; `port` tells which. -1 on failure.
int BoundLoopbackSocket(int type, uint16_t& port);

// A port on 127.0.0.1 that nobody listens on: bound, then released.
int ClosedPort();

}  // namespace tavrik::testing
