#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh"
"$here/scripts/build.sh" build
if [ -x "$here/build/app/vantrel" ]; then
    exec "$here/build/app/vantrel" "$@"
else
    echo "Built the libraries and tests; the main window is not part of this build yet."
fi
