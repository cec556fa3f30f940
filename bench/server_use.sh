#!/usr/bin/env bash
# marvekd Use benchmark: 4,000 Use commands on one session, in blocks of 1,000; the cost of the
# last block against the first, measured in the same run (about 1 when a Use costs the same
# however many work areas are open). Not part of ./test.sh.
#   bench/server_use.sh [build folder, default build-bench]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-bench}
[[ -f "$dir/CMakeCache.txt" ]] || cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" --target server_use_bench -j2 >/dev/null
"$dir/bin/server_use_bench" | awk -F= '
  { print; t[NR] = $2 }
  END { printf "Use 3001-4000 / Use 1-1000: %.2f\n", t[4] / t[1] }'
