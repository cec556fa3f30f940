// Finding a recipient's mail exchanger with a DNS query of the logger's own, sent over UDP to
// each name server the system is configured with (never to any other).
//
// Query:
//   OFFSET SIZE CONTENT
//   0      2    identifier "AA" (0x4141)
//   2      2    flags 0x0100: recursion desired
//   4      2    question count 1
//   6      6    answer, authority and additional counts 0
//   12     n    the domain as labels (a length byte, then its bytes), ended by a zero byte
//   12+n   2    type 15 (MX)
//   14+n   2    class 1 (IN)
// Answer: the same header (the answer flag set, the answer count at offset 6), the question
// again, then records: owner name, type (2), class (2), time to live (4), data length (2), data;
// an MX record's data is a preference (2) and the exchange name. Names are labels or end in a
// two-byte pointer (the top two bits set) to an earlier name in the message. All numbers are
// big-endian. Every read is checked against the end of the packet.
#pragma once

#include <optional>
#include <string>

namespace tavrik::exlog {

constexpr uint16_t kDnsQueryId = 0x4141;

// The query for the MX records of `domain`; nothing for a domain that is not a valid DNS name.
std::optional<std::string> MxQuery(const std::string& domain);
// What `packet` answers to the MX query for `domain`: nothing when it is no answer to that query
// (another identifier, another question, a malformed header); else the exchange with the lowest
// preference among the MX records of the domain (or of the names the answer gives as its
// aliases), "" when it names none. Records after a malformed one are not read.
std::optional<std::string> MxAnswer(const std::string& packet, const std::string& domain);

// The mail exchanger of the domain of `address` (the part after the at sign). Raises
// ERavlogSocketError "Cannot resolve the "<domain>" MX record." when no server names one.
// Each server gets `time_out` milliseconds.
std::string ResolveMailExchanger(const std::string& address, int time_out = 30000);

}  // namespace tavrik::exlog
