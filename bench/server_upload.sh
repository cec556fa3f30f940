#!/usr/bin/env bash
# marvekd upload benchmark: FileSend "0037" against a raw loopback copy of the same file, stored
# plainly (the reference) and as marvekd stores, and the server's peak memory while it stores it.
# Not part of ./test.sh. Target: throughput >= 0.9 of the reference.
#   bench/server_upload.sh [size in MiB, default 1024] [runs, default 3] [build folder, default build-release]
set -euo pipefail
cd "$(dirname "$0")/.."
mib=${1:-1024}
runs=${2:-3}
dir=${3:-build-release}
[[ -f "$dir/CMakeCache.txt" ]] || cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" --target server_upload_bench >/dev/null
"$dir/bin/server_upload_bench" "$mib" "$runs" | awk -F= '
  { v[$1] = $2; print }
  END {
    printf "upload throughput / raw loopback copy: %.2f (target >= 0.90)\n", v["upload_mib_s"] / v["raw_copy_mib_s"]
    printf "upload throughput / raw loopback copy stored as marvekd stores: %.2f (the server beyond its storage)\n",
      v["upload_mib_s"] / v["raw_copy_stored_as_server_mib_s"]
    print "(the reference leaves all write-back to its final fsync; marvekd writes back while the data arrives)"
    printf "server peak memory: %.1f MiB (%.1f MiB at start) for a %d MiB file: %.4f of the file size\n",
      v["server_vmhwm_kb_after"] / 1024, v["server_vmhwm_kb_before"] / 1024, v["file_mib"],
      v["server_vmhwm_kb_after"] / 1024 / v["file_mib"]
  }'
