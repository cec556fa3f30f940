#!/usr/bin/env bash
# Table append benchmark: records appended per second (100,000 per round, each appended blank and
# written whole) in shared and exclusive use, against a raw fwrite of the same bytes measured in
# the same run, in an optimised build. Not part of ./test.sh.
#   bench/run_xbase.sh [build folder, default build-bench]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-bench}
[[ -f "$dir/CMakeCache.txt" ]] || cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" --target xbase_append_bench -j2 >/dev/null
"$dir/bin/xbase_append_bench" --benchmark_format=json 2>/dev/null | /usr/bin/python3 -c '
import json, sys
rates = {b["name"].split("/")[0]: b["records_per_s"] for b in json.load(sys.stdin)["benchmarks"]}
raw = rates["BM_RawFwrite"]
print("raw fwrite records per second: %.0f" % raw)
for name, label in (("BM_AppendShared", "shared"), ("BM_AppendExclusive", "exclusive")):
    print("appends per second, %s: %.0f (%.3f of raw fwrite)" % (label, rates[name], rates[name] / raw))
'
