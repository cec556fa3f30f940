// The settings of the server's engine for this client: date and search behaviour, locks,
// passwords, translation, and the numbered system properties.
#include "net/MvConn.h"
#include "net/MvConnCodec.h"
#include "proto/MvPayloads.h"

namespace tavrik {

using namespace mvcodec;

// Most settings mean nothing without a server: while inactive they do nothing at all.

void TMarvekConnection::SetCentury(bool on) {
  if (Active()) TrapVoid("SetCentury", [&] { Xmit(mvcmd::SetCentury, YN(on)); });
}

void TMarvekConnection::SetDateFormat(uint16_t code) {
  TrapVoid("SetDateFormat", [&] { Xmit(mvcmd::SetDateFormat, Hex(code, 8)); });
}

void TMarvekConnection::SetDeleted(bool on) {
  if (Active()) TrapVoid("SetDeleted", [&] { Xmit(mvcmd::SetDeleted, YN(on)); });
}

int TMarvekConnection::SetEpoch(uint16_t year) {
  if (!Active()) return 0;
  return Trap("SetEpoch", 0, [&] { return static_cast<int>(TrimmedDecReply(Xmit(mvcmd::SetEpoch, Hex(year, 8)))); });
}

void TMarvekConnection::SetExact(bool on) {
  if (Active()) TrapVoid("SetExact", [&] { Xmit(mvcmd::SetExact, YN(on)); });
}

// The next three are not answered: the next frame read belongs to the following command.

void TMarvekConnection::SetLockTimeOut(int16_t seconds) {
  TrapVoid("SetLockTimeOut", [&] { Xmit(mvcmd::SetLockTimeOut, Dec(seconds)); });
}

void TMarvekConnection::SetTablePassword(const std::string& password) {
  TrapVoid("SetPassword", [&] { Xmit(mvcmd::SetPassword, password); });
}

void TMarvekConnection::SetTranslate(bool on) {
  TrapVoid("SetTranslate", [&] { Xmit(mvcmd::SetTranslate, YN(on)); });
}

int TMarvekConnection::SetMemoBlockSize(uint16_t size) {
  if (!Active()) return 0;
  return Trap("SetMemoBlockSize", 0, [&] { return static_cast<int>(HexReply(Xmit(mvcmd::SetMemoBlockSize, Pad(Dec(size), 10)))); });
}

void TMarvekConnection::SetSoftSeek(bool on) {
  if (!Active()) return;
  Quiet(0, [&] {
    Xmit(mvcmd::SetSoftSeek, YN(on));
    return 0;
  });
}

void TMarvekConnection::SetTurboRead(bool on) {
  if (Active()) TrapVoid("SetTurboRead", [&] { Xmit(mvcmd::SetTurboRead, YN(on)); });
}

// SysProp: the code and a value part chosen by the code (proto/MvPayloads.h).
int TMarvekConnection::SysProp(uint16_t code, int32_t value) {
  if (!Active()) return 0;
  std::string reply;
  try {
    reply = Xmit(mvcmd::SysProp, BuildSysProp(code, value));
  } catch (const std::exception&) {
    ReportError("MarvekConnection.SysProp", "Converting data");
    return 0;
  }
  return Trap("SysProp", 0, [&] { return static_cast<int>(TrimmedHexReply(reply)); });
}

}  // namespace tavrik
