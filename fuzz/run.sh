#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each over its corpus.
#   fuzz/run.sh SECONDS   fuzz each target for that many seconds (new inputs go to fuzz/corpus-new/)
#   fuzz/run.sh --smoke   only run every corpus input once, as CI does, so a regression shows
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-60}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTARVIK_FUZZ=ON -DTARVIK_WERROR=ON >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target $(cd build-fuzz && ninja -t targets all | grep -o "^fuzz_[a-z_0-9]*" | sort -u)
status=0
for target in build-fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=${target##*/fuzz_}
  corpus=fuzz/corpus/$name
  mkdir -p "$corpus"
  if [ "$mode" = "--smoke" ]; then
    if "$target" -artifact_prefix=build-fuzz/ -runs=0 "$corpus" >/dev/null 2>"build-fuzz/$name.log"; then
      echo "fuzz $name: corpus of $(ls "$corpus" | wc -l) inputs ran clean"
    else
      cat "build-fuzz/$name.log"
      status=1
    fi
  else
    mkdir -p "fuzz/corpus-new/$name"
    "$target" -artifact_prefix=build-fuzz/ -max_total_time="$mode" -print_final_stats=1 "fuzz/corpus-new/$name" "$corpus" || status=1
  fi
done
exit $status
