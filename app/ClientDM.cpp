#include "app/ClientDM.h"

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

}  // namespace

TDM1::TDM1(TComponent* owner) : TComponent(owner) {
  SetName("DM1");
  RemoteConnection = new TMarvekConnection(this);
  RemoteConnection->SetName("RemoteConnection");
  RemoteConnection->SetPort(8121);
  RemoteConnection->SetTimeOut(120000);
  RemoteConnection->SetUser("PORTAL");
  RemoteConnection->SetPassword("qz7rmw");
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

}  // namespace tavrik
