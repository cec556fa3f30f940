// Browsing a table forward through TMarvekTable, reading the value of every field of every
// record (as dbfread decodes every value it yields): over
// marvekd on loopback (FetchCount 50 and 500) and through libmde61.so. Makes BROWSE.DBF in the
// demo data folder of DIR and prints key=value lines (records per second); bench/table_browse.sh
// runs python3-dbfread over the same file and prints the ratios.
//   table_browse_bench DIR [records, default 100000] [runs of each, default 3] [local|server|both]
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <regex>
#include <string>

#include "net/MvConn.h"
#include "tables/MvoDSet.h"
#include "tests/server/ChildProcess.h"
#include "xbase/WorkAreaSet.h"

namespace {

using namespace std::chrono_literals;
using tavrik::TMarvekTable;
using tavrik::testing::TChildProcess;
using Clock = std::chrono::steady_clock;

void MakeTable(const std::string& path, int records) {
  tavrik::xbase::TWorkAreaSet set;
  set.Create(path, "NAME,C,20,0;AMOUNT,N,10,2;COUNT,N,8,0;BORN,D,8,0;OK,L,1,0", 3);
  set.Use(path, "", 2, 3, 1);
  char image[96];
  for (int i = 1; i <= records; ++i) {
    set.AppendBlank();
    std::snprintf(image, sizeof image, " %-20s%10.2f%8d%04d%02d%02d%c", ("Name " + std::to_string(i)).c_str(),
                  i * 1.25, i, 1950 + i % 70, 1 + i % 12, 1 + i % 28, i % 2 ? 'T' : 'F');
    set.PutRecord(std::string_view(image, 48));
  }
  set.Commit();
  set.Close();
}

// Records per second of the best of `runs` forward passes.
double Browse(TMarvekTable& table, int records, int runs) {
  double best = 0;
  for (int run = 0; run < runs; ++run) {
    table.Open();
    const auto start = Clock::now();
    int n = 0;
    size_t checksum = 0;
    for (table.First(); !table.Eof(); table.Next(), ++n)
      for (int f = 0; f < table.FieldCount(); ++f) checksum += !table.Fields(f).Value().IsNull();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    table.Close();
    if (n != records || checksum == 0) {
      std::fprintf(stderr, "read %d records, not %d\n", n, records);
      std::exit(1);
    }
    best = std::max(best, n / seconds);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: table_browse_bench DIR [records] [runs]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const int records = argc > 2 ? std::stoi(argv[2]) : 100000;
  const int runs = argc > 3 ? std::stoi(argv[3]) : 3;
  const std::string which = argc > 4 ? argv[4] : "both";
  {
    TChildProcess init({MARVEKD_PATH, "--init-demo", dir});
    if (init.WaitExit(60s) != 0) return 1;
  }
  const std::string table_path = dir + "/data/BROWSE.DBF";
  MakeTable(table_path, records);
  std::printf("table=%s\nrecords=%d\n", table_path.c_str(), records);

  if (which != "server") {
    TMarvekTable local;
    local.SetDatabaseName(dir + "/data");
    local.SetTableName("BROWSE.DBF");
    std::printf("local_records_s=%.0f\n", Browse(local, records, runs));
  }
  if (which == "local") return 0;

  TChildProcess server({MARVEKD_PATH, "--config", dir + "/marvekd.ini", "--port", "0"});
  const auto line = server.ReadLine(10s);
  std::smatch m;
  static const std::regex listening("marvekd listening on 127\\.0\\.0\\.1:([0-9]+)");
  if (!line || !std::regex_match(*line, m, listening)) return 1;
  tavrik::TMarvekConnection connection;
  connection.SetPort(std::stoi(m[1]));
  connection.SetUser("PORTAL");
  connection.SetPassword("qz7rmw");
  connection.SetActive(true);
  for (int fetch : {50, 500}) {
    TMarvekTable remote;
    remote.SetAccessMethod(tavrik::TAccessMethod::amServer);
    remote.SetMarvekConnection(&connection);
    remote.SetDatabaseName("FILES");
    remote.SetTableName("BROWSE.DBF");
    remote.SetFetchCount(fetch);
    std::printf("server%d_records_s=%.0f\n", fetch, Browse(remote, records, runs));
  }
  connection.SetActive(false);
  server.Signal(SIGTERM);
  server.WaitExit(10s);
  return 0;
}
