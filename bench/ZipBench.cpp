// ZIP benchmark: a file shaped like a database table (fixed-width records of repeated text and
// numbers), compressed at level 9 by zipwright (libzipeng.so, deflate on every core) and by
// Info-ZIP zip -9, each run as a child process and timed on the wall clock; the peak memory of
// each is the child's maximum resident set size.
//   zip_bench MB RUNS WORKDIR ZIPWRIGHT
// Prints key=value lines; bench/zip_level9.sh turns them into ratios.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Writes `bytes` bytes of records: a number, a name, an address, amounts, a date, a status and a
// remark, each padded to its width as a DBF table stores them.
void Generate(const std::string& path, uint64_t bytes) {
  static const char* surnames[] = {"Jansen", "de Vries", "van den Berg", "Bakker", "Visser", "Smit", "Meijer",
                                   "de Boer", "Mulder", "de Groot", "Bos", "Vos", "Peters", "Hendriks", "Dekker"};
  static const char* first[] = {"Jan", "Piet", "Klaas", "Anna", "Marie", "Els", "Joost", "Sanne", "Femke", "Bram"};
  static const char* streets[] = {"Hoofdstraat", "Kerkstraat", "Dorpsstraat", "Schoolstraat", "Molenweg",
                                  "Stationsweg", "Julianastraat", "Beatrixlaan"};
  static const char* cities[] = {"Amsterdam", "Rotterdam", "Den Haag", "Utrecht", "Eindhoven", "Groningen",
                                 "Tilburg", "Almere", "Breda", "Nijmegen"};
  static const char* states[] = {"", "", "Betaald", "Openstaand", "Herinnering verstuurd", "Geannuleerd"};
  static const char* remarks[] = {"", "", "", "Klant belt terug", "Adres gewijzigd", "Levering volgende week",
                                  "Factuur per post", "Korting afgesproken"};
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) {
    std::perror(path.c_str());
    std::exit(1);
  }
  std::mt19937 random(7);
  auto pick = [&](auto& list) { return list[random() % std::size(list)]; };
  char record[256];
  uint64_t written = 0;
  for (unsigned n = 1; written < bytes; ++n) {
    int len = std::snprintf(record, sizeof record, " %08u%-20s%-12s%-24s%5u%-16s%04u%-2s%12.2f%10u%04u%02u%02u%-22s%-30s",
                            n, pick(surnames), pick(first), pick(streets), 1 + static_cast<unsigned>(random() % 300),
                            pick(cities), 1000 + static_cast<unsigned>(random() % 9000), random() % 2 ? "AB" : "XK",
                            (random() % 10000000) / 100.0, static_cast<unsigned>(random() % 1000000000),
                            2000 + static_cast<unsigned>(random() % 25), 1 + static_cast<unsigned>(random() % 12),
                            1 + static_cast<unsigned>(random() % 28), pick(states), pick(remarks));
    size_t n_bytes = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(len), bytes - written));
    std::fwrite(record, 1, n_bytes, out);
    written += n_bytes;
  }
  std::fclose(out);
}

struct Measured {
  double seconds = 0;
  long max_rss_kb = 0;
  int status = -1;
};

Measured RunTimed(const std::vector<std::string>& argv, const std::string& cwd) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  Measured m;
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.max_rss_kb = usage.ru_maxrss;
  m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: zip_bench MB RUNS WORKDIR ZIPWRIGHT\n");
    return 2;
  }
  const uint64_t bytes = std::strtoull(argv[1], nullptr, 10) * 1000000ull;
  const int runs = std::max(1, std::atoi(argv[2]));
  const std::string work = argv[3];
  const std::string zipwright = argv[4];
  fs::create_directories(work);
  const std::string data = work + "/records.dbf";
  if (!fs::exists(data) || fs::file_size(data) != bytes) Generate(data, bytes);

  double zip_best = 1e30, engine_best = 1e30;
  long zip_rss = 0, engine_rss = 0;
  for (int run = 0; run < runs; ++run) {
    fs::remove(work + "/reference.zip");
    fs::remove(work + "/engine.zip");
    Measured ref = RunTimed({"/usr/bin/zip", "-9", "-q", "reference.zip", "records.dbf"}, work);
    Measured eng = RunTimed({zipwright, "add", "-9", "engine.zip", "records.dbf"}, work);
    if (ref.status != 0 || eng.status != 0) {
      std::fprintf(stderr, "zip_bench: a run failed (zip %d, zipwright %d)\n", ref.status, eng.status);
      return 1;
    }
    std::printf("run%d_zip_seconds=%.3f\nrun%d_zipwright_seconds=%.3f\n", run + 1, ref.seconds, run + 1, eng.seconds);
    zip_best = std::min(zip_best, ref.seconds);
    engine_best = std::min(engine_best, eng.seconds);
    zip_rss = std::max(zip_rss, ref.max_rss_kb);
    engine_rss = std::max(engine_rss, eng.max_rss_kb);
  }
  Measured tested = RunTimed({"/usr/bin/unzip", "-tqq", "engine.zip"}, work);
  std::printf("file_mb=%.1f\ncores=%u\n", bytes / 1e6, std::thread::hardware_concurrency());
  std::printf("zip_seconds=%.3f\nzipwright_seconds=%.3f\n", zip_best, engine_best);
  std::printf("zip_bytes=%ju\nzipwright_bytes=%ju\n", static_cast<uintmax_t>(fs::file_size(work + "/reference.zip")),
              static_cast<uintmax_t>(fs::file_size(work + "/engine.zip")));
  std::printf("zip_max_rss_kb=%ld\nzipwright_max_rss_kb=%ld\n", zip_rss, engine_rss);
  std::printf("unzip_test=%s\n", tested.status == 0 ? "ok" : "FAILED");
  return tested.status == 0 ? 0 : 1;
}
