// A marvekd server in the test's own process, on 127.0.0.1 and an ephemeral port, over a fresh
// folder with the file area "Files"; its log lines are captured (without timestamps).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/Server.h"
#include "tests/server/TestClient.h"
#include "tests/support/TempDir.h"

namespace tavrik::testing {

class TCapturedLog {
 public:
  TCapturedLog() : log_([this](const std::string& line) { Add(line); }) {}
  server::TServerLog& Log() { return log_; }

  std::vector<std::string> Lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  // True when a line containing `part` shows up within `timeout`.
  bool WaitFor(const std::string& part, std::chrono::milliseconds timeout = 5s) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
      return std::any_of(lines_.begin(), lines_.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
    });
  }
  bool Has(const std::string& line) {
    std::lock_guard lock(mutex_);
    return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
  }

 private:
  void Add(const std::string& line) {
    std::lock_guard lock(mutex_);
    lines_.push_back(line);
    changed_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
  server::TServerLog log_;
};

class ServerTest : public ::testing::Test {
 protected:
  ServerTest() { std::filesystem::create_directory(area); }
  ~ServerTest() override {
    if (server_) server_->Shutdown();
  }

  server::TServerConfig Config() {
    server::TServerConfig c;
    c.port = 0;
    c.idle_timeout = 5s;
    c.frame_timeout = 5s;
    c.login_timeout = 5s;
    c.login_delay = 0ms;  // the tests of refused logins set their own
    c.max_login_failures = 100;
    c.accounts.Set("PORTAL", "qz7rmw");
    c.accounts.Set("clerk1", "secret");
    c.file_areas.Set("Files", area);
    return c;
  }
  server::TServer& Start(server::TServerConfig config) {
    server_ = std::make_unique<server::TServer>(std::move(config), captured.Log());
    server_->Start();
    return *server_;
  }
  server::TServer& Start() { return Start(Config()); }
  uint16_t Port() const { return server_->Port(); }

  // A client logged in as PORTAL.
  std::unique_ptr<TTestClient> LoggedIn() {
    auto c = std::make_unique<TTestClient>(Port());
    EXPECT_TRUE(c->Login("PORTAL", "qz7rmw"));
    return c;
  }
  // The names in the area, partial uploads included.
  std::vector<std::string> AreaNames() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(area)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir;
  std::string area = dir.File("files");
  TCapturedLog captured;
  std::unique_ptr<server::TServer> server_;
};

}  // namespace tavrik::testing
