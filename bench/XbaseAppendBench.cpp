// Appends per second: 100,000 records appended and written whole through a work area, shared
// and exclusive, and shared with the table's own index kept current, against a raw fwrite of the
// same bytes in the same run (bench/run_xbase.sh).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "xbase/TableCreate.h"
#include "xbase/WorkAreaSet.h"

namespace {

using namespace tavrik::xbase;

constexpr int kRecords = 100000;
const char* kFields = "NAME,C,20,0;AMOUNT,N,10,2;DAY,D,8,0;OK,L,1,0";
constexpr size_t kRecordSize = 1 + 20 + 10 + 8 + 1;

// A folder of its own, removed with what is in it when the program ends.
std::string Folder() {
  struct TFolder {
    std::string path;
    TFolder() {
      std::string pattern = (std::filesystem::temp_directory_path() / "tavrik-bench-XXXXXX").string();
      path = ::mkdtemp(pattern.data()) ? pattern : std::string(".");
    }
    ~TFolder() {
      std::error_code ignored;
      if (path != ".") std::filesystem::remove_all(path, ignored);
    }
  };
  static TFolder folder;
  return folder.path;
}

std::string Record(int i) {
  char buf[64];
  std::snprintf(buf, sizeof buf, " %-20.20s%10.2f20240229T", ("record " + std::to_string(i)).c_str(), i * 0.25);
  return std::string(buf, kRecordSize);
}

void Appends(benchmark::State& state, int open_mode, bool indexed) {
  const std::string path = Folder() + "/APPEND.DBF";
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(Folder() + "/APPEND.MXI");
    CreateTable(path, ParseFieldList(kFields), 2, 0);
    TWorkAreaSet set;
    set.Use(path, "", open_mode, 2, 1);
    if (indexed) set.IndexTag("", "NAME", "NAME", "", false, false);
    state.ResumeTiming();
    for (int i = 0; i < kRecords; ++i) {
      set.AppendBlank();
      set.PutRecord(Record(i));
      set.Unlock(0);
    }
    set.Commit();
  }
  state.counters["records_per_s"] = benchmark::Counter(double(kRecords) * double(state.iterations()),
                                                      benchmark::Counter::kIsRate);
}

void BM_AppendShared(benchmark::State& state) { Appends(state, 0, false); }
void BM_AppendExclusive(benchmark::State& state) { Appends(state, 2, false); }
void BM_AppendIndexed(benchmark::State& state) { Appends(state, 0, true); }

// The same bytes, written by the C library with nothing checked or locked.
void BM_RawFwrite(benchmark::State& state) {
  const std::string path = Folder() + "/RAW.DBF";
  const std::string header(32 + 4 * 32 + 1, '\0');
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(header.data(), 1, header.size(), f);
    for (int i = 0; i < kRecords; ++i) {
      const std::string r = Record(i);
      std::fwrite(r.data(), 1, r.size(), f);
    }
    std::fclose(f);
  }
  state.counters["records_per_s"] = benchmark::Counter(double(kRecords) * double(state.iterations()),
                                                      benchmark::Counter::kIsRate);
}

BENCHMARK(BM_AppendShared)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_AppendExclusive)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_AppendIndexed)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RawFwrite)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
