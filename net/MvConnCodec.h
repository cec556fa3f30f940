// The field encodings of command payloads and the decodings of their replies, and the error trap
// every command runs in. Internal to the connection's command files.
//
// Payload encodings:  padN  text + blanks up to N (a longer text whole)
//                     dec   decimal, "-" when negative, no fill
//                     hexN  upper-case hexadecimal, N digits (negative: 32-bit two's complement)
//                     YN    "Y" / "N"
// Reply decodings raise EMvReplyError when the text does not read; the command's trap reports it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/StrUtils.h"
#include "net/MvConn.h"

namespace tavrik {

TAVRIK_EXCEPTION(EMvReplyError, Exception);

namespace mvcodec {

inline std::string Pad(std::string_view text, size_t width) { return PadRight(text, width); }
inline std::string Dec(int64_t value) { return std::to_string(value); }
inline std::string Hex(int64_t value, int digits) { return IntToHex(value, digits); }
inline std::string YN(bool value) { return value ? "Y" : "N"; }

// The reply (its first 255 characters) read as hexadecimal after a "$".
int32_t HexReply(std::string_view reply);
int32_t TrimmedHexReply(std::string_view reply);
// The reply read as a decimal integer (leading blanks allowed, nothing after the digits).
int32_t DecReply(std::string_view reply);
int32_t TrimmedDecReply(std::string_view reply);
// The reply read as a floating-point number written with the regional decimal separator.
double FloatReply(std::string_view reply);
// A floating-point number as decimal text with the regional decimal separator.
std::string FloatText(double value);
// True exactly when the whole reply is "Y".
inline bool YTest(std::string_view reply) { return reply == "Y"; }

}  // namespace mvcodec

template <class T, class F>
T TMarvekConnection::Trap(const char* op, T empty, F&& body) {
  try {
    return body();
  } catch (const std::exception&) {
    ReportError(std::string("MarvekConnection.") + op, op);
    return empty;
  }
}

template <class F>
void TMarvekConnection::TrapVoid(const char* op, F&& body) {
  try {
    body();
  } catch (const std::exception&) {
    ReportError(std::string("MarvekConnection.") + op, op);
  }
}

template <class T, class F>
T TMarvekConnection::Quiet(T empty, F&& body) {
  try {
    return body();
  } catch (const std::exception&) {
    return empty;
  }
}

}  // namespace tavrik
