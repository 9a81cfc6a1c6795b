#!/usr/bin/env bash
# Configures and builds into the given directory (default: build) with any extra CMake options.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-build}"
shift || true
cmake -S "$here" -B "$here/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$here/$dir" -j "$(nproc)"
