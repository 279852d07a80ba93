#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: a normal
# build and an AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
run_suite() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja -DCORVALINE_WERROR=ON -DCORVALINE_BUILD_TESTS=ON "$@"
    cmake --build "$dir" -j "$jobs"
    (cd "$dir" && ctest --output-on-failure --no-tests=error -j "$jobs" --timeout 300)
}

echo "== Normal build"
run_suite build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== Sanitizer build (ASan + UBSan)"
run_suite build/asan -DCMAKE_BUILD_TYPE=Debug -DCORVALINE_SANITIZE=ON -DCORVALINE_BUILD_BENCH=OFF
