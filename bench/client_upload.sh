#!/usr/bin/env bash
# Client upload benchmark: TMarvekConnection::FileSend of a file to marvekd against a raw loopback
# copy of the same file in the same run, and the client's peak memory. Not part of ./test.sh.
# Targets: throughput >= 0.9 of the raw copy; client peak memory <= 64 MiB.
#   bench/client_upload.sh [size in MiB, default 1024] [runs, default 3] [build folder, default build-release]
set -euo pipefail
cd "$(dirname "$0")/.."
mib=${1:-1024}
runs=${2:-3}
dir=${3:-build-release}
[[ -f "$dir/CMakeCache.txt" ]] || cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" --target client_upload_bench >/dev/null
"$dir/bin/client_upload_bench" "$mib" "$runs" | awk -F= '
  { v[$1] = $2; print }
  END {
    printf "FileSend to marvekd / raw loopback copy: %.2f (target >= 0.90)\n", v["upload_mib_s"] / v["raw_copy_mib_s"]
    print "(the reference leaves all write-back to its final fsync; marvekd writes back while the data arrives)"
    printf "FileSend to the raw receiver / raw loopback copy: %.2f (the client alone)\n",
      v["client_to_raw_receiver_mib_s"] / v["raw_copy_mib_s"]
    printf "client peak memory: %.1f MiB (%.1f MiB before the first upload) for a %d MiB file (target <= 64 MiB)\n",
      v["client_vmhwm_kb_after"] / 1024, v["client_vmhwm_kb_before"] / 1024, v["file_mib"]
  }'
