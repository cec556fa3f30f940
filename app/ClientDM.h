// The data module DM1: the program's non-visual components, alive from before the main window
// until the end of the run. Creating it loads the local engine library, through the environment
// component MarvekEnv1.
#pragma once

#include "core/Application.h"
#include "core/Component.h"
#include "net/MvConn.h"
#include "tables/MvoDSet.h"
#include "tables/MvoEnv.h"

namespace tavrik {

class TDM1 : public TComponent {
 public:
  // Raises EMarvekDllError when the local engine library cannot be loaded.
  explicit TDM1(TComponent* owner = nullptr);

  // Owned by the module. The connection is inactive between user actions; the tables are open
  // only while an action uses them.
  TMarvekConnection* RemoteConnection;
  TMarvekTable* LogTbl;    // LOG.DBF of the database FILES on RemoteConnection
  TMarvekTable* UsersTbl;  // USERS.DBF of the database FILES on RemoteConnection
  // For local tables only; the program's own tables are on the server and open with the tables'
  // defaults.
  TMarvekEnv* MarvekEnv1;

 private:
  // Searches for environments and tables start at the data modules.
  TApplicationRoot root_{*this, TRootKind::rkDataModule};
};

}  // namespace tavrik
