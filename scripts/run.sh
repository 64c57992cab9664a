#!/usr/bin/env bash
# Installs the dependencies, builds the program in release mode and runs it: the main window,
# sending 1280 x 720 at 25p with the house watermark from two seconds after launch. Watch it with
#     ffplay tcp://127.0.0.1:5960
# On a machine without a display it says so and runs the same engine without a window
# (ndivantor-headless); Ctrl+C stops it in order.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release --target ndivantor ndivantor-headless
# With a desktop session the copies find each other on its bus; without one a copy says so and
# runs alone as No 1.
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/release/ui/ndivantor
fi
echo "run.sh: no display here (neither DISPLAY nor WAYLAND_DISPLAY is set): running the copy" \
     "without a window; Ctrl+C stops it" >&2
exec build/release/headless/ndivantor-headless
