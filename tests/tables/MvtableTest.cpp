// mvtable: its commands, CSV output and exit statuses, on a local folder and on marvekd.
#include <gtest/gtest.h>

#include <sstream>

#include "tables/mvtable/MvTable.h"
#include "tests/net/ScriptedServer.h"
#include "tests/tables/TableFixture.h"

namespace tavrik::testing {
namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

class MvtableTest : public TableTest {
 protected:
  void SetUp() override {
    MakeTable("ITEMS.DBF", "NAME,C,12,0;QTY,N,4,0;PRICE,N,8,2;SINCE,D,8,0;OK,L,1,0;NOTE,M,10,0", 3,
              [](xbase::TWorkAreaSet& s, int i) {
                s.Replace("NAME", 1024, i == 2 ? "bolt, \"M8\"" : "item" + std::to_string(i));
                s.Replace("QTY", 1024, std::to_string(i * 10));
                if (i != 3) s.Replace("PRICE", 1024, std::to_string(i) + ".25");
                s.Replace("SINCE", 1024, "2003110" + std::to_string(i));
                s.Replace("OK", 1024, i == 1 ? "T" : "F");
                if (i == 1) s.Replace("NOTE", 3072, "two\r\nlines");
              });
    AddTag("ITEMS.DBF", "BYQTY", "QTY", "", false, true);
  }
  Result Run(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = mvtable::Run(args, out, err);
    return {status, out.str(), err.str()};
  }
  // Options go before ALIAS, which --local ignores.
  Result Local(std::vector<std::string> args, std::vector<std::string> options = {}) {
    args.insert(args.begin(), "ANY");
    args.insert(args.begin(), options.begin(), options.end());
    args.insert(args.begin(), {"--local", data});
    return Run(args);
  }
};

const std::string kHeader = "NAME,QTY,PRICE,SINCE,OK,NOTE\r\n";

TEST_F(MvtableTest, DumpAndStructure) {
  EXPECT_EQ(Local({"ITEMS.DBF", "dump"}).out, kHeader +
                                                 "item1,10,1.25,2003-11-01,T,\"two\r\nlines\"\r\n"
                                                 "\"bolt, \"\"M8\"\"\",20,2.25,2003-11-02,F,\r\n"
                                                 "item3,30,,2003-11-03,F,\r\n");
  const Result ordered = Local({"ITEMS.DBF", "dump"}, {"--order", "BYQTY", "--filter", "QTY > 10"});
  EXPECT_EQ(ordered.out, kHeader + "item3,30,,2003-11-03,F,\r\n\"bolt, \"\"M8\"\"\",20,2.25,2003-11-02,F,\r\n")
      << ordered.err;
  const Result s = Local({"ITEMS.DBF", "structure"});
  EXPECT_EQ(s.status, 0);
  EXPECT_EQ(s.out, "name,type,width,decimals\r\nNAME,C,12,0\r\nQTY,N,4,0\r\nPRICE,N,8,2\r\nSINCE,D,8,0\r\nOK,L,1,0\r\n"
                   "NOTE,M,10,0\r\n");
}

TEST_F(MvtableTest, LocateAndAppend) {
  Result r = Local({"ITEMS.DBF", "locate", "QTY", "20"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kHeader + "\"bolt, \"\"M8\"\"\",20,2.25,2003-11-02,F,\r\n");
  EXPECT_EQ(Local({"ITEMS.DBF", "locate", "SINCE", "2003-11-03"}).out, kHeader + "item3,30,,2003-11-03,F,\r\n");
  EXPECT_EQ(Local({"ITEMS.DBF", "locate", "OK", "T"}).out.substr(kHeader.size(), 5), "item1");
  r = Local({"ITEMS.DBF", "locate", "NAME", "nothing"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  r = Local({"ITEMS.DBF", "append", "NAME=new one", "QTY=7", "PRICE=0.5", "SINCE=2024-02-29", "OK=T", "NOTE=memo"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "4\r\n");
  EXPECT_EQ(Local({"ITEMS.DBF", "locate", "NAME", "new one"}).out, kHeader + "new one,7,0.5,2024-02-29,T,memo\r\n");
}

TEST_F(MvtableTest, OverTheServer) {
  StartWithData();
  const std::vector<std::string> connect = {"-p", std::to_string(Port()), "-u", "PORTAL", "-w", "qz7rmw", "-t", "10000"};
  auto with = [&](std::vector<std::string> rest) {
    std::vector<std::string> args = connect;
    args.insert(args.end(), rest.begin(), rest.end());
    return Run(args);
  };
  Result r = with({"FILES", "ITEMS.DBF", "append", "NAME=remote", "QTY=1"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "4\r\n");
  EXPECT_EQ(with({"FILES", "ITEMS.DBF", "locate", "NAME", "remote"}).out, kHeader + "remote,1,,,,\r\n");
  r = with({"NOALIAS", "ITEMS.DBF", "dump"});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("alias"), std::string::npos) << r.err;
  r = Run({"-p", std::to_string(ClosedPort()), "FILES", "ITEMS.DBF", "dump"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "[MarvekConnection.SetActive]No Marvek Database Server found at 127.0.0.1\n");
}

TEST_F(MvtableTest, BadCommandLinesAndFailures) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"A", "T"},
           {"A", "T", "frobnicate"},
           {"A", "T", "dump", "extra"},
           {"A", "T", "locate", "NAME"},
           {"A", "T", "append"},
           {"A", "T", "append", "NAME"},
           {"-p", "x", "A", "T", "dump"},
           {"--bogus", "A", "T", "dump"}}) {
    const Result r = Run(args);
    EXPECT_EQ(r.status, 2) << args.size();
    EXPECT_EQ(r.err.rfind("mvtable: ", 0), 0u);
    EXPECT_NE(r.err.find("usage: mvtable"), std::string::npos);
  }
  Result r = Local({"NOSUCH.DBF", "dump"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "Table, file or directory does not exist.\rFile: " + data + "/NOSUCH.DBF\n");
  r = Local({"ITEMS.DBF", "append", "QTY=12345"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "Translate error. Value out of bounds\n");
  r = Local({"ITEMS.DBF", "locate", "NOFIELD", "x"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "Field 'NOFIELD' not found\n");
}

}  // namespace
}  // namespace tavrik::testing
