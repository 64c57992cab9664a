#!/usr/bin/env bash
# Installs the dependencies, builds the program in release mode and runs it: one copy, sending
# 1280 x 720 at 25p, the house watermark from two seconds after launch. Watch it with
#     ffplay tcp://127.0.0.1:5960
# Ctrl+C stops it in order.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release --target ndivantor-headless
# With a desktop session the copies find each other on its bus; without one the copy says so
# and runs alone as No 1.
exec build/release/headless/ndivantor-headless
