#include "platform/DnsServers.h"

#include <arpa/inet.h>

#include <fstream>
#include <mutex>
#include <sstream>

namespace tavrik::platform {

namespace {

std::mutex g_mutex;
std::function<std::vector<TDnsServer>()> g_bound;

}  // namespace

std::vector<TDnsServer> ParseResolverConfig(const std::string& text) {
  std::vector<TDnsServer> servers;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string keyword, address;
    if (!(words >> keyword >> address) || keyword != "nameserver") continue;
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1 || parsed.s_addr == 0) continue;
    TDnsServer server{address, 53};
    bool seen = false;
    for (const TDnsServer& s : servers) seen = seen || s == server;
    if (!seen) servers.push_back(server);
  }
  return servers;
}

std::vector<TDnsServer> DnsServers() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_bound) return g_bound();
  }
  std::ifstream in("/etc/resolv.conf");
  std::stringstream text;
  text << in.rdbuf();
  return ParseResolverConfig(text.str());
}

std::function<std::vector<TDnsServer>()> SetDnsServers(std::function<std::vector<TDnsServer>()> servers) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::swap(g_bound, servers);
  return servers;
}

}  // namespace tavrik::platform
