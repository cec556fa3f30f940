#include "tests/zip/ZipTestSupport.h"

#include <zlib.h>

#include <fstream>
#include <random>
#include <sstream>

#include "tests/server/ChildProcess.h"

namespace tavrik::testing {

TRunResult Run(const std::vector<std::string>& argv, std::chrono::seconds timeout, long file_size_limit) {
  TChildProcess child(argv, file_size_limit);
  child.CloseStdin();
  TRunResult result;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (auto line = child.ReadLine(std::chrono::duration_cast<std::chrono::milliseconds>(
             deadline - std::chrono::steady_clock::now())))
    result.out += *line + "\n";
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  result.status = child.WaitExit(std::max(left, std::chrono::milliseconds(0))).value_or(-1);
  result.err = child.Stderr();
  return result;
}

TRunResult ZipPeer(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"/usr/bin/python3", ZIP_PEER_SCRIPT};
  argv.insert(argv.end(), args.begin(), args.end());
  return Run(argv);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << path;
}

std::string RecordText(size_t size, unsigned seed) {
  static const char* names[] = {"Jansen", "de Vries", "Bakker", "Visser", "Smit", "Meijer", "de Boer", "Mulder"};
  static const char* cities[] = {"Amsterdam", "Rotterdam", "Utrecht", "Groningen", "Tilburg", "Breda"};
  std::mt19937 random(seed);
  std::string text;
  text.reserve(size + 128);
  char record[128];
  for (int n = 1; text.size() < size; ++n) {
    std::snprintf(record, sizeof record, " %08d%-20s%-16s%10u%12.2f\n", n, names[random() % 8], cities[random() % 6],
                  static_cast<unsigned>(random() % 1000000), (random() % 10000000) / 100.0);
    text += record;
  }
  text.resize(size);
  return text;
}

void PutLE16(std::string& b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}

void PutLE32(std::string& b, size_t at, uint32_t v) {
  PutLE16(b, at, static_cast<uint16_t>(v & 0xFFFF));
  PutLE16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

std::string BuildArchive(const std::vector<TBuiltEntry>& entries, const std::string& comment) {
  std::string out, directory;
  for (const auto& e : entries) {
    uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
    std::string local(30, '\0');
    PutLE32(local, 0, 0x04034B50);
    PutLE16(local, 4, 10);
    PutLE16(local, 6, e.flags);
    PutLE32(local, 14, crc);
    PutLE32(local, 18, static_cast<uint32_t>(e.data.size()));
    PutLE32(local, 22, static_cast<uint32_t>(e.data.size()));
    PutLE16(local, 26, static_cast<uint16_t>(e.name.size()));
    std::string central(46, '\0');
    PutLE32(central, 0, 0x02014B50);
    PutLE16(central, 4, e.made_by);
    PutLE16(central, 6, 10);
    PutLE16(central, 8, e.flags);
    PutLE16(central, 12, 0x6000);  // 12:00
    PutLE16(central, 14, 0x5A21);  // 2025-01-01
    PutLE16(local, 10, 0x6000);
    PutLE16(local, 12, 0x5A21);
    PutLE32(central, 16, crc);
    PutLE32(central, 20, static_cast<uint32_t>(e.data.size()));
    PutLE32(central, 24, static_cast<uint32_t>(e.data.size()));
    PutLE16(central, 28, static_cast<uint16_t>(e.name.size()));
    PutLE16(central, 30, static_cast<uint16_t>(e.extra.size()));
    PutLE16(central, 32, static_cast<uint16_t>(e.comment.size()));
    PutLE32(central, 42, static_cast<uint32_t>(out.size()));
    out += local + e.name + e.data;
    directory += central + e.name + e.extra + e.comment;
  }
  std::string end(22, '\0');
  PutLE32(end, 0, 0x06054B50);
  PutLE16(end, 8, static_cast<uint16_t>(entries.size()));
  PutLE16(end, 10, static_cast<uint16_t>(entries.size()));
  PutLE32(end, 12, static_cast<uint32_t>(directory.size()));
  PutLE32(end, 16, static_cast<uint32_t>(out.size()));
  PutLE16(end, 20, static_cast<uint16_t>(comment.size()));
  return out + directory + end + comment;
}

}  // namespace tavrik::testing
