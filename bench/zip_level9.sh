#!/usr/bin/env bash
# ZIP engine benchmark: a file shaped like a database table (200 MB unless told otherwise) is
# compressed at level 9 by zipwright (libzipeng.so, deflate on every core) and by Info-ZIP
# zip -9 in the same run. Prints the ratio of wall times (best of the runs each), the ratio of
# archive sizes and the peak memory of the zipwright process. Not part of ./test.sh. It builds
# an optimised copy of the tool in build-release/ (only the targets it needs).
#   bench/zip_level9.sh [size in MB, default 200] [runs, default 3] [work folder, default /tmp/tavrik-zip-bench]
set -euo pipefail
cd "$(dirname "$0")/.."
mb=${1:-200}
runs=${2:-3}
work=${3:-/tmp/tavrik-zip-bench}
dir=build-release
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
[[ -f "$dir/CMakeCache.txt" ]] || cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" --target zip_bench zipwright zipeng >/dev/null
"$dir/bin/zip_bench" "$mb" "$runs" "$work" "$PWD/$dir/bin/zipwright" | awk -F= '
  { v[$1] = $2; print }
  END {
    printf "wall time, zipwright / zip -9: %.3f (target 0.55 or less)\n", v["zipwright_seconds"] / v["zip_seconds"]
    printf "archive size, zipwright / zip -9: %.4f (target 1.005 or less)\n", v["zipwright_bytes"] / v["zip_bytes"]
    printf "peak memory of zipwright: %.1f MiB (target 64 MiB or less; zip -9: %.1f MiB)\n",
      v["zipwright_max_rss_kb"] / 1024, v["zip_max_rss_kb"] / 1024
  }'
