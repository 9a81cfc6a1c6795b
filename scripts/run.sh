#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo unit and then the program. The demo unit
# stops when the program ends.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
# The same test as the program's own: a display, or a Qt platform that needs none (offscreen).
needs_display=yes
IFS=';' read -ra platforms <<<"${QT_QPA_PLATFORM:-}"
for platform in "${platforms[@]}"; do
    case "${platform%%:*}" in
    xcb | wayland*) ;;
    *) needs_display=no ;;
    esac
done
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "$needs_display" = yes ]; then
    echo "run.sh: there is no display to show the program on (neither DISPLAY nor WAYLAND_DISPLAY is set); without a desktop try: xvfb-run -a ./scripts/run.sh" >&2
    exit 1
fi
if [ -n "${DISPLAY:-}" ] && command -v xdpyinfo >/dev/null && ! xdpyinfo >/dev/null 2>&1; then
    echo "run.sh: cannot open the display $DISPLAY; without a desktop try: xvfb-run -a ./scripts/run.sh" >&2
    exit 1
fi
"$here/scripts/setup.sh"
"$here/scripts/build.sh" build
bin="$here/build/app"
if [ -x "$bin/vantrel-demo-unit" ]; then
    # It reports a busy port itself (another demo unit may be running already); the program
    # starts either way.
    "$bin/vantrel-demo-unit" &
    demo=$!
    trap 'kill -TERM "$demo" 2>/dev/null || true; wait "$demo" 2>/dev/null || true' EXIT
fi
"$bin/vantrel" "$@"
