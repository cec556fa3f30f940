// The libFuzzer entry point (built with clang and -fsanitize=fuzzer).
#include "fuzz/SessionFuzzer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static tavrik::server::TSessionFuzzer fuzzer;
  fuzzer.Run(data, size);
  return 0;
}
