// The settings of the stand-in server: where it listens, who may log in, which named file areas
// and database aliases map to which folders, and the bounds that keep one client from hurting
// the others. Loaded once at start from an INI file; the running server never rereads it.
//
// marvekd.ini (sections and keys without regard to case):
//   [SERVER]   Address=127.0.0.1   listening IPv4 address ("localhost" = 127.0.0.1)
//              Port=8121           0 = an ephemeral port chosen by the system
//              MaxUsers=10         logged-in sessions at once; one more login is refused
//              MaxClients=32       connections at once (one thread each); when all are taken, a
//                                  new one displaces the oldest that has not logged in, and is
//                                  closed only when every one has
//              MaxPayload=16M      longest payload of any request but a file upload (4K at least);
//                                  before a login every payload is limited to 4K
//              MaxUpload=2G        largest file of an upload ("0037"), at most 2G
//              LoginTimeout=10     seconds a new connection has to log in
//              FrameTimeout=30     seconds a request may take from its first byte to its last (a
//                                  streamed payload, an upload say, may take as long as it never
//                                  falls silent for that long); also the bound on writing a frame
//              IdleTimeout=3600    seconds a logged-in client may stay silent between requests
//              LoginDelay=1000     milliseconds before a refused login is answered
//              MaxLoginFailures=3  refused logins after which the connection is closed
//              MaxWorkAreas=256    tables one session may have open at once
//              LogFile=            log file; empty = standard error
//              Verbose=0           1 = a log line per command
//   [ACCOUNTS] USER=password       user names without regard to case, passwords exactly
//   [FILES]    Files=/path         file areas by name
//   [ALIASES]  FILES=/path         database aliases (data folders of the tables)
// Sizes are decimal bytes, optionally followed by K, M or G (binary multiples).
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/Exception.h"

namespace tavrik::server {

TAVRIK_EXCEPTION(EServerConfig, Exception);

// Names (users, areas, aliases) match without regard to case, as the client's INI keys do.
class TNameMap {
 public:
  void Set(std::string_view name, std::string value);
  std::optional<std::string> Find(std::string_view name) const;
  bool Empty() const { return map_.empty(); }
  size_t Size() const { return map_.size(); }
  const std::map<std::string, std::string>& Items() const { return map_; }  // keys upper case

 private:
  std::map<std::string, std::string> map_;
};

struct TServerConfig {
  std::string address = "127.0.0.1";
  uint16_t port = 8121;
  int max_users = 10;
  int max_clients = 32;
  uint64_t max_payload = 16ull << 20;
  uint64_t max_upload = 2ull << 30;
  std::chrono::milliseconds login_timeout{10'000};
  std::chrono::milliseconds frame_timeout{30'000};
  std::chrono::milliseconds idle_timeout{3'600'000};
  std::chrono::milliseconds login_delay{1'000};
  int max_login_failures = 3;
  int max_work_areas = 256;
  std::string log_file;
  bool verbose = false;
  TNameMap accounts;    // user -> password
  TNameMap file_areas;  // area -> folder
  TNameMap aliases;     // database alias -> folder

  // Raises EServerConfig when a value is out of its range.
  void Check() const;
};

// The largest upload: a FileLength reply is read by the client as a 32-bit signed number.
constexpr uint64_t kMaxUploadLimit = 2ull << 30;
// The longest payload of a client that has not logged in: room for a login record.
constexpr uint64_t kMaxLoginPayload = 4096;

// Raises EServerConfig naming the file, the key and the bad value.
TServerConfig LoadServerConfig(const std::string& ini_path);

// "1234", "64K", "16M", "2G"; nothing for anything else (or above 2^40).
std::optional<uint64_t> ParseSize(std::string_view text);

}  // namespace tavrik::server
