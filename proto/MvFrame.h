// The frames of the Marvek protocol: every request and every reply is a 20-character ASCII
// header followed by its payload. Only the headers are here; sockets are elsewhere.
//
// Request header (client to server):
//   OFFSET SIZE CONTENT
//   0      8    payload length, upper-case hexadecimal, zero-padded
//   8      4    pack flag: "0000" payload as is, "0001" compressed (never produced here)
//   12     4    reserved, "0000"
//   16     4    command code, four decimal digits ("0464" login, "0515" read record, ...)
//
// Reply header (server to client):
//   OFFSET SIZE CONTENT
//   0      8    payload length, hexadecimal; text that is not a number means no payload
//   8      8    not interpreted by the client (the server sends "00000000")
//   16     4    reply code; "0300".."0303" are server notices, anything else is the reply
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrik {

constexpr size_t kFrameHeaderSize = 20;

// The reply code the server gives every reply; never one of the notice codes.
constexpr const char* kReplyCode = "0001";

// Server notices that may arrive before a reply or while the client is idle.
constexpr const char* kNoticeProgress = "0300";
constexpr const char* kNoticeMessage = "0301";
constexpr const char* kNoticeShutdown = "0302";
constexpr const char* kNoticeStream = "0303";
bool IsNoticeCode(std::string_view code);

std::string BuildRequestHeader(uint32_t payload_length, std::string_view code);
std::string BuildReplyHeader(uint32_t payload_length, std::string_view code);

struct TRequestHeader {
  uint32_t payload_length;
  bool packed;       // pack flag "0001"
  std::string code;  // four decimal digits
};

// A request header as a server must check it: eight hexadecimal digits, a pack flag of "0000"
// or "0001", reserved "0000" and four decimal digits. Anything else is nothing.
std::optional<TRequestHeader> ParseRequestHeader(std::string_view header);

// The payload length of a reply header as the client reads it (0 when not a number).
uint32_t ReplyPayloadLength(std::string_view header);
// The reply code: characters 17 to 20.
std::string ReplyCode(std::string_view header);

}  // namespace tavrik
