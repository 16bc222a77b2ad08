#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs each for the
# given number of seconds (default 30), starting from its seed corpus in
# fuzz/corpus/<target>/. New inputs go to fuzz/corpus-<target>/ (ignored by
# git); crashes are written to build-fuzz/.
#
# libFuzzer's length control would keep the inputs near the shortest seed
# for most of a short run, and the readers' hard cases are long lines and
# long values: inputs may grow to 1 MiB from the start.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"

cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPLIX_FUZZ=ON -DPLIX_TESTS=OFF -DPLIX_WERROR=ON >/dev/null
cmake --build build-fuzz -j 2

status=0
for src in fuzz/*_fuzz.cpp; do
  target="$(basename "$src" .cpp)"
  name="${target%_fuzz}"
  seeds="fuzz/corpus/$name"
  work="fuzz/corpus-$name"
  mkdir -p "$work"
  echo "== $target for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "build-fuzz/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
      -len_control=0 -max_len=1048576 -artifact_prefix=build-fuzz/ "$work" "$seeds"; then
    status=1
  fi
done
exit $status
