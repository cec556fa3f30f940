// The data module DM1: the program's non-visual components, alive from before the main window
// until the end of the run, and the event log they write. Creating it loads the local engine
// library, through the environment component MarvekEnv1.
#pragma once

#include <cstdint>
#include <string>

#include "core/Application.h"
#include "core/Component.h"
#include "net/MvConn.h"
#include "tables/MvoDSet.h"
#include "tables/MvoEnv.h"

namespace tavrik {

class TActionPorts;

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

  // The window whose user name the log rows carry and whose progress bar follows a transfer (not
  // owned; nullptr unbinds: rows then carry an empty user name and transfers move no bar).
  void BindPorts(TActionPorts* ports) { ports_ = ports; }

  // Writes one row into LOG.DBF: TIMESTAMP (now, in the short date and long time formats), EVENT,
  // USER (the user name as typed now) and OPMERKING. Activates the connection when it is not
  // active and then deactivates it again, so its state afterwards is the one before. An error
  // goes on to the caller after the table has been cancelled and closed and a connection that
  // this call activated deactivated again.
  void ToLog(const std::string& event, const std::string& remark);
  // The connection's write-progress event: a positive `min` or `max` becomes the bar's, the
  // position is `position` modulo the bar's maximum; then pending window messages run.
  void RemoteConnectionWriteProgress(TComponent* sender, int64_t min, int64_t max, int64_t position);

 private:
  // Searches for environments and tables start at the data modules.
  TApplicationRoot root_{*this, TRootKind::rkDataModule};
  TActionPorts* ports_ = nullptr;
};

// Clean-up after an error, when raising again would hide the error being handled: each does
// what it can and raises nothing.
// Leaves an edit or insert without posting and closes the table.
void CancelAndClose(TDataSet& table) noexcept;
// Logs out and disconnects; without a reply the socket is closed all the same.
void Deactivate(TMarvekConnection& connection) noexcept;

}  // namespace tavrik
