#!/usr/bin/env bash
# Configures and builds the project in build/ (or $BUILD_DIR). Uses ccache
# where it is installed; under CI warnings are errors.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
command -v ccache >/dev/null && args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
[ -n "${CI:-}" ] && args+=(-DSPHAERON_WERROR=ON)
echo "== configure ($build)"
cmake -S "$root" -B "$build" "${args[@]}" ${CMAKE_ARGS:-} >/dev/null
echo "== build"
cmake --build "$build" -j "$(nproc)"
