#!/usr/bin/env bash
# Builds the Debian package of Corvaline: installs what is missing, builds the
# program and its tools (without tests and benchmarks) and runs CPack, which
# leaves corvaline_<version>_<architecture>.deb in the build folder, checked by
# lintian.
#   scripts/package.sh [build folder]     (default build/package)
# Install it with: sudo apt install ./build/package/corvaline_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=${1:-build/package}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVALINE_BUILD_TESTS=OFF -DCORVALINE_BUILD_BENCH=OFF
cmake --build "$build" -j "${CORVALINE_JOBS:-$(nproc)}"
(cd "$build" && cpack -G DEB)
ls "$build"/corvaline_*.deb
# Debian's own checks of the package: no error passes, warnings are shown.
lintian --allow-root "$build"/corvaline_*.deb
