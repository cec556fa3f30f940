#!/usr/bin/env bash
# Index seek benchmark: seeks per second on an order of 100,000 records against std::map lookups
# of the same keys in the same run, in an optimised build. Not part of ./test.sh.
#   bench/order_seek.sh [build folder, default build-bench]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-bench}
[[ -f "$dir/CMakeCache.txt" ]] || cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" --target order_seek_bench -j2 >/dev/null
"$dir/bin/order_seek_bench" | awk -F= '
  { v[$1] = $2; print }
  END { printf "index seek / std::map lookup: %.3f\n", v["index_seeks_per_s"] / v["map_lookups_per_s"] }'
