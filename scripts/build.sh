#!/usr/bin/env bash
# Configures and builds into the given directory (default: build) with any extra CMake options.
# Developer and CI builds treat warnings as errors; a plain cmake build does not.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-build}"
# Paths below the checkout are hashed relative to it, so that other checkouts share ccache's hits.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$here}"
shift || true
cmake -S "$here" -B "$here/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_WERROR=ON "$@"
cmake --build "$here/$dir" -j "$(nproc)"
