// The command line of marvekd:
//   marvekd [--config FILE] [--port N] [--address A] [--verbose]
//   marvekd --init-demo DIR
//   marvekd --help
// Options given on the command line win over the configuration file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "server/Config.h"

namespace tavrik::server {

TAVRIK_EXCEPTION(ECommandLine, Exception);

struct TCommandLine {
  std::string config_file;
  std::optional<uint16_t> port;
  std::optional<std::string> address;
  bool verbose = false;
  std::string init_demo_dir;
  bool help = false;

  // The configuration file's settings (defaults without one) with the options applied.
  TServerConfig MakeConfig() const;
};

// Raises ECommandLine for an unknown option, a missing or bad value.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

constexpr const char* kUsage =
    "usage: marvekd [--config FILE] [--port N] [--address A] [--verbose]\n"
    "       marvekd --init-demo DIR\n";

}  // namespace tavrik::server
