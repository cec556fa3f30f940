// Parts of the engine on their own: the parallel deflate (one ordinary deflate stream whatever
// the block boundaries and thread count), patterns, and the entry names of specs.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>

#include "core/Exception.h"
#include "tests/support/TempDir.h"
#include "tests/zip/ZipTestSupport.h"
#include "zip/ZIPENG.h"
#include "zipeng/FileSpecs.h"
#include "zipeng/ParallelDeflate.h"

namespace tavrik::zipeng {
namespace {

std::string Inflate(const std::string& raw, size_t expected) {
  std::string out(expected + 1, '\0');
  z_stream s{};
  EXPECT_EQ(inflateInit2(&s, -MAX_WBITS), Z_OK);
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
  s.avail_in = static_cast<uInt>(raw.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&s, Z_FINISH), Z_STREAM_END);  // one stream, properly ended
  EXPECT_EQ(s.avail_in, 0u);                         // and nothing after its end
  out.resize(s.total_out);
  inflateEnd(&s);
  return out;
}

struct TDeflated {
  std::string output;
  uint32_t crc = 0;
  size_t pieces = 0;
  uint64_t input_reported = 0;
};

TDeflated Deflate(TParallelDeflate& deflate, const std::string& input) {
  TDeflated result;
  size_t offset = 0;
  result.crc = deflate.Run(
      input.size(),
      [&](uint8_t* buffer, size_t n) {
        std::memcpy(buffer, input.data() + offset, n);
        offset += n;
      },
      [&](const uint8_t* data, size_t n, size_t input_bytes) {
        result.output.append(reinterpret_cast<const char*>(data), n);
        ++result.pieces;
        result.input_reported += input_bytes;
      });
  return result;
}

TEST(ParallelDeflate, OneOrdinaryStreamWhateverTheBlocks) {
  const size_t block = kDeflateBlockSize;
  const size_t sizes[] = {0, 1, kDeflateDictionarySize - 1, kDeflateDictionarySize, block - 1, block, block + 1,
                          3 * block + 5};
  for (unsigned threads : {1u, 3u}) {
    for (int level : {1, 6, 9}) {
      TParallelDeflate deflate(level, threads);
      EXPECT_EQ(deflate.Threads(), threads);
      for (size_t size : sizes) {
        SCOPED_TRACE(::testing::Message() << "threads " << threads << " level " << level << " size " << size);
        std::string input = testing::RecordText(size, static_cast<unsigned>(size));
        TDeflated d = Deflate(deflate, input);
        EXPECT_EQ(Inflate(d.output, size), input);
        EXPECT_EQ(d.crc, crc32(0, reinterpret_cast<const Bytef*>(input.data()), static_cast<uInt>(size)));
        EXPECT_EQ(d.pieces, std::max<size_t>(1, (size + block - 1) / block));
        EXPECT_EQ(d.input_reported, size);
      }
    }
  }
}

TEST(ParallelDeflate, BlocksCostAlmostNothingInSize) {
  const std::string input = testing::RecordText(8 * kDeflateBlockSize);
  TParallelDeflate deflate(9, 2);
  size_t parallel = Deflate(deflate, input).output.size();
  uLongf single = compressBound(static_cast<uLong>(input.size()));
  std::string whole(single, '\0');
  ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(whole.data()), &single, reinterpret_cast<const Bytef*>(input.data()),
                      static_cast<uLong>(input.size()), 9),
            Z_OK);
  // The dictionary keeps the matches across block boundaries.
  EXPECT_LT(static_cast<double>(parallel), single * 1.005);
}

TEST(ParallelDeflate, ErrorsEndTheRunAndTheWorkersStayUsable) {
  const std::string input = testing::RecordText(6 * kDeflateBlockSize);
  TParallelDeflate deflate(6, 2);
  int reads = 0;
  auto failing_read = [&](uint8_t*, size_t) {
    if (++reads == 4) throw Exception("read failed");
  };
  auto no_write = [](const uint8_t*, size_t, size_t) {};
  EXPECT_THROW(deflate.Run(input.size(), failing_read, no_write), Exception);
  int writes = 0;
  auto any_read = [](uint8_t*, size_t) {};
  auto failing_write = [&](const uint8_t*, size_t, size_t) {
    if (++writes == 2) throw Exception("write failed");
  };
  EXPECT_THROW(deflate.Run(input.size(), any_read, failing_write), Exception);
  EXPECT_EQ(Inflate(Deflate(deflate, input).output, input.size()), input);
}

TEST(FileSpecs, PatternsKnowOnlyStarAndQuestionMark) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"*.txt", "a.txt", true},     {"*.txt", "a.txt.bak", false}, {"?.db", "x.db", true},
      {"?.db", "xy.db", false},     {"[ab].txt", "a.txt", false},  {"[ab].txt", "[ab].txt", true},
      {"a\\b", "a\\b", true},       {"*", ".hidden", true},        {"src/*", "src/sub/c.txt", true},
      {"data", "data", true},       {"data", "data2", false},
  };
  for (const auto& [pattern, name, matches] : cases) EXPECT_EQ(MatchesPattern(pattern, name), matches) << pattern << " " << name;
}

TEST(FileSpecs, EntryNamesNeverClimbAboveTheirStart) {
  testing::TempDir dir;
  std::filesystem::create_directories(dir.File("a/b"));
  testing::WriteFile(dir.File("a/b/f.txt"), "f");
  const std::string root = dir.Path() + "/";
  const std::string folder = dir.Path().substr(dir.Path().rfind('/') + 1);
  const std::pair<std::string, std::string> cases[] = {
      {"a/b/f.txt", "a/b/f.txt"},
      {"./a//b/./f.txt", "a/b/f.txt"},
      {"a/b/../b/f.txt", "a/b/f.txt"},
      {"a/../../" + folder + "/a/b/f.txt", folder + "/a/b/f.txt"},
  };
  for (const auto& [spec, entry] : cases) {
    std::vector<TSpec> specs{{spec, root, false, false, ""}};
    std::vector<std::string> problems;
    auto files = ExpandSpecs(specs, {}, [&](int, const std::string& text) { problems.push_back(text); });
    ASSERT_EQ(files.size(), 1u) << spec;
    EXPECT_EQ(files[0].entry_name, entry) << spec;
    EXPECT_TRUE(problems.empty());
  }
}

}  // namespace
}  // namespace tavrik::zipeng
