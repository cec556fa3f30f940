// TMarvekEnv: what each setting sends and stores, the date formats it sets, how tables take it
// up when they open, and the search for components it and the tables rely on.
#include <gtest/gtest.h>

#include "core/StrUtils.h"
#include "platform/FormatSettings.h"
#include "tables/MvoEnv.h"
#include "tests/net/ScriptedServer.h"
#include "tests/tables/TableFixture.h"

namespace tavrik::testing {
namespace {

class EnvTest : public TableTest {};

TEST_F(EnvTest, EpochIsClampedBeforeItIsStored) {
  TMarvekEnv env;
  env.SetApplyTo(atServer);  // no connection: nothing is sent, the value is stored
  for (auto [given, stored] : std::vector<std::pair<int, int>>{
           {50, 100}, {0, 1900}, {3500, 2999}, {3000, 2999}, {99, 100}, {-5, 100}, {100, 100}, {1985, 1985}, {2999, 2999}}) {
    env.SetEpoch(given);
    EXPECT_EQ(env.Epoch(), stored) << given;
  }
}

TEST_F(EnvTest, WithoutApplyToNothingChangesAndNothingIsSent) {
  ScriptedServer server;
  server.Login().Logout("PORTAL");
  TMarvekConnection connection;
  StartAndLogIn(server, connection);
  TMarvekEnv env;
  env.SetMarvekConnection(&connection);
  env.SetApplyTo(0);
  const std::string format = platform::FormatSettings().ShortDateFormat;
  env.SetEpoch(1950);
  env.SetCentury(false);
  env.SetDateFormat(TMarvekDateFrmt::dfGerman);
  env.SetDeleted(true);
  env.SetExact(true);
  env.SetSoftSeek(true);
  env.SetLockTimeOut(9);
  env.SetMemoBlockSize(512);
  env.SetOptimisticBuffer(true);
  EXPECT_EQ(env.Epoch(), 1980);
  EXPECT_TRUE(env.Century());
  EXPECT_EQ(env.DateFormat(), TMarvekDateFrmt::dfWinDefault);
  EXPECT_FALSE(env.Deleted() || env.Exact() || env.SoftSeek() || env.OptimisticBuffer());
  EXPECT_EQ(env.LockTimeOut(), 1);
  EXPECT_EQ(env.MemoBlockSize(), 64);
  EXPECT_EQ(platform::FormatSettings().ShortDateFormat, format);
  connection.SetActive(false);
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(EnvTest, SettingsGoToTheServerAtOnce) {
  ScriptedServer server;
  server.Login()
      .Expect("0593", IntToHex(1990, 8)).Reply("0001", "1990")
      .Expect("0556", "N").Reply("0001", "")
      .Expect("0557", IntToHex(3, 8)).Reply("0001", "")
      .Expect("0508", "Y").Reply("0001", "")
      .Expect("0506", "Y").Reply("0001", "")
      .Expect("0505", "Y").Reply("0001", "")
      .Expect("0577", "5")  // no reply is awaited
      .Expect("0594", PadRight("512", 10)).Reply("0001", "200")
      .Logout("PORTAL");
  TMarvekConnection connection;
  StartAndLogIn(server, connection);
  TMarvekEnv env;
  env.SetMarvekConnection(&connection);
  env.SetApplyTo(atServer);
  env.SetEpoch(1990);
  env.SetCentury(false);
  env.SetDateFormat(TMarvekDateFrmt::dfFrench);  // with the century off: no century sent again
  env.SetDeleted(true);
  env.SetExact(true);
  env.SetExact(true);  // unchanged: nothing sent
  env.SetSoftSeek(true);
  env.SetLockTimeOut(5);
  env.SetLockTimeOut(5);
  env.SetMemoBlockSize(512);
  env.SetOptimisticBuffer(true);  // the local engine's alone
  EXPECT_FALSE(env.OptimisticBuffer());
  EXPECT_EQ(env.Epoch(), 1990);
  EXPECT_EQ(env.MemoBlockSize(), 512);
  connection.SetActive(false);
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(EnvTest, DateFormatsAndCentury) {
  TMarvekEnv env;
  env.SetApplyTo(atServer);
  struct Case {
    TMarvekDateFrmt format;
    const char* with_century;
    char separator;
  };
  for (const Case& c : std::vector<Case>{{TMarvekDateFrmt::dfAmerican, "mm/dd/yyyy", '/'},
                                         {TMarvekDateFrmt::dfAnsi, "yyyy.mm.dd", '.'},
                                         {TMarvekDateFrmt::dfBritish, "dd/mm/yyyy", '/'},
                                         {TMarvekDateFrmt::dfGerman, "dd.mm.yyyy", '.'},
                                         {TMarvekDateFrmt::dfItalian, "dd-mm-yyyy", '-'},
                                         {TMarvekDateFrmt::dfWinDefault, "m/d/yyyy", '/'}}) {
    env.SetDateFormat(c.format);
    EXPECT_EQ(platform::FormatSettings().ShortDateFormat, c.with_century);
    EXPECT_EQ(platform::FormatSettings().DateSeparator, c.separator);
    EXPECT_EQ(DateFormatCode(c.format), c.format == TMarvekDateFrmt::dfWinDefault ? 99 : int(c.format));
  }
  env.SetCentury(false);
  EXPECT_EQ(platform::FormatSettings().ShortDateFormat, "m/d/yy");
  platform::FormatSettings().ShortDateFormat = "dd-mm-yy";
  env.SetCentury(true);
  EXPECT_EQ(platform::FormatSettings().ShortDateFormat, "dd-mm-yyyy");
}

// A table takes the settings of the first environment found when it opens, and only when that
// environment applies to its access method.
TEST_F(EnvTest, TablesOpenWithTheEnvironmentThatAppliesToThem) {
  auto use = [](const std::string& settings) {
    return PadRight("FILES", 255) + PadRight("LOG.DBF", 255) + "0" + "2" + PadRight("", 255) + "N" +
           PadRight("", 255) + settings + "1";
  };
  const std::string failed = "0000" + IntToHex(0, 8) + IntToHex(1, 8) + IntToHex(2, 8) + "N" + PadRight("", 255) +
                             "0000" + "0000" + IntToHex(0, 8) + IntToHex(3, 8) + "no table";
  ScriptedServer server;
  server.Login()
      .Expect("0469", use("07BC" "0000" "0000" "N" "Y" "N" "N" "N" "N")).Reply("0001", failed)
      .Expect("0469", use("079E" "0004" "0200" "Y" "N" "Y" "Y" "N" "Y")).Reply("0001", failed)
      .Logout("PORTAL");
  TMarvekConnection connection;
  StartAndLogIn(server, connection);
  TComponent module;
  TApplicationRoot root(module, TRootKind::rkDataModule);
  auto* env = new TMarvekEnv(&module);
  env->SetApplyTo(atServer);  // not connected: the values are stored only
  env->SetEpoch(1950);
  env->SetDateFormat(TMarvekDateFrmt::dfGerman);
  env->SetCentury(false);
  env->SetMemoBlockSize(512);
  env->SetDeleted(true);
  env->SetSoftSeek(true);
  env->SetExact(true);
  env->SetApplyTo(atLocal);
  TMarvekTable table;
  table.SetAccessMethod(TAccessMethod::amServer);
  table.SetMarvekConnection(&connection);
  table.SetDatabaseName("FILES");
  table.SetTableName("LOG.DBF");
  EXPECT_THROW(table.Open(), EMarvekError);  // with the table's own defaults
  env->SetApplyTo(atServer);
  EXPECT_THROW(table.Open(), EMarvekError);  // with the environment's settings
  connection.SetActive(false);
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(EnvTest, DeletedRecordsHiddenRefreshesOpenTables) {
  MakeTable("PEOPLE.DBF", "NAME,C,5,0", 4, [](xbase::TWorkAreaSet& s, int i) {
    s.Replace("NAME", 1024, "P" + std::to_string(i));
    if (i % 2 == 0) s.Delete();
  });
  StartWithData();
  auto c = WorkAreaTest::Connect();
  TComponent module;
  TApplicationRoot root(module, TRootKind::rkDataModule);
  auto* env = new TMarvekEnv(&module);
  env->SetApplyTo(atServer);
  env->SetMarvekConnection(c.get());
  auto* t = new TMarvekTable(&module);
  t->SetAccessMethod(TAccessMethod::amServer);
  t->SetMarvekConnection(c.get());
  t->SetDatabaseName("FILES");
  t->SetTableName("PEOPLE.DBF");
  t->Open();
  t->Next();
  EXPECT_EQ(t->FieldByName("NAME").AsString(), "P2");
  env->SetDeleted(true);  // the table shows what the server shows now
  EXPECT_EQ(t->FieldByName("NAME").AsString(), "P3");
  t->First();
  EXPECT_EQ(Column(*t, "NAME"), (std::vector<std::string>{"P1", "P3"}));
  t->Close();
  EXPECT_TRUE(errors.empty());
}

TEST_F(EnvTest, SearchWalksDataModulesThenForms) {
  TComponent form, module, other;
  TApplicationRoot form_root(form, TRootKind::rkForm);  // registered first, searched last
  TApplicationRoot module_root(module, TRootKind::rkDataModule);
  auto* in_form = new TMarvekEnv(&form);
  auto* first = new TMarvekEnv(&module);
  auto* frame = new TComponent(&module);
  auto* in_frame = new TMarvekEnv(frame);
  new TMarvekEnv(&other);  // in no data module or form
  auto* table = new TMarvekTable(&module);
  TMarvekSearchObject search;
  EXPECT_EQ(search.Next<TMarvekEnv>(), first);
  EXPECT_EQ(search.Next<TMarvekEnv>(), in_frame);
  EXPECT_EQ(search.Next<TMarvekEnv>(), in_form);
  EXPECT_EQ(search.Next<TMarvekEnv>(), nullptr);
  TMarvekSearchObject tables;
  EXPECT_EQ(tables.Next<TDataSet>(), table);  // a descendant of the class asked for
}

}  // namespace
}  // namespace tavrik::testing
