#!/bin/sh
# Builds the benchmarks with optimisation (RelWithDebInfo) and runs them. Each
# folder of bench/ holding a CMakeLists.txt provides the target <folder>_bench.
# They print figures; none of them fails on speed.
#
#   bench/run.sh [folder ...] [-- argument ...]
#                                    (default: every benchmark; the arguments
#                                    after -- go to each benchmark run, e.g.
#                                    bench/run.sh hostile -- /path/to/corvaline)
#   BUILD_DIR=/path bench/run.sh     (default: build/bench in the source tree)
#   JOBS=N                           (parallel build jobs, default 2)
set -eu

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$source_dir/build/bench}
jobs=${JOBS:-2}

names=
while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do
    names="$names $1"
    shift
done
# What is left are the arguments for the benchmarks.
if [ "$#" -gt 0 ]; then shift; fi

if [ -z "$names" ]; then
    for dir in "$source_dir"/bench/*/; do
        [ -f "$dir/CMakeLists.txt" ] && names="$names $(basename "$dir")"
    done
fi
[ -n "$names" ] || { echo "no benchmark found" >&2; exit 1; }

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVALINE_BUILD_TESTS=OFF -DCORVALINE_BUILD_BENCH=ON >/dev/null
for name in $names; do
    cmake --build "$build_dir" --target "${name}_bench" -j "$jobs"
done
for name in $names; do
    echo "== $name"
    "$build_dir/bench/$name/${name}_bench" "$@"
done
