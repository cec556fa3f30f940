#include "proto/MvFrame.h"

#include "core/StrUtils.h"

namespace tavrik {

namespace {
bool AllDigits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}
}  // namespace

bool IsNoticeCode(std::string_view code) {
  return code == kNoticeProgress || code == kNoticeMessage || code == kNoticeShutdown || code == kNoticeStream;
}

std::string BuildRequestHeader(uint32_t payload_length, std::string_view code) {
  return IntToHex(payload_length, 8) + "0000" + "0000" + std::string(code);
}

std::string BuildReplyHeader(uint32_t payload_length, std::string_view code) {
  return IntToHex(payload_length, 8) + "00000000" + std::string(code);
}

std::optional<TRequestHeader> ParseRequestHeader(std::string_view header) {
  if (header.size() != kFrameHeaderSize) return std::nullopt;
  auto length = TryHexToInt(header.substr(0, 8));
  std::string_view pack = header.substr(8, 4);
  std::string_view code = header.substr(16, 4);
  if (!length || (pack != "0000" && pack != "0001") || header.substr(12, 4) != "0000" || !AllDigits(code))
    return std::nullopt;
  return TRequestHeader{static_cast<uint32_t>(*length), pack == "0001", std::string(code)};
}

uint32_t ReplyPayloadLength(std::string_view header) {
  if (header.size() < 8) return 0;
  return static_cast<uint32_t>(TryHexToInt(header.substr(0, 8)).value_or(0));
}

std::string ReplyCode(std::string_view header) {
  return header.size() >= kFrameHeaderSize ? std::string(header.substr(16, 4)) : std::string();
}

}  // namespace tavrik
