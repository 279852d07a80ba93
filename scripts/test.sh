#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: a normal
# build and an AddressSanitizer + UndefinedBehaviorSanitizer build. The
# real-PBX suite (label realpbx) runs in the normal build only, once against
# each Asterisk build found in CORVALINE_ASTERISK_ARCHIVES (default: the
# shared folder beside the checkout, ../shared/asterisk, then
# /work/shared/asterisk), or against CORVALINE_ASTERISK when it is set.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
run_suite() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja -DCORVALINE_WERROR=ON -DCORVALINE_BUILD_TESTS=ON "$@"
    cmake --build "$dir" -j "$jobs"
    (cd "$dir" && ctest --output-on-failure --no-tests=error -j "$jobs" --timeout 300 -LE realpbx)
}

# The real-PBX suite against one Asterisk (a prefix or a .tar.xz build); its
# files run one after the other, each with its own PBX.
run_realpbx() {
    echo "== Real PBX: $1"
    local start=$SECONDS
    (cd build/release && CORVALINE_ASTERISK="$1" ctest --output-on-failure --no-tests=error -L realpbx)
    echo "== Real PBX: $1 took $((SECONDS - start)) s"
}

echo "== Normal build"
run_suite build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ -n "${CORVALINE_ASTERISK:-}" ]; then
    run_realpbx "$CORVALINE_ASTERISK"
else
    archives=${CORVALINE_ASTERISK_ARCHIVES:-}
    [ -z "$archives" ] && [ -d ../shared/asterisk ] && archives=../shared/asterisk
    [ -z "$archives" ] && [ -d /work/shared/asterisk ] && archives=/work/shared/asterisk
    found=0
    if [ -n "$archives" ]; then
        for archive in "$(cd "$archives" && pwd)"/asterisk-*.tar.xz; do
            [ -e "$archive" ] || continue
            run_realpbx "$archive"
            found=1
        done
    fi
    # Without a build, an asterisk on PATH or nothing: the suite then says it skipped.
    [ "$found" -eq 1 ] || run_realpbx ""
fi
echo "== Sanitizer build (ASan + UBSan)"
run_suite build/asan -DCMAKE_BUILD_TYPE=Debug -DCORVALINE_SANITIZE=ON -DCORVALINE_BUILD_BENCH=OFF
