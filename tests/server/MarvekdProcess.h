// marvekd run as a child process on an ephemeral port, for the tests that drive the program
// itself; the child is killed if a test leaves it running.
#pragma once

#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include "tests/server/ChildProcess.h"
#include "tests/support/ReadFile.h"

namespace tavrik::testing {

using namespace std::chrono_literals;

// marvekd started on an ephemeral port; Port() is what it printed.
class Marvekd {
 public:
  explicit Marvekd(std::vector<std::string> args, long file_size_limit = 0)
      : process_(WithProgram(std::move(args)), file_size_limit) {
    auto line = process_.ReadLine(10s);
    std::smatch m;
    static const std::regex listening("marvekd listening on 127\\.0\\.0\\.1:([0-9]+)");
    if (line && std::regex_match(*line, m, listening)) port_ = static_cast<uint16_t>(std::stoi(m[1]));
  }
  uint16_t Port() const { return port_; }
  TChildProcess& Process() { return process_; }

 private:
  static std::vector<std::string> WithProgram(std::vector<std::string> args) {
    args.insert(args.begin(), MARVEKD_PATH);
    return args;
  }
  TChildProcess process_;
  uint16_t port_ = 0;
};

}  // namespace tavrik::testing
