#include "app/ClientDM.h"

#include <algorithm>
#include <climits>

#include "app/ActionPorts.h"
#include "platform/DateText.h"
#include "platform/MessagePump.h"

namespace tavrik {

namespace {

TMarvekTable* ServerTable(TDM1& dm, const char* name, const char* file) {
  auto* table = new TMarvekTable(&dm);
  table->BeginLoading();
  table->SetName(name);
  table->SetAccessMethod(TAccessMethod::amServer);
  table->SetMarvekConnection(dm.RemoteConnection);
  table->SetDatabaseName("FILES");
  table->SetTableName(file);
  table->SetOEMTranslate(false);
  table->EndLoading();
  return table;
}

// The bar counts in int; a transfer beyond its range shows as a full bar rather than wrapping.
int BarValue(int64_t value) { return int(std::clamp<int64_t>(value, INT_MIN, INT_MAX)); }

}  // namespace

TDM1::TDM1(TComponent* owner) : TComponent(owner) {
  SetName("DM1");
  RemoteConnection = new TMarvekConnection(this);
  RemoteConnection->SetName("RemoteConnection");
  RemoteConnection->SetPort(8121);
  RemoteConnection->SetTimeOut(120000);
  RemoteConnection->SetUser("PORTAL");
  RemoteConnection->SetPassword("qz7rmw");
  RemoteConnection->OnWriteProgress = [this](TComponent* sender, int64_t min, int64_t max, int64_t position) {
    RemoteConnectionWriteProgress(sender, min, max, position);
  };
  LogTbl = ServerTable(*this, "LogTbl", "LOG.DBF");
  UsersTbl = ServerTable(*this, "UsersTbl", "USERS.DBF");
  // Local tables are configured through this module, so the engine must be present even though
  // every table of the program lives on the server: loading the environment loads it.
  MarvekEnv1 = new TMarvekEnv(this);
  MarvekEnv1->BeginLoading();
  MarvekEnv1->SetName("MarvekEnv1");
  MarvekEnv1->SetApplyTo(atLocal);
  MarvekEnv1->EndLoading();
}

void TDM1::ToLog(const std::string& event, const std::string& remark) {
  const bool was_active = RemoteConnection->Active();
  try {
    if (!was_active) RemoteConnection->SetActive(true);
    LogTbl->Open();
    LogTbl->Append();
    LogTbl->FieldByName("TIMESTAMP").SetAsString(platform::DateTimeToStr(platform::Now()));
    LogTbl->FieldByName("EVENT").SetAsString(event);
    LogTbl->FieldByName("USER").SetAsString(ports_ ? ports_->UserIdText() : std::string());
    LogTbl->FieldByName("OPMERKING").SetAsString(remark);
    LogTbl->Post();
    LogTbl->Close();
  } catch (...) {
    // A table left open, perhaps still inserting, would take the next row into this one.
    CancelAndClose(*LogTbl);
    if (!was_active) Deactivate(*RemoteConnection);
    throw;
  }
  if (!was_active) RemoteConnection->SetActive(false);
}

void TDM1::RemoteConnectionWriteProgress(TComponent*, int64_t min, int64_t max, int64_t position) {
  if (ports_) {
    if (min > 0) ports_->SetProgressMin(BarValue(min));
    if (max > 0) ports_->SetProgressMax(BarValue(max));
    const int bar_max = ports_->ProgressMax();
    ports_->SetProgressPosition(BarValue(bar_max > 0 ? position % bar_max : position));
  }
  platform::ProcessMessages();
}

void CancelAndClose(TDataSet& table) noexcept {
  try {
    if (table.State() == TDataSetState::dsEdit || table.State() == TDataSetState::dsInsert) table.Cancel();
  } catch (...) {
    // Closing cancels once more; what matters is that the table ends closed.
  }
  try {
    table.Close();
  } catch (...) {
    // The table counts as closed before the server is asked to close it.
  }
}

void Deactivate(TMarvekConnection& connection) noexcept {
  try {
    connection.SetActive(false);
  } catch (...) {
    // SetActive has disconnected before raising: the login is gone with the socket.
  }
}

}  // namespace tavrik
