#!/usr/bin/env bash
# Installs, builds and runs every test: a plain -Werror build, then AddressSanitizer with
# UndefinedBehaviorSanitizer, then ThreadSanitizer over the threaded tests, then the fuzzers.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh

jobs=$(nproc)
common=(-G Ninja -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache -DKAVREL_WERROR=ON)
export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-5G}
# Relative paths in the cache keys, so a fresh clone in another folder reuses earlier builds.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
export KAVREL_DEBUG=0
status=0

run_tree() {  # name, ctest args..., after cmake args in the caller
  local dir=$1; shift
  echo "== test.sh: ctest in $dir"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 300 "$@" || status=1
}

echo "== test.sh: plain build"
cmake -S . -B build/test-plain "${common[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g0" >/dev/null
cmake --build build/test-plain -j"$jobs"
run_tree build/test-plain

echo "== test.sh: AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake -S . -B build/test-asan "${common[@]}" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g0" \
  -DKAVREL_SANITIZE=address,undefined -DKAVREL_BENCH=OFF >/dev/null
cmake --build build/test-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
  run_tree build/test-asan

echo "== test.sh: ThreadSanitizer build (threaded tests)"
cmake -S . -B build/test-tsan "${common[@]}" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g0" \
  -DKAVREL_SANITIZE=thread -DKAVREL_BENCH=OFF >/dev/null
cmake --build build/test-tsan -j"$jobs" --target kavrel_thread_tests
TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp" run_tree build/test-tsan -L threads

echo "== test.sh: fuzzers"
CC=clang CXX=clang++ cmake -S . -B build/test-fuzz "${common[@]}" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DKAVREL_FUZZ=ON -DKAVREL_SANITIZE=address,undefined >/dev/null
cmake --build build/test-fuzz -j"$jobs"
run_tree build/test-fuzz -L fuzz -j1

exit $status
