#include "tables/MvoEnv.h"

#include <algorithm>

#include "core/StrUtils.h"
#include "platform/FormatSettings.h"
#include "tables/MDE61.h"
#include "tables/MvoDSet.h"

namespace tavrik {

int DateFormatCode(TMarvekDateFrmt format) {
  return format == TMarvekDateFrmt::dfWinDefault ? 99 : int(format);
}

// ---- TMarvekEnv ----

TMarvekEnv::TMarvekEnv(TComponent* owner) : TComponent(owner) {}

TMarvekEnv::~TMarvekEnv() { SetMarvekConnection(nullptr); }

void TMarvekEnv::SetMarvekConnection(TMarvekConnection* connection) {
  if (connection == connection_) return;
  if (connection_) connection_->RemoveFreeNotification(this);
  connection_ = connection;
  if (connection_) connection_->FreeNotification(this);
}

void TMarvekEnv::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == connection_) connection_ = nullptr;
}

void TMarvekEnv::Loaded() {
  TComponent::Loaded();
  if (apply_to_ == atLocal) MDE61();
}

template <class F>
bool TMarvekEnv::Send(F&& step) {
  if (apply_to_ == 0) return false;
  if ((apply_to_ & atServer) && connection_ && connection_->Active()) step(*MakeServerEngine(*connection_));
  if (apply_to_ & atLocal) step(*MakeLocalEngine());
  return true;
}

void TMarvekEnv::RefreshTables() {
  if (!AutoRefresh) return;
  TMarvekSearchObject search;
  while (TMarvekTable* table = search.Next<TMarvekTable>())
    if (table->Active()) table->Refresh();
}

void TMarvekEnv::ApplyCentury() {
  std::string& format = platform::FormatSettings().ShortDateFormat;
  const std::string lower = LowerCase(format);
  const size_t yyyy = lower.find("yyyy");
  const size_t yy = lower.find("yy");
  if (century_ && yy != std::string::npos && yyyy == std::string::npos) format.replace(yy, 2, "yyyy");
  if (!century_ && yyyy != std::string::npos) format.replace(yyyy, 4, "yy");
}

void TMarvekEnv::SetCentury(bool value) {
  if (!Send([&](TMvEngine& e) { e.SetCentury(value); })) return;
  century_ = value;
  ApplyCentury();
  RefreshTables();
}

void TMarvekEnv::SetDateFormat(TMarvekDateFrmt value) {
  if (!Send([&](TMvEngine& e) { e.SetDateFormat(DateFormatCode(value)); })) return;
  date_format_ = value;
  static const struct {
    const char* format;
    char separator;
  } kFormats[] = {{"mm/dd/yy", '/'}, {"yy.mm.dd", '.'}, {"dd/mm/yy", '/'}, {"dd/mm/yy", '/'},
                  {"dd.mm.yy", '.'}, {"dd-mm-yy", '-'}, {"dd-mm-yy", '-'}};
  platform::TFormatSettings& fs = platform::FormatSettings();
  if (value == TMarvekDateFrmt::dfWinDefault) {
    // The regional settings' own format.
    const platform::TFormatSettings& regional = platform::LocaleFormatSettings();
    fs.ShortDateFormat = regional.ShortDateFormat;
    fs.DateSeparator = regional.DateSeparator;
  } else {
    fs.ShortDateFormat = kFormats[int(value)].format;
    fs.DateSeparator = kFormats[int(value)].separator;
  }
  if (century_) SetCentury(true);
  else RefreshTables();
}

void TMarvekEnv::SetDeleted(bool value) {
  if (!Send([&](TMvEngine& e) { e.SetDeleted(value); })) return;
  deleted_ = value;
  RefreshTables();
}

void TMarvekEnv::SetEpoch(int value) {
  if (value == 0) value = 1900;
  else if (value < 100) value = 100;
  else if (value >= 3000) value = 2999;
  if (!Send([&](TMvEngine& e) { e.SetEpoch(value); })) return;
  epoch_ = value;
}

void TMarvekEnv::SetExact(bool value) {
  if (apply_to_ == 0 || value == exact_) return;
  Send([&](TMvEngine& e) { e.SetExact(value); });
  exact_ = value;
}

void TMarvekEnv::SetLockTimeOut(int value) {
  if (apply_to_ == 0 || value == lock_time_out_) return;
  Send([&](TMvEngine& e) { e.SetLockTimeOut(value); });
  lock_time_out_ = value;
}

void TMarvekEnv::SetMemoBlockSize(uint16_t value) {
  if (apply_to_ == 0 || value == memo_block_size_) return;
  Send([&](TMvEngine& e) { e.SetMemoBlockSize(value); });
  memo_block_size_ = value;
}

void TMarvekEnv::SetSoftSeek(bool value) {
  if (apply_to_ == 0 || value == soft_seek_) return;
  Send([&](TMvEngine& e) { e.SetSoftSeek(value); });
  soft_seek_ = value;
}

void TMarvekEnv::SetOptimisticBuffer(bool value) {
  if (!(apply_to_ & atLocal)) return;
  auto engine = MakeLocalEngine();
  engine->SysProp(1009, value ? 1 : 0);
  optimistic_buffer_ = engine->SysProp(1008, 0) != 0;
}

TMarvekEnvSettings TMarvekEnv::SettingsFor(TAccessMethod method) const {
  const unsigned needed = method == TAccessMethod::amServer ? atServer : atLocal;
  if (!(apply_to_ & needed)) return {};
  return {epoch_, century_, exact_, soft_seek_, DateFormatCode(date_format_), memo_block_size_, deleted_, true};
}

// ---- TMarvekDatabase ----

namespace {
std::vector<TMarvekDatabase*>& Databases() {
  static std::vector<TMarvekDatabase*> list;  // every database of the process
  return list;
}
}  // namespace

TMarvekDatabase::TMarvekDatabase(TComponent* owner) : TComponent(owner) { Databases().push_back(this); }

TMarvekDatabase::~TMarvekDatabase() { std::erase(Databases(), this); }

TMarvekDatabase* FindMarvekDatabase(const std::string& alias, bool designing) {
  if (designing) {
    for (TMarvekDatabase* d : Databases())
      if (d->IsDesigning() && SameText(d->DataPathAlias, alias)) return d;
    return nullptr;
  }
  TMarvekSearchObject search;
  while (TMarvekDatabase* d = search.Next<TMarvekDatabase>())
    if (SameText(d->DataPathAlias, alias)) return d;
  return nullptr;
}

// ---- TMarvekSearchObject ----

TMarvekSearchObject::TMarvekSearchObject() {
  for (TComponent* root : TApplicationRoot::Roots(TRootKind::rkDataModule)) Walk(root);
  for (TComponent* root : TApplicationRoot::Roots(TRootKind::rkForm)) Walk(root);
}

void TMarvekSearchObject::Walk(TComponent* component) {
  for (TComponent* c : component->Components()) {
    found_.push_back(c);
    Walk(c);
  }
}

}  // namespace tavrik
