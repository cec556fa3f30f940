#include "server/SettingCommands.h"

#include "core/StrUtils.h"
#include "proto/MvFields.h"
#include "proto/MvPayloads.h"
#include "server/WorkAreaSession.h"

namespace tavrik::server {

namespace {

using namespace mvproto;

bool Switch(const TRequest& r) {
  TFieldReader f(r.payload);
  const bool on = f.YN("switch");
  f.End("switch");
  return on;
}

int HexArgument(const TRequest& r, std::string_view what) {
  return static_cast<int32_t>(ParseHexField(r.payload, 8, what));
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
  AddAreaCommand(d, mvcmd::SetCentury, done([](xbase::TWorkAreaSet& a, R& r) { a.SetCentury(Switch(r)); }));
  AddAreaCommand(d, mvcmd::SetDateFormat,
                 done([](xbase::TWorkAreaSet& a, R& r) { a.SetDateFormat(HexArgument(r, "SetDateFormat")); }));
  AddAreaCommand(d, mvcmd::SetDeleted, done([](xbase::TWorkAreaSet& a, R& r) { a.SetDeleted(Switch(r)); }));
  AddAreaCommand(d, mvcmd::SetExact, done([](xbase::TWorkAreaSet& a, R& r) { a.SetExact(Switch(r)); }));
  AddAreaCommand(d, mvcmd::SetSoftSeek, done([](xbase::TWorkAreaSet& a, R& r) { a.SetSoftSeek(Switch(r)); }));
  AddAreaCommand(d, mvcmd::SetTurboRead,
                 done([](xbase::TWorkAreaSet& a, R& r) { a.SetTurboRead(Switch(r)); }));
  AddAreaCommand(d, mvcmd::SetTranslate,
                 done([](xbase::TWorkAreaSet& a, R& r) { a.SetTranslate(Switch(r)); }));
  AddAreaCommand(d, mvcmd::SetPassword, done([](xbase::TWorkAreaSet& a, R& r) { a.SetPassword(r.payload); }));
  AddAreaCommand(d, mvcmd::SetLockTimeOut, done([](xbase::TWorkAreaSet& a, R& r) {
                   int seconds = ParseDec(r.payload, "SetLockTimeOut");
                   a.SetLockTimeOut(seconds > kMaxLockWait ? kMaxLockWait : seconds);
                 }));
  AddAreaCommand(d, mvcmd::SetEpoch, [](W& w, S&, R& r) { return Dec(w.areas.SetEpoch(HexArgument(r, "SetEpoch"))); });
  AddAreaCommand(d, mvcmd::SetMemoBlockSize, [](W& w, S&, R& r) {
    if (r.payload.size() < 10) throw ERefused("SetMemoBlockSize: 10 characters expected");
    int size = ParseDec(Trim(r.payload), "SetMemoBlockSize");
    return Hex(static_cast<uint32_t>(w.areas.SetMemoBlockSize(size)), 8);
  });
  AddAreaCommand(d, mvcmd::SysProp, [](W& w, S&, R& r) {
    const TMvSysProp p = ParseSysProp(r.payload);
    return Hex(static_cast<uint32_t>(w.areas.SysProp(p.code, p.value)), 8);
  });
}

}  // namespace tavrik::server
