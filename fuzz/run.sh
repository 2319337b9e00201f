#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for FUZZ_SECONDS
# seconds (default 60) from its seeds in fuzz/corpus/<target>/. New inputs go to
# build-fuzz/corpus/<target>/, crashes to build-fuzz/artifacts/. Fails on the first target
# that finds a crash, a sanitizer report or a broken promise.
# Usage: fuzz/run.sh [target ...]   (default: every target in fuzz/targets/)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
build=build-fuzz

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= \
    -DKORVANEL_FUZZ=ON -DKORVANEL_WINDOW=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target fuzz_targets

# The longest input per target (libFuzzer's -max_len); the default suits the rest.
max_len_for() {
    case "$1" in
        head_split | request_line | header_predicates | header_edit) echo 20000 ;;
        tag_filter) echo 40000 ;;
        tag_filter_step) echo 8192 ;;
        config_reader) echo 32768 ;;
        head_scan) echo 20000 ;;
        *) echo 4096 ;;
    esac
}

if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for source in fuzz/targets/*.cpp; do
        name="$(basename "$source" .cpp)"
        targets+=("$name")
    done
fi

mkdir -p "$build/artifacts"
for name in "${targets[@]}"; do
    work="$build/corpus/$name"
    mkdir -p "$work"
    echo "fuzz: $name for ${seconds}s"
    if ! "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len="$(max_len_for "$name")" \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$name-" "$work" "fuzz/corpus/$name" \
        >"$build/$name.log" 2>&1; then
        tail -n 60 "$build/$name.log" >&2
        echo "fuzz: $name FAILED (log: $build/$name.log, inputs: $build/artifacts/$name-*)" >&2
        exit 1
    fi
    grep -E '^stat::number_of_executed_units|DONE' "$build/$name.log" | sed "s/^/fuzz: $name /" || true
done
echo "fuzz: all ${#targets[@]} targets ran ${seconds}s each without a finding"
