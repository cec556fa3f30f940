// An in-process marvekd with the database alias FILES on a fresh data folder, tables made there
// with the engine, and logged-in TMarvekConnection clients whose failures are recorded.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/MvConn.h"
#include "tests/server/ServerFixture.h"
#include "xbase/WorkArea.h"
#include "xbase/WorkAreaSet.h"

namespace tavrik::testing {

class WorkAreaTest : public ServerTest {
 protected:
  WorkAreaTest() { std::filesystem::create_directory(data); }

  server::TServerConfig AreaConfig() {
    server::TServerConfig c = Config();
    c.aliases.Set("FILES", data);
    return c;
  }
  void StartWithData() { Start(AreaConfig()); }

  // A client logged in as PORTAL; its failures go to `errors` as "command|message".
  std::unique_ptr<TMarvekConnection> Connect() {
    auto c = std::make_unique<TMarvekConnection>();
    c->SetPort(Port());
    c->SetTimeOut(10000);
    c->SetUser("PORTAL");
    c->SetPassword("qz7rmw");
    c->OnError = [this](TComponent*, const std::string& command, const std::string& msg) {
      errors.push_back(command + "|" + msg);
    };
    c->SetActive(true);
    EXPECT_TRUE(c->LoggedIn());
    return c;
  }

  // Creates `name` in the data folder with `fields` and `count` records; `fill` sets record i
  // (from 1) through the open work area.
  void MakeTable(const std::string& name, const std::string& fields, int count,
                 const std::function<void(xbase::TWorkAreaSet&, int)>& fill = nullptr) {
    xbase::TWorkAreaSet set;
    const std::string path = data + "/" + name;
    set.Create(path, fields, 3);
    set.Use(path, "", 2, 3, 1);
    for (int i = 1; i <= count; ++i) {
      set.AppendBlank();
      if (fill) fill(set, i);
    }
    set.Commit();
    set.Close();
  }
  // Adds a tag to the table's own index file.
  void AddTag(const std::string& name, const std::string& tag, const std::string& key, const std::string& condition = "",
              bool unique = false, bool descending = false) {
    xbase::TWorkAreaSet set;
    set.Use(data + "/" + name, "", 2, 3, 1);
    set.IndexTag("", tag, key, condition, unique, descending);
    set.Close();
  }

  static TMvUseParams Params(const std::string& table, const std::string& index = "") {
    TMvUseParams p;
    p.DatabaseName = "FILES";
    p.TableName = table;
    p.IndexName = index;
    return p;
  }

  std::string data = dir.File("data");
  std::vector<std::string> errors;
};

// Field N (numeric) of a record image holding its record number, for tables made with Numbered.
inline void Numbered(xbase::TWorkAreaSet& set, int i) {
  set.Replace("N", xbase::rtInteger, std::string(reinterpret_cast<const char*>(&i), 4));
}

}  // namespace tavrik::testing
