// Seek speed of an index order on 100,000 records, beside std::map lookups of the same keys in
// the same run, plus the rates of building, walking and updating. Prints key=value lines; the
// script order_seek.sh adds the ratio.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "xbase/IndexFile.h"
#include "xbase/Order.h"

using namespace tavrik::xbase;

namespace {

// One character field, KEYFLD C10, after the deletion flag.
class TBenchTable : public TExprContext, public TRecordSource {
 public:
  int FieldIndex(std::string_view name) const override { return name == "KEYFLD" ? 0 : -1; }
  const TFieldInfo& Field(int) const override { return field_; }
  std::string_view RecordImage() const override { return records_.front(); }
  uint32_t RecNo() const override { return 1; }
  const TEngineSettings& Settings() const override { return settings_; }
  uint32_t RecordCount() override { return static_cast<uint32_t>(records_.size()); }
  std::string_view RecordImage(uint32_t recno) override { return records_[recno - 1]; }

  std::vector<std::string> records_;
  TFieldInfo field_{"KEYFLD", 'C', 10, 0, 1};
  TEngineSettings settings_;
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string KeyText(uint32_t n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "K%08u ", n);
  return buf;
}

// A record image: the deletion flag, then the key field.
std::string Image(uint32_t n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, " K%08u ", n);
  return buf;
}

}  // namespace

int main() {
  constexpr uint32_t kRecords = 100000;
  std::mt19937 rng(2024);
  std::vector<uint32_t> values(kRecords);
  std::iota(values.begin(), values.end(), 0u);
  std::shuffle(values.begin(), values.end(), rng);  // keys not in record order

  TBenchTable table;
  std::map<std::string, uint32_t> reference;
  for (uint32_t i = 0; i < kRecords; ++i) {
    table.records_.push_back(Image(values[i] * 3));
    reference.emplace(KeyText(values[i] * 3), i + 1);
  }

  char path[] = "/tmp/tavrik-seek-bench-XXXXXX";
  int fd = ::mkstemp(path);
  if (fd < 0) return 1;
  ::close(fd);

  auto start = std::chrono::steady_clock::now();
  auto file = TIndexFile::Create(path, table);
  file->CreateTag({"KEYFLD", "KEYFLD", "", false, false}, table, table);
  double build_s = Seconds(start);
  TIndexOrder order(file, 0, table);

  std::vector<std::string> probes;
  for (uint32_t i = 0; i < kRecords; ++i) probes.push_back(KeyText(values[rng() % kRecords] * 3));

  // Every seek must find its record; checked once, outside the timing.
  size_t misses = 0;
  for (const std::string& p : probes) {
    TSeekResult r = order.Seek(p);
    if (!r.found || r.recno != reference.find(p)->second) ++misses;
  }

  // Rounds over every probe until half a second has passed, for each side.
  uint64_t sum = 0;
  size_t seeks = 0;
  start = std::chrono::steady_clock::now();
  do {
    for (const std::string& p : probes) sum += order.Seek(p).recno;
    seeks += probes.size();
  } while (Seconds(start) < 0.5);
  double seek_rate = seeks / Seconds(start);
  size_t lookups = 0;
  start = std::chrono::steady_clock::now();
  do {
    for (const std::string& p : probes) sum += reference.find(p)->second;
    lookups += probes.size();
  } while (Seconds(start) < 0.5);
  double map_rate = lookups / Seconds(start);

  start = std::chrono::steady_clock::now();
  size_t walked = 0;
  for (uint32_t r = order.First(); r != 0; r = order.Next(r, table.RecordImage(r))) ++walked;
  double walk_rate = walked / Seconds(start);

  // Key changes as a table tells them: each record gets a new key, old image beside new.
  start = std::chrono::steady_clock::now();
  size_t updates = 0;
  for (uint32_t i = 0; i < 20000; ++i) {
    uint32_t recno = 1 + rng() % kRecords;
    std::string old_image = table.records_[recno - 1];
    table.records_[recno - 1] = Image(rng() % (kRecords * 3));
    file->RecordChanged(recno, old_image, table.records_[recno - 1]);
    ++updates;
  }
  file->Flush();
  double update_rate = updates / Seconds(start);

  std::printf("records=%u\n", kRecords);
  std::printf("index_build_ms=%.0f\n", build_s * 1000);
  std::printf("index_seeks_per_s=%.0f\n", seek_rate);
  std::printf("map_lookups_per_s=%.0f\n", map_rate);
  std::printf("walk_records_per_s=%.0f\n", walk_rate);
  std::printf("key_updates_per_s=%.0f\n", update_rate);
  std::printf("seek_misses=%zu\n", misses + (walked != kRecords ? 1 : 0) + (sum == 0 ? 1 : 0));
  file.reset();
  ::unlink(path);
  return misses == 0 && walked == kRecords ? 0 : 1;
}
