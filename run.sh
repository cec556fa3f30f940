#!/usr/bin/env bash
# Installs what is missing, builds, starts the stand-in server marvekd on 127.0.0.1:8121 over the
# demo installation in demo/ (made on the first run), and opens Tavrik; the server stops when
# Tavrik closes, and also after Ctrl-C or a failure.
set -euo pipefail
cd "$(dirname "$0")"

scripts/setup.sh
scripts/build.sh build

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display found. Run Tavrik on a virtual one with:  xvfb-run -a ./run.sh" >&2
  exit 1
fi

demo=$PWD/demo
if [[ ! -f "$demo/marvekd.ini" ]]; then
  build/bin/marvekd --init-demo "$demo"
fi

# The server's own log goes to demo/marvekd.log (LogFile in its configuration); what it prints
# itself, and anything it writes before the log is open, to demo/marvekd.out.
server_pid=
stop_server() {
  if [[ -n "$server_pid" ]] && kill -0 "$server_pid" 2>/dev/null; then
    kill -TERM "$server_pid" 2>/dev/null || true
    for _ in $(seq 50); do
      kill -0 "$server_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$server_pid" 2>/dev/null || true
  fi
}
trap stop_server EXIT
trap 'exit 130' INT TERM

build/bin/marvekd --config "$demo/marvekd.ini" </dev/null >"$demo/marvekd.out" 2>&1 &
server_pid=$!

for _ in $(seq 100); do
  grep -q "^marvekd listening on " "$demo/marvekd.out" 2>/dev/null && break
  if ! kill -0 "$server_pid" 2>/dev/null; then
    echo "marvekd did not start:" >&2
    cat "$demo/marvekd.out" >&2
    tail -n 5 "$demo/marvekd.log" >&2 2>/dev/null || true
    exit 1
  fi
  sleep 0.1
done
if ! grep -q "^marvekd listening on " "$demo/marvekd.out"; then
  echo "marvekd did not listen within 10 seconds; see $demo/marvekd.log" >&2
  exit 1
fi
echo "$(head -n 1 "$demo/marvekd.out"); demo account: demo / welkom"

build/bin/tavrik
