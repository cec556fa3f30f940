#include "server/SettingCommands.h"

#include "core/StrUtils.h"
#include "server/WorkAreaCodec.h"
#include "server/WorkAreaSession.h"

namespace tavrik::server {

namespace {

using namespace wire;

bool Switch(const TRequest& r) {
  TFieldReader f(r.payload);
  bool on = f.YN("switch");
  f.End("switch");
  return on;
}

int HexArgument(const TRequest& r, std::string_view what) {
  if (r.payload.size() != 8) throw ERefused(std::string(what) + ": 8 hexadecimal digits expected");
  return static_cast<int32_t>(ParseHex(r.payload, what));
}

int SysPropValue(int code, std::string_view part) {
  switch (code) {
    case 1001: case 1003: case 1009: case 1303: {
      TFieldReader f(part);
      bool on = f.YN("SysProp value");
      f.End("SysProp value");
      return on ? 1 : 0;
    }
    case 1107: case 1305: case 1302:
      if (part != "0" && part != "1") throw ERefused("SysProp value: 0 or 1 expected");
      return part == "1" ? 1 : 0;
    case 2000: case 3002: case 3004:
      if (part.size() != 8) throw ERefused("SysProp value: 8 hexadecimal digits expected");
      return static_cast<int32_t>(ParseHex(part, "SysProp value"));
    default:
      if (!part.empty()) throw ERefused("SysProp " + std::to_string(code) + " takes no value");
      return 0;
  }
}

}  // namespace

void RegisterSettingCommands(TDispatcher& d, TServerContext&) {
  using W = TWorkAreaSession;
  using S = TSessionState;
  using R = TRequest;
  auto done = [](auto change) {
    return [change](W& w, S&, R& r) {
      change(w.areas, r);
      return std::string(kDone);
    };
  };
  AddAreaCommand(d, "0556", "SetCentury", done([](xbase::TWorkAreaSet& a, R& r) { a.SetCentury(Switch(r)); }));
  AddAreaCommand(d, "0557", "SetDateFormat",
                 done([](xbase::TWorkAreaSet& a, R& r) { a.SetDateFormat(HexArgument(r, "SetDateFormat")); }));
  AddAreaCommand(d, "0508", "SetDeleted", done([](xbase::TWorkAreaSet& a, R& r) { a.SetDeleted(Switch(r)); }));
  AddAreaCommand(d, "0506", "SetExact", done([](xbase::TWorkAreaSet& a, R& r) { a.SetExact(Switch(r)); }));
  AddAreaCommand(d, "0505", "SetSoftSeek", done([](xbase::TWorkAreaSet& a, R& r) { a.SetSoftSeek(Switch(r)); }));
  AddAreaCommand(d, "0576", "SetTurboRead",
                 done([](xbase::TWorkAreaSet& a, R& r) { a.SetTurboRead(Switch(r)); }));
  AddAreaCommand(d, "0587", "SetTranslate",
                 done([](xbase::TWorkAreaSet& a, R& r) { a.SetTranslate(Switch(r)); }));
  AddAreaCommand(d, "0566", "SetPassword", done([](xbase::TWorkAreaSet& a, R& r) { a.SetPassword(r.payload); }));
  AddAreaCommand(d, "0577", "SetLockTimeOut", done([](xbase::TWorkAreaSet& a, R& r) {
                   int seconds = ParseDec(r.payload, "SetLockTimeOut");
                   a.SetLockTimeOut(seconds > kMaxLockWait ? kMaxLockWait : seconds);
                 }));
  AddAreaCommand(d, "0593", "SetEpoch", [](W& w, S&, R& r) { return Dec(w.areas.SetEpoch(HexArgument(r, "SetEpoch"))); });
  AddAreaCommand(d, "0594", "SetMemoBlockSize", [](W& w, S&, R& r) {
    if (r.payload.size() < 10) throw ERefused("SetMemoBlockSize: 10 characters expected");
    int size = ParseDec(Trim(r.payload), "SetMemoBlockSize");
    return Hex(static_cast<uint32_t>(w.areas.SetMemoBlockSize(size)), 8);
  });
  AddAreaCommand(d, "0563", "SysProp", [](W& w, S&, R& r) {
    TFieldReader f(r.payload);
    const int code = static_cast<int32_t>(f.Hex(8, "SysProp code"));
    const int value = SysPropValue(code, f.Rest());
    return Hex(static_cast<uint32_t>(w.areas.SysProp(code, value)), 8);
  });
}

}  // namespace tavrik::server
