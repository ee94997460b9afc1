#!/usr/bin/env bash
# Sets up, builds (with AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs the whole test suite, headless.
set -euo pipefail
cd "$(dirname "$0")"
tools/setup.sh --test
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DKOLVA_TESTS=ON -DKOLVA_SANITIZE=ON >/dev/null
cmake --build build-test -j"$(nproc)"
cd build-test
ctest --output-on-failure -j"$(nproc)" "$@"
