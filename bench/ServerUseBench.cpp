// marvekd Use benchmark: 4,000 Use commands on one session of an in-process server, timed in four
// blocks of 1,000, so that the cost of a Use can be compared with the number of work areas the
// session has open already. Prints key=value lines; bench/server_use.sh turns them into ratios.
#include <chrono>
#include <cstdio>
#include <string>

#include "net/MvConn.h"
#include "server/Server.h"
#include "tests/support/TempDir.h"
#include "xbase/WorkAreaSet.h"

using namespace tavrik;

int main() {
  constexpr int kBlocks = 4, kBlock = 1000;
  testing::TempDir dir;
  const std::string data = dir.File("data");
  std::filesystem::create_directory(data);
  {
    xbase::TWorkAreaSet set;
    set.Create(data + "/T.DBF", "NAME,C,10,0", 3);
    set.Use(data + "/T.DBF", "", 0, 3, 1);
    set.AppendBlank();
    set.Close();
  }
  server::TServerConfig config;
  config.port = 0;
  config.accounts.Set("PORTAL", "qz7rmw");
  config.aliases.Set("FILES", data);
  config.max_work_areas = kBlocks * kBlock;
  server::TServerLog log([](const std::string&) {});
  server::TServer server(config, log);
  server.Start();

  TMarvekConnection c;
  c.SetPort(server.Port());
  c.SetUser("PORTAL");
  c.SetPassword("qz7rmw");
  c.SetActive(true);
  TMvUseParams params;
  params.DatabaseName = "FILES";
  params.TableName = "T.DBF";
  TMvTableInfo info;
  for (int block = 0; block < kBlocks; ++block) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kBlock; ++i)
      if (c.Use(params, info) != block * kBlock + i + 1) {
        std::fprintf(stderr, "Use %d failed: %s\n", block * kBlock + i + 1, info.ErrorMessage.c_str());
        return 1;
      }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("uses_%d_to_%d_ms=%.1f\n", block * kBlock + 1, (block + 1) * kBlock, took.count());
  }
  c.SetActive(false);
  return 0;
}
