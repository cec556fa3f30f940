// Tables for the dataset tests: made with the engine in a fresh data folder, opened through
// TMarvekTable on the engine linked into the test (amLocal) or on an in-process marvekd serving
// the folder as FILES (amServer).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/FormatSettings.h"
#include "tables/MvoDSet.h"
#include "tests/net/ScriptedServer.h"
#include "tests/server/WorkAreaFixture.h"
#include "tests/tables/InProcessMde61.h"

namespace tavrik::testing {

// Starts `server`'s script and connects `connection` to it, logged in as PORTAL (the script
// must begin with the login).
inline void StartAndLogIn(ScriptedServer& server, TMarvekConnection& connection) {
  server.Start();
  connection.SetPort(server.Port());
  connection.SetTimeOut(5000);
  connection.SetUser("PORTAL");
  connection.SetPassword("qz7rmw");
  connection.SetActive(true);
  ASSERT_TRUE(connection.LoggedIn());
}

class TableTest : public WorkAreaTest {
 protected:
  // Tests change the process's date formats; each starts from and leaves the same ones.
  ~TableTest() override { platform::FormatSettings() = saved_formats_; }

  // An amLocal table on the data folder.
  std::unique_ptr<TMarvekTable> LocalTable(const std::string& name) {
    auto t = std::make_unique<TMarvekTable>();
    t->SetName("Table1");
    t->SetDatabaseName(data);
    t->SetTableName(name);
    t->EngineFactory = [] { return MakeLocalEngine(InProcessMde61()); };
    return t;
  }
  // An amServer table on `connection`, database FILES.
  static std::unique_ptr<TMarvekTable> ServerTable(TMarvekConnection& connection, const std::string& name) {
    auto t = std::make_unique<TMarvekTable>();
    t->SetName("Table1");
    t->SetAccessMethod(TAccessMethod::amServer);
    t->SetMarvekConnection(&connection);
    t->SetDatabaseName("FILES");
    t->SetTableName(name);
    return t;
  }
  // The values of `field` from the current record to the end, moving with Next.
  static std::vector<std::string> Column(TDataSet& t, const std::string& field) {
    std::vector<std::string> out;
    for (; !t.Eof(); t.Next()) out.push_back(t.FieldByName(field).AsString());
    return out;
  }

 private:
  platform::TFormatSettings saved_formats_ = platform::FormatSettings();
};

}  // namespace tavrik::testing
