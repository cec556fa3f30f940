#!/usr/bin/env bash
# Installs what is missing, builds, and opens Tavrik.
set -euo pipefail
cd "$(dirname "$0")"

scripts/setup.sh
scripts/build.sh build

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display found. Run Tavrik on a virtual one with:  xvfb-run -a ./run.sh" >&2
  exit 1
fi
exec build/bin/tavrik
