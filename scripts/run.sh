#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo unit and then the program. The demo unit
# stops when the program ends.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: there is no display to show the program on; without a desktop try: xvfb-run -a ./scripts/run.sh" >&2
    exit 1
fi
if [ -n "${DISPLAY:-}" ] && command -v xdpyinfo >/dev/null && ! xdpyinfo >/dev/null 2>&1; then
    echo "run.sh: cannot open the display $DISPLAY; without a desktop try: xvfb-run -a ./scripts/run.sh" >&2
    exit 1
fi
"$here/scripts/setup.sh"
"$here/scripts/build.sh" build
bin="$here/build/app"
if [ ! -x "$bin/vantrel" ]; then
    echo "Built the libraries and tests; the main window is not part of this build yet."
    exit 0
fi
if [ -x "$bin/vantrel-demo-unit" ]; then
    # It reports a busy port itself (another demo unit may be running already); the program
    # starts either way.
    "$bin/vantrel-demo-unit" &
    demo=$!
    trap 'kill -TERM "$demo" 2>/dev/null || true; wait "$demo" 2>/dev/null || true' EXIT
fi
"$bin/vantrel" "$@"
