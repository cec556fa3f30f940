#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test, ending with CTest's summary.
#   ./test.sh              a normal build in build/
#   ./test.sh --sanitize   AddressSanitizer and UndefinedBehaviorSanitizer, in build-asan/
#   further arguments go to ctest (for example -R Ini)
set -euo pipefail
cd "$(dirname "$0")"

dir=build
options=(-DTAVRIK_SANITIZE=OFF)
if [[ "${1:-}" == "--sanitize" ]]; then
  shift
  dir=build-asan
  options=(-DTAVRIK_SANITIZE=ON)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
  export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

scripts/setup.sh
scripts/build.sh "$dir" "${options[@]}"

export QT_QPA_PLATFORM=offscreen
cd "$dir"
ctest --output-on-failure --timeout 300 -j "$(nproc)" "$@"
