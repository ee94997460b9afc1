#!/usr/bin/env bash
# Sets up, builds and starts KOLVA with its supplied database (build/bin/KOLVA.MDB).
set -euo pipefail
cd "$(dirname "$0")"
tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
exec build/bin/kolva "$@"
