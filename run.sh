#!/usr/bin/env bash
# Installs what is missing, builds incrementally and runs kavrel with the given arguments,
# for example ./run.sh --simulate
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DKAVREL_TESTS=OFF -DKAVREL_BENCH=OFF >/dev/null
cmake --build build/run -j"$(nproc)" --target kavrel
exec build/run/bin/kavrel "$@"
