// The settings of the server's engine for this client: date and search behaviour, locks,
// passwords, translation, and the numbered system properties.
#include "net/MvConn.h"
#include "net/MvConnCodec.h"

namespace tavrik {

using namespace mvcodec;

// Most settings mean nothing without a server: while inactive they do nothing at all.

void TMarvekConnection::SetCentury(bool on) {
  if (Active()) TrapVoid("SetCentury", [&] { ClientXmit("0556", YN(on), true); });
}

void TMarvekConnection::SetDateFormat(uint16_t code) {
  TrapVoid("SetDateFormat", [&] { ClientXmit("0557", Hex(code, 8), true); });
}

void TMarvekConnection::SetDeleted(bool on) {
  if (Active()) TrapVoid("SetDeleted", [&] { ClientXmit("0508", YN(on), true); });
}

int TMarvekConnection::SetEpoch(uint16_t year) {
  if (!Active()) return 0;
  return Trap("SetEpoch", 0, [&] { return static_cast<int>(TrimmedDecReply(ClientXmit("0593", Hex(year, 8), true))); });
}

void TMarvekConnection::SetExact(bool on) {
  if (Active()) TrapVoid("SetExact", [&] { ClientXmit("0506", YN(on), true); });
}

// The next three are not answered: the next frame read belongs to the following command.

void TMarvekConnection::SetLockTimeOut(int16_t seconds) {
  TrapVoid("SetLockTimeOut", [&] { ClientXmit("0577", Dec(seconds), false); });
}

void TMarvekConnection::SetTablePassword(const std::string& password) {
  TrapVoid("SetPassword", [&] { ClientXmit("0566", password, false); });
}

void TMarvekConnection::SetTranslate(bool on) {
  TrapVoid("SetTranslate", [&] { ClientXmit("0587", YN(on), false); });
}

int TMarvekConnection::SetMemoBlockSize(uint16_t size) {
  if (!Active()) return 0;
  return Trap("SetMemoBlockSize", 0, [&] { return static_cast<int>(HexReply(ClientXmit("0594", Pad(Dec(size), 10), true))); });
}

void TMarvekConnection::SetSoftSeek(bool on) {
  if (!Active()) return;
  Quiet(0, [&] {
    ClientXmit("0505", YN(on), true);
    return 0;
  });
}

void TMarvekConnection::SetTurboRead(bool on) {
  if (Active()) TrapVoid("SetTurboRead", [&] { ClientXmit("0576", YN(on), true); });
}

// SysProp payload: the property code as 8 hexadecimal digits, then a value part by code:
//   1000 1002 1006 1008 1010-1013 1101 1104-1106 1300 1301 3000   nothing
//   1001 1003 1009 1303                                          Y/N of the value's low byte
//   1107 1305                                                    "1" when the value is 1, else "0"
//   1302                                                         "0"
//   2000 3002 3004                                               the value, 8 hexadecimal digits
//   any other code                                               nothing
int TMarvekConnection::SysProp(uint16_t code, int32_t value) {
  if (!Active()) return 0;
  std::string part;
  switch (code) {
    case 1001: case 1003: case 1009: case 1303: part = YN((value & 0xFF) != 0); break;
    case 1107: case 1305: part = value == 1 ? "1" : "0"; break;
    case 1302: part = "0"; break;
    case 2000: case 3002: case 3004: part = Hex(value, 8); break;
    default: break;
  }
  std::string reply;
  try {
    reply = ClientXmit("0563", Hex(code, 8) + part, true);
  } catch (const std::exception&) {
    ReportError("MarvekConnection.SysProp", "Converting data");
    return 0;
  }
  return Trap("SysProp", 0, [&] { return static_cast<int>(TrimmedHexReply(reply)); });
}

}  // namespace tavrik
