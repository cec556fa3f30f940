// The connection options of the command-line tools over the protocol client, read in one place
// beside each tool's own options:
//   -H, --host H       server name or dotted address   127.0.0.1
//   -p, --port N       server port                     8121
//   -u, --user U       user name                       none
//   -w, --password P   password                        empty
//   -t, --timeout MS   longest wait for each reply     120000 (0 waits without limit)
// Options come before the first argument that is not one ("--" also ends them); a value may
// follow its option as the next argument, or as "--host=H" and "-HH".
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "net/MvConn.h"

namespace tavrik {

// A command line that does not read; the message names what was wrong ("not a number: x").
TAVRIK_EXCEPTION(EToolUsage, Exception);

struct TConnOptions {
  std::string host = "127.0.0.1";
  int port = 8121;
  std::string user;
  std::string password;
  int timeout = 120000;

  // Host, port, user, password and time-out onto `connection`.
  void ApplyTo(TMarvekConnection& connection) const;
};

// An option of the tool's own.
struct TToolOption {
  const char* long_name;
  char short_name;  // 0 for a long name only
  bool takes_value;
  std::function<void(const std::string& value)> set;  // an empty value for a switch
};

// Reads the options of `args` (the command line without the program's name): the connection's
// into `options`, the tool's own through their `set`. Returns the arguments after the options.
// Raises EToolUsage for an unknown option, an option without its value, or a port or time-out
// that is not a number of at least 0; a `set` may raise it too.
std::vector<std::string> ParseToolOptions(const std::vector<std::string>& args, TConnOptions& options,
                                          const std::vector<TToolOption>& own = {});

}  // namespace tavrik
