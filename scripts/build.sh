#!/usr/bin/env bash
# Configures and builds into the given directory (default: build) with any extra CMake options.
# Developer and CI builds treat warnings as errors; a plain cmake build does not.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-build}"
shift || true
cmake -S "$here" -B "$here/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_WERROR=ON "$@"
cmake --build "$here/$dir" -j "$(nproc)"
