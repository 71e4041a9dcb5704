#!/usr/bin/env bash
# Runs one fuzz target under libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer.
#   tests/fuzz/run.sh NAME [MINUTES]       (default 10 minutes)
# New inputs go to a scratch corpus; a finding is written as crash-* in the current folder:
# copy it into tests/fuzz/corpus/NAME/ and fix the fault, so the ordinary test run replays it.
set -euo pipefail
name="$1"
minutes="${2:-10}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build/fuzz"
# fuzzer-no-link on every file: the libraries under test, not only the target, must report
# coverage, or the fuzzer runs blind through them.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DLUMIVEX_FUZZ=ON -DLUMIVEX_BUILD_BENCH=OFF \
  "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
  "-DCMAKE_C_FLAGS=-fsanitize=address,undefined -fno-omit-frame-pointer" >/dev/null
cmake --build "$build" --target "${name}_fuzz"
scratch="$build/corpus-$name"
mkdir -p "$scratch"
ASAN_OPTIONS=allocator_may_return_null=1 "$build/tests/fuzz/${name}_fuzz" "$scratch" \
  "$root/tests/fuzz/corpus/$name" -max_total_time=$((minutes * 60)) -timeout=10 -rss_limit_mb=4096
