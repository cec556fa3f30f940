#include "server/CommandLine.h"

#include "core/StrUtils.h"

namespace tavrik::server {

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  TCommandLine c;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw ECommandLine(a + " needs a value");
      return args[++i];
    };
    if (a == "--config") {
      c.config_file = value();
    } else if (a == "--port") {
      const std::string& v = value();
      bool digits = !v.empty() && v.size() <= 5 && v.find_first_not_of("0123456789") == std::string::npos;
      if (!digits || std::stoi(v) > 65535) throw ECommandLine("--port: not a port number: " + v);
      c.port = static_cast<uint16_t>(std::stoi(v));
    } else if (a == "--address") {
      c.address = value();
    } else if (a == "--verbose") {
      c.verbose = true;
    } else if (a == "--init-demo") {
      c.init_demo_dir = value();
    } else if (a == "--help" || a == "-h") {
      c.help = true;
    } else {
      throw ECommandLine("unknown option " + a);
    }
  }
  return c;
}

TServerConfig TCommandLine::MakeConfig() const {
  TServerConfig config = config_file.empty() ? TServerConfig() : LoadServerConfig(config_file);
  if (port) config.port = *port;
  if (address) config.address = *address;
  if (verbose) config.verbose = true;
  config.Check();
  return config;
}

}  // namespace tavrik::server
