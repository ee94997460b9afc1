#!/usr/bin/env bash
# The nightly job: builds the suite (with AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-nightly with the long tests
# registered, and runs those (the .tree reader fuzzed for a minute by the
# seeded mutator and for 20 seconds by libFuzzer where clang has it).
# ./test.sh runs the everyday suite, which only replays the fuzz seeds.
# Arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh --test
cmake -S . -B build-nightly -DCMAKE_BUILD_TYPE=Debug -DKOLVA_TESTS=ON -DKOLVA_SANITIZE=ON -DKOLVA_NIGHTLY=ON >/dev/null
cmake --build build-nightly -j"$(nproc)"
cd build-nightly
ctest --output-on-failure -L nightly "$@"
