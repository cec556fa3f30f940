// A demo installation for the program's tests: made by marvekd --init-demo in a fresh folder,
// with more accounts when a test asks for them, served by marvekd on an ephemeral port of
// 127.0.0.1, its LOG.DBF read back by dbfread and its file area at hand.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/server/DbfRows.h"
#include "tests/server/MarvekdProcess.h"
#include "tests/support/TempDir.h"
#include "xbase/WorkArea.h"
#include "xbase/WorkAreaSet.h"

namespace tavrik::testing {

class DemoInstallation {
 public:
  DemoInstallation() {
    TChildProcess init({MARVEKD_PATH, "--init-demo", demo_});
    EXPECT_EQ(init.WaitExit(10s), 0) << init.Stderr();
  }
  ~DemoInstallation() { Stop(); }

  // An account in USERS.DBF, found through its order like the demo's own; before Start.
  void AddAccount(const std::string& user, const std::string& password, const std::string& permission,
                  const std::string& message = "") {
    xbase::TWorkAreaSet set;
    set.Use(demo_ + "/data/USERS.DBF", "USERS", 2, 3, 0);
    set.AppendBlank();
    set.Replace("USER_ID", xbase::rtText, user);
    set.Replace("PASSWRD", xbase::rtText, password);
    set.Replace("PERMISSION", xbase::rtText, permission);
    set.Replace("MESSAGE", xbase::rtText, message);
    set.Commit();
    set.Close();
  }

  // Starts marvekd on the installation; its port, 0 when it did not start.
  uint16_t Start() {
    server_ = std::make_unique<Marvekd>(std::vector<std::string>{"--config", demo_ + "/marvekd.ini", "--port", "0"});
    return server_->Port();
  }
  // Ends the server at once, as a crash or a pulled cable would.
  void Stop() {
    if (!server_) return;
    server_->Process().Signal(SIGKILL);
    server_->Process().WaitExit(10s);
    server_.reset();
  }

  // The rows of LOG.DBF as "TIMESTAMP|EVENT|USER|OPMERKING".
  std::vector<std::string> LogRows() const { return DbfRows(LogFile()); }
  // The rows as "EVENT|USER|OPMERKING", for tests that leave the time stamps aside.
  std::vector<std::string> LogRowsWithoutTime() const {
    std::vector<std::string> rows;
    for (const std::string& row : LogRows()) rows.push_back(row.substr(row.find('|') + 1));
    return rows;
  }
  std::string LogFile() const { return demo_ + "/data/LOG.DBF"; }
  // The folder of the file area "Files".
  std::string FilesDir() const { return demo_ + "/files"; }

 private:
  TempDir dir_;
  std::string demo_ = dir_.File("demo");
  std::unique_ptr<Marvekd> server_;
};

}  // namespace tavrik::testing
