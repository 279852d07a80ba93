#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) in build/fuzz and runs each
# one for the given number of seconds (60 by default), starting from its seed corpus in fuzz/corpus/<target>.
# Prints the executions per second of each target; exits non-zero when any of them found a crash, a hang or a
# sanitizer report (the input is kept in build/fuzz/artifacts).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
bash scripts/install-deps.sh clang
# libFuzzer ships in the compiler runtime package of clang's own version.
bash scripts/install-deps.sh "libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev"

build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DCORVALINE_BUILD_FUZZ=ON -DCORVALINE_BUILD_TESTS=OFF -DCORVALINE_BUILD_BENCH=OFF
cmake --build "$build" --target corvaline_fuzzers -j "$(nproc)"

export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The settings file target writes a file on every run; on tmpfs its sync to disk costs nothing.
if [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
mkdir -p "$build/artifacts"
failed=()
for seeds in fuzz/corpus/*/; do
    target=$(basename "$seeds")
    # New inputs go to the build folder; the repository keeps only the seeds.
    corpus="$build/corpus/$target"
    log="$build/$target.log"
    mkdir -p "$corpus"
    echo "== $target (${seconds} s)"
    if "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" "$corpus" "$seeds" >"$log" 2>&1; then
        status=ok
    else
        status=FAILED
        failed+=("$target")
        grep -E "ERROR|SUMMARY|runtime error|broken promise|Test unit written" "$log" | head -20 || true
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "$target: $status, ${runs:-?} executions, ${rate:-?} execs/s (log: $log)"
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzzing found problems in: ${failed[*]}" >&2
    exit 1
fi
