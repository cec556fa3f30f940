// How the client reads the replies of its commands, and the error trap every command runs in.
// Internal to the connection's command files; the payload encodings are the protocol's
// (proto/MvFields.h).
//
// Reply decodings raise EMvReplyError when the text does not read; the command's trap reports it.
//   hex / trimmed hex  "$" put in front of the reply (its first 255 characters), read as
//                      hexadecimal; trimmed first removes blanks at both ends
//   dec / trimmed dec  a decimal integer (leading blanks allowed)
//   float              a number written with the client's regional decimal separator
//   Y-test             true exactly when the whole reply is "Y"
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/StrUtils.h"
#include "net/MvConn.h"
#include "proto/MvFields.h"

namespace tavrik {

TAVRIK_EXCEPTION(EMvReplyError, Exception);

namespace mvcodec {

using mvproto::Dec;
using mvproto::Hex;
using mvproto::Pad;
using mvproto::YN;

int32_t HexReply(std::string_view reply);
int32_t TrimmedHexReply(std::string_view reply);
int32_t DecReply(std::string_view reply);
int32_t TrimmedDecReply(std::string_view reply);
double FloatReply(std::string_view reply);
// A floating-point number as decimal text with the regional decimal separator.
std::string FloatText(double value);
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
