#!/usr/bin/env bash
# Browsing 100,000 records forward through TMarvekTable (every field read): through libmde61.so
# and over marvekd on loopback with FetchCount 50 and 500, against python3-dbfread reading the
# same file in the same run. Not part of ./test.sh. Targets: local >= 5x dbfread, server with
# FetchCount 500 >= 2x dbfread.
#   bench/table_browse.sh [records, default 100000] [runs, default 3] [build folder, default build-release]
set -euo pipefail
cd "$(dirname "$0")/.."
records=${1:-100000}
runs=${2:-3}
dir=${3:-build-release}
[[ -f "$dir/CMakeCache.txt" ]] || cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" --target table_browse_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$dir/bin/table_browse_bench" "$work/demo" "$records" "$runs" > "$work/out"
cat "$work/out"
table=$(sed -n 's/^table=//p' "$work/out")
dbfread_rate=$(/usr/bin/python3 - "$table" "$runs" <<'PY'
import sys, time
import dbfread
best = 0
for _ in range(int(sys.argv[2])):
    start = time.perf_counter()
    n = sum(1 for _ in dbfread.DBF(sys.argv[1], encoding='cp1252'))
    best = max(best, n / (time.perf_counter() - start))
print('%.0f' % best)
PY
)
echo "dbfread_records_s=$dbfread_rate"
awk -F= -v dbfread="$dbfread_rate" '
  { v[$1] = $2 }
  END {
    printf "local / dbfread: %.2f (target 5)\n", v["local_records_s"] / dbfread
    printf "server FetchCount 50 / dbfread: %.2f\n", v["server50_records_s"] / dbfread
    printf "server FetchCount 500 / dbfread: %.2f (target 2)\n", v["server500_records_s"] / dbfread
  }' "$work/out"
