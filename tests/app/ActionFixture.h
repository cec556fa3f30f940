// What the tests of the program's actions share: the data module and the actions over a port of
// plain values, with a ZIP component as the window's, scripted dialogs and a recording screen
// cursor, and the run's login state reset for each test.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "app/ClientDM.h"
#include "app/MainActions.h"
#include "platform/DynLib.h"
#include "platform/Paths.h"
#include "tests/app/RecordingPorts.h"
#include "tests/support/RecordingScreenCursor.h"
#include "tests/support/ScriptedDialogs.h"
#include "zip/ZipWrt.h"

namespace tavrik::testing {

class ActionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetLibrarySearchDirs({platform::ExecutableDir()});  // the local engine, for the module
    LoggedIn = false;
    Permissions.clear();
    dm = std::make_unique<TDM1>();
    zip.SetAddCompLevel(9);
    actions = std::make_unique<TMainActions>(*dm, ports, zip);
  }

  // The connection to a server on `port` of 127.0.0.1.
  void UseServer(uint16_t port) {
    dm->RemoteConnection->SetHost("127.0.0.1");
    dm->RemoteConnection->SetPort(port);
    dm->RemoteConnection->SetTimeOut(10000);
  }

  // Nothing of an action stays behind: tables closed, the connection logged out, no poll
  // timer, the default cursor, no action running.
  void ExpectNothingLeftOpen() {
    EXPECT_FALSE(dm->UsersTbl->Active());
    EXPECT_FALSE(dm->LogTbl->Active());
    EXPECT_FALSE(dm->RemoteConnection->Active());
    EXPECT_FALSE(dm->RemoteConnection->LoggedIn());
    EXPECT_FALSE(dm->RemoteConnection->PollTimer().Enabled());
    EXPECT_EQ(cursor.Cursor(), platform::TCursor::crDefault);
    EXPECT_FALSE(actions->Running());
  }

  ScriptedDialogs dialogs;
  RecordingScreenCursor cursor;
  RecordingPorts ports;
  std::unique_ptr<TDM1> dm;
  TZipwright zip;
  std::unique_ptr<TMainActions> actions;
};

}  // namespace tavrik::testing
