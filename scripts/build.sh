#!/usr/bin/env bash
# Configures and builds into the given folder: build.sh <dir> [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [[ ! -f "$dir/CMakeCache.txt" ]]; then
  cmake -S . -B "$dir" "${generator[@]}" "$@"
else
  cmake "$dir" "$@" >/dev/null
fi
cmake --build "$dir" --parallel "$(nproc)"
