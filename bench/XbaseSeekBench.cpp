// Seeks per second through a work area on a table of 100,000 records with its own index, beside
// std::map lookups of the same keys in the same run (bench/run_xbase.sh).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "xbase/TableCreate.h"
#include "xbase/WorkAreaSet.h"

namespace {

using namespace tavrik::xbase;

constexpr uint32_t kRecords = 100000;

std::string Key(uint32_t n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "K%08u", n * 3);
  return buf;
}

// The table, its index and the probes, made once; removed when the program ends.
struct TSeekTable {
  std::string dir;
  std::unique_ptr<TWorkAreaSet> set;
  std::map<std::string, uint32_t> reference;
  std::vector<std::string> probes;

  TSeekTable() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavrik-seek-XXXXXX").string();
    dir = ::mkdtemp(pattern.data()) ? pattern : std::string(".");
    const std::string path = dir + "/SEEK.DBF";
    CreateTable(path, ParseFieldList("NAME,C,20,0;AMOUNT,N,10,2"), 2, 0);
    set = std::make_unique<TWorkAreaSet>();
    set->Use(path, "", 2, 2, 1);
    std::mt19937 rng(2024);
    std::vector<uint32_t> values(kRecords);
    std::iota(values.begin(), values.end(), 0u);
    std::shuffle(values.begin(), values.end(), rng);  // keys not in record order
    char record[64];
    for (uint32_t i = 0; i < kRecords; ++i) {
      set->AppendBlank();
      std::snprintf(record, sizeof record, " %-20s%10.2f", Key(values[i]).c_str(), i * 0.5);
      set->PutRecord(std::string_view(record, 31));
      reference.emplace(Key(values[i]), i + 1);
    }
    set->Unlock(0);
    set->IndexTag("", "NAME", "NAME", "", false, false);
    set->SetExact(true);
    for (uint32_t i = 0; i < kRecords; ++i) probes.push_back(Key(values[rng() % kRecords]));
  }
  ~TSeekTable() {
    set.reset();
    std::error_code ignored;
    if (dir != ".") std::filesystem::remove_all(dir, ignored);
  }
};

TSeekTable& Table() {
  static TSeekTable table;
  return table;
}

void BM_SeekWorkArea(benchmark::State& state) {
  TSeekTable& t = Table();
  size_t i = 0, misses = 0;
  for (auto _ : state) {
    const std::string& probe = t.probes[i++ % t.probes.size()];
    if (!t.set->Seek(probe) || uint32_t(t.set->RecNo()) != t.reference.find(probe)->second) ++misses;
  }
  state.counters["per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["misses"] = double(misses);
}

void BM_MapLookup(benchmark::State& state) {
  TSeekTable& t = Table();
  size_t i = 0;
  uint64_t sum = 0;
  for (auto _ : state) {
    sum += t.reference.find(t.probes[i++ % t.probes.size()])->second;
    benchmark::DoNotOptimize(sum);
  }
  state.counters["per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_SeekWorkArea)->MinTime(1.0);
BENCHMARK(BM_MapLookup)->MinTime(1.0);

}  // namespace
