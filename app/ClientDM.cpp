#include "app/ClientDM.h"

#include "tables/MDE61.h"

namespace tavrik {

TDM1::TDM1(TComponent* owner) : TComponent(owner) {
  SetName("DM1");
  RemoteConnection = new TMarvekConnection(this);
  RemoteConnection->SetName("RemoteConnection");
  RemoteConnection->SetPort(8121);
  RemoteConnection->SetTimeOut(120000);
  RemoteConnection->SetUser("PORTAL");
  RemoteConnection->SetPassword("qz7rmw");
  // Local tables are configured through this module, so the engine must be present even though
  // every table of the program lives on the server.
  MDE61();
}

}  // namespace tavrik
