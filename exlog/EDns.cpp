#include "exlog/EDns.h"

#include <cstdint>
#include <vector>

#include "core/StrUtils.h"
#include "exlog/EConsts.h"
#include "exlog/ESockets.h"
#include "platform/DnsServers.h"

namespace tavrik::exlog {

namespace {

constexpr uint16_t kTypeMx = 15;
constexpr uint16_t kTypeCname = 5;
constexpr uint16_t kClassIn = 1;
constexpr size_t kHeaderSize = 12;
constexpr size_t kLongestName = 255;

// A cursor over a packet that refuses to read past its end.
class TPacket {
 public:
  explicit TPacket(const std::string& data) : data_(data) {}
  bool Fits(size_t pos, size_t count) const { return pos <= data_.size() && count <= data_.size() - pos; }
  std::optional<uint16_t> U16(size_t pos) const {
    if (!Fits(pos, 2)) return std::nullopt;
    return static_cast<uint16_t>(static_cast<uint8_t>(data_[pos]) << 8 | static_cast<uint8_t>(data_[pos + 1]));
  }
  // The name at `pos` in dotted form, and in `end` where the bytes after it start. Pointers must
  // point backwards, so a name cannot loop.
  std::optional<std::string> Name(size_t pos, size_t& end) const {
    std::string name;
    bool jumped = false;
    size_t limit = pos;  // a pointer must go before where it stands
    for (;;) {
      if (!Fits(pos, 1)) return std::nullopt;
      const uint8_t length = static_cast<uint8_t>(data_[pos]);
      if (length == 0) {
        if (!jumped) end = pos + 1;
        return name;
      }
      if ((length & 0xC0) == 0xC0) {
        std::optional<uint16_t> pointer = U16(pos);
        if (!pointer) return std::nullopt;
        const size_t target = *pointer & 0x3FFF;
        if (target >= limit) return std::nullopt;
        if (!jumped) end = pos + 2;
        jumped = true;
        pos = limit = target;
        continue;
      }
      if ((length & 0xC0) != 0 || !Fits(pos + 1, length)) return std::nullopt;
      if (!name.empty()) name += '.';
      name.append(data_, pos + 1, length);
      if (name.size() > kLongestName) return std::nullopt;
      pos += 1 + length;
    }
  }

 private:
  const std::string& data_;
};

bool SameName(const std::string& a, const std::string& b) {
  auto bare = [](const std::string& s) { return !s.empty() && s.back() == '.' ? s.substr(0, s.size() - 1) : s; };
  return SameText(bare(a), bare(b));
}

}  // namespace

std::optional<std::string> MxQuery(const std::string& domain) {
  std::string query = {0x41, 0x41, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  std::string name = !domain.empty() && domain.back() == '.' ? domain.substr(0, domain.size() - 1) : domain;
  if (name.empty() || name.size() > kLongestName - 2) return std::nullopt;
  size_t start = 0;
  for (;;) {
    size_t dot = name.find('.', start);
    std::string label = name.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (label.empty() || label.size() > 63) return std::nullopt;
    query += static_cast<char>(label.size());
    query += label;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  query += std::string("\0\0\x0F\0\x01", 5);
  return query;
}

std::optional<std::string> MxAnswer(const std::string& packet, const std::string& domain) {
  TPacket p(packet);
  std::optional<uint16_t> id = p.U16(0), flags = p.U16(2), questions = p.U16(4), answers = p.U16(6);
  if (!answers || *id != kDnsQueryId || !(*flags & 0x8000) || (*flags & 0x000F) != 0 || *questions != 1)
    return std::nullopt;
  size_t pos = kHeaderSize;
  std::optional<std::string> asked = p.Name(pos, pos);
  std::optional<uint16_t> qtype = p.U16(pos), qclass = p.U16(pos + 2);
  if (!asked || !qclass || !SameName(*asked, domain) || *qtype != kTypeMx || *qclass != kClassIn) return std::nullopt;
  pos += 4;

  std::vector<std::string> owners = {domain};
  auto answers_query = [&owners](const std::string& owner) {
    for (const std::string& o : owners)
      if (SameName(o, owner)) return true;
    return false;
  };
  std::string best;
  uint16_t best_preference = 0;
  for (uint16_t i = 0; i < *answers; ++i) {
    std::optional<std::string> owner = p.Name(pos, pos);
    std::optional<uint16_t> type = p.U16(pos), klass = p.U16(pos + 2), length = p.U16(pos + 8);
    if (!owner || !length || !p.Fits(pos + 10, *length)) return best;
    const size_t data = pos + 10;
    pos = data + *length;
    if (*klass != kClassIn || !answers_query(*owner)) continue;
    if (*type == kTypeCname) {
      size_t after = 0;
      if (std::optional<std::string> alias = p.Name(data, after); alias && after <= pos) owners.push_back(*alias);
    } else if (*type == kTypeMx && *length >= 3) {
      std::optional<uint16_t> preference = p.U16(data);
      size_t after = 0;
      std::optional<std::string> exchange = p.Name(data + 2, after);
      if (!exchange || exchange->empty() || after > pos) continue;
      if (best.empty() || *preference < best_preference) {
        best = *exchange;
        best_preference = *preference;
      }
    }
  }
  return best;
}

std::string ResolveMailExchanger(const std::string& address, int time_out) {
  std::string domain = Trim(address.substr(address.rfind('@') + 1));
  while (!domain.empty() && domain.back() == '>') domain.pop_back();
  std::optional<std::string> query = MxQuery(domain);
  if (query) {
    for (const platform::TDnsServer& server : platform::DnsServers()) {
      try {
        TRavlogClientSocket socket(SOCK_DGRAM);
        socket.Host = server.address;
        socket.Port = server.port;
        socket.TimeOut = time_out;
        socket.Connect();
        socket.Send(*query);
        // A stray datagram (an old answer, another identifier) is no reason to give up on a server.
        for (int attempt = 0; attempt < 4; ++attempt) {
          std::optional<std::string> host = MxAnswer(socket.ReceiveDatagram(), domain);
          if (!host) continue;
          if (!host->empty()) return *host;
          break;
        }
      } catch (const ERavlogSocketError&) {
        // no answer from this server: the next one may know
      }
    }
  }
  std::string message = kCannotResolveMx;
  throw ERavlogSocketError(message.replace(message.find("%s"), 2, domain));
}

}  // namespace tavrik::exlog
