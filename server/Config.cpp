#include "server/Config.h"

#include <arpa/inet.h>
#include <unistd.h>

#include "core/StrUtils.h"
#include "platform/IniFile.h"

namespace tavrik::server {

void TNameMap::Set(std::string_view name, std::string value) { map_[UpperCase(name)] = std::move(value); }

std::optional<std::string> TNameMap::Find(std::string_view name) const {
  auto it = map_.find(UpperCase(name));
  if (it == map_.end()) return std::nullopt;
  return it->second;
}

std::optional<uint64_t> ParseSize(std::string_view text) {
  std::string t = Trim(text);
  if (t.empty()) return std::nullopt;
  uint64_t shift = 0;
  switch (t.back()) {
    case 'k': case 'K': shift = 10; break;
    case 'm': case 'M': shift = 20; break;
    case 'g': case 'G': shift = 30; break;
    default: break;
  }
  if (shift) t.pop_back();
  if (t.empty() || t.size() > 13) return std::nullopt;
  uint64_t value = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > (1ull << 40) >> shift) return std::nullopt;
  return value << shift;
}

void TServerConfig::Check() const {
  in_addr probe{};
  if (!SameText(address, "localhost") && ::inet_pton(AF_INET, address.c_str(), &probe) != 1)
    throw EServerConfig("Address: not an IPv4 address: " + address);
  if (max_users < 1) throw EServerConfig("MaxUsers: must be at least 1");
  if (max_clients < 1) throw EServerConfig("MaxClients: must be at least 1");
  // Below this a login record (1,788 bytes) or a table's open request could not get through.
  if (max_payload < 4096) throw EServerConfig("MaxPayload: must be at least 4K");
  if (max_upload > kMaxUploadLimit) throw EServerConfig("MaxUpload: must be at most 2G");
  for (auto [key, limit] : {std::pair{"LoginTimeout", login_timeout}, {"FrameTimeout", frame_timeout},
                            {"IdleTimeout", idle_timeout}})
    if (limit.count() < 1) throw EServerConfig(std::string(key) + ": must be above 0");
  if (login_delay.count() < 0) throw EServerConfig("LoginDelay: must not be negative");
  if (max_login_failures < 1) throw EServerConfig("MaxLoginFailures: must be at least 1");
  if (max_work_areas < 1 || max_work_areas > 65535) throw EServerConfig("MaxWorkAreas: must lie between 1 and 65535");
}

namespace {

uint64_t ReadSize(const TIniFile& ini, const char* key, uint64_t fallback) {
  std::string text = ini.ReadString("SERVER", key, "");
  if (Trim(text).empty()) return fallback;
  auto size = ParseSize(text);
  if (!size) throw EServerConfig(std::string(key) + ": not a size: " + text);
  return *size;
}

int ReadNumber(const TIniFile& ini, const char* key, int fallback, int low, int high) {
  std::string text = ini.ReadString("SERVER", key, "");
  if (Trim(text).empty()) return fallback;
  auto n = TryStrToInt(text);
  if (!n || *n < low || *n > high)
    throw EServerConfig(std::string(key) + ": not a number from " + std::to_string(low) + " to " +
                        std::to_string(high) + ": " + text);
  return *n;
}

TNameMap ReadNames(const TIniFile& ini, const char* section) {
  TNameMap names;
  for (const auto& key : ini.ReadSection(section)) names.Set(key, ini.ReadString(section, key, ""));
  return names;
}

}  // namespace

TServerConfig LoadServerConfig(const std::string& ini_path) {
  if (::access(ini_path.c_str(), R_OK) != 0) throw EServerConfig("Cannot read configuration " + ini_path);
  TIniFile ini(ini_path);
  TServerConfig c;
  try {
    c.address = Trim(ini.ReadString("SERVER", "Address", c.address));
    c.port = static_cast<uint16_t>(ReadNumber(ini, "Port", c.port, 0, 65535));
    c.max_users = ReadNumber(ini, "MaxUsers", c.max_users, 1, 100000);
    c.max_clients = ReadNumber(ini, "MaxClients", c.max_clients, 1, 100000);
    c.max_payload = ReadSize(ini, "MaxPayload", c.max_payload);
    c.max_upload = ReadSize(ini, "MaxUpload", c.max_upload);
    c.login_timeout = std::chrono::seconds(ReadNumber(ini, "LoginTimeout", 10, 1, 3600));
    c.frame_timeout = std::chrono::seconds(ReadNumber(ini, "FrameTimeout", 30, 1, 3600));
    c.idle_timeout = std::chrono::seconds(ReadNumber(ini, "IdleTimeout", 3600, 1, 86400));
    c.login_delay = std::chrono::milliseconds(ReadNumber(ini, "LoginDelay", 1000, 0, 60000));
    c.max_login_failures = ReadNumber(ini, "MaxLoginFailures", c.max_login_failures, 1, 1000);
    c.max_work_areas = ReadNumber(ini, "MaxWorkAreas", c.max_work_areas, 1, 65535);
    c.log_file = Trim(ini.ReadString("SERVER", "LogFile", ""));
    c.verbose = ini.ReadBool("SERVER", "Verbose", false);
    c.accounts = ReadNames(ini, "ACCOUNTS");
    c.file_areas = ReadNames(ini, "FILES");
    c.aliases = ReadNames(ini, "ALIASES");
    c.Check();
  } catch (const EServerConfig& e) {
    throw EServerConfig(ini_path + ": " + e.Message());
  }
  return c;
}

}  // namespace tavrik::server
