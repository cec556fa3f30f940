// Runs the session fuzz target over files and folders of inputs without libFuzzer:
//   marvekd_fuzz_corpus fuzz/corpus [more files or folders...]
// Prints how many inputs ran; a broken rule aborts with its description.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/SessionFuzzer.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  tavrik::server::TSessionFuzzer fuzzer;
  size_t count = 0;
  auto run = [&](const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fuzzer.Run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++count;
  };
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    if (fs::is_directory(argv[i], ec)) {
      for (const auto& e : fs::recursive_directory_iterator(argv[i]))
        if (e.is_regular_file()) run(e.path());
    } else if (fs::is_regular_file(argv[i], ec)) {
      run(argv[i]);
    } else {
      std::fprintf(stderr, "marvekd_fuzz_corpus: no such file or folder: %s\n", argv[i]);
      return 2;
    }
  }
  std::printf("%zu inputs, no rule broken\n", count);
  return 0;
}
