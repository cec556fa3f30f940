// The name servers the system is configured with (the "nameserver" lines of
// /etc/resolv.conf, IPv4 only), standing in for the IP helper library's DNS-server list. Tests
// bind a list of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavrik::platform {

struct TDnsServer {
  std::string address;  // dotted IPv4
  uint16_t port = 53;
  bool operator==(const TDnsServer&) const = default;
};

// The configured servers, in order.
std::vector<TDnsServer> DnsServers();
// The IPv4 "nameserver" entries of resolver configuration text, each once, "0.0.0.0" skipped.
std::vector<TDnsServer> ParseResolverConfig(const std::string& text);
// Binds `servers` in place of the system's list (an empty function restores it); returns the
// previous binding.
std::function<std::vector<TDnsServer>()> SetDnsServers(std::function<std::vector<TDnsServer>()> servers);

}  // namespace tavrik::platform
