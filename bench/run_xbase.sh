#!/usr/bin/env bash
# Engine benchmark, in an optimised build, each rate beside a reference measured in the same run:
#   appends per second (100,000 records per round, each appended blank and written whole) in
#   shared and exclusive use and with the table's own index kept current, against a raw fwrite
#   of the same bytes;
#   seeks per second through a work area on an indexed table of 100,000 records, against
#   std::map lookups of the same keys.
# Not part of ./test.sh.
#   bench/run_xbase.sh [build folder, default build-bench]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-bench}
[[ -f "$dir/CMakeCache.txt" ]] || cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" --target xbase_bench -j2 >/dev/null
"$dir/bin/xbase_bench" --benchmark_format=json 2>/dev/null | /usr/bin/python3 -c '
import json, sys
runs = {b["name"].split("/")[0]: b for b in json.load(sys.stdin)["benchmarks"]}
raw = runs["BM_RawFwrite"]["records_per_s"]
print("raw fwrite records per second: %.0f" % raw)
for name, label in (("BM_AppendShared", "shared"), ("BM_AppendExclusive", "exclusive"),
                    ("BM_AppendIndexed", "shared, indexed")):
    rate = runs[name]["records_per_s"]
    print("appends per second, %s: %.0f (%.3f of raw fwrite)" % (label, rate, rate / raw))
lookups = runs["BM_MapLookup"]["per_s"]
seeks = runs["BM_SeekWorkArea"]["per_s"]
print("std::map lookups per second: %.0f" % lookups)
print("seeks per second through a work area: %.0f (%.3f of std::map)" % (seeks, seeks / lookups))
if runs["BM_SeekWorkArea"]["misses"]:
    sys.exit("seeks that missed their record: %d" % runs["BM_SeekWorkArea"]["misses"])
'
