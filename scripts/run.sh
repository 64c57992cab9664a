#!/usr/bin/env bash
# Installs the dependencies, builds the program in release mode and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release
echo "Built. The program's libraries and tests are in build/release; nothing runnable yet."
