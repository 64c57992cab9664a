#!/usr/bin/env bash
# Installs the dependencies, builds the program in release mode and runs it: one copy, sending
# 1280 x 720 at 25p, the house watermark from two seconds after launch. Watch it with
#     ffplay tcp://127.0.0.1:5960
# Ctrl+C stops it in order.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release
if [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  exec build/release/headless/ndivantor-headless
fi
# No desktop session: a session bus of its own, so further copies started the same way alone
# still run as copy No 1 each on their own port.
exec dbus-run-session -- build/release/headless/ndivantor-headless
