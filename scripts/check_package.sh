#!/usr/bin/env bash
# Builds the Debian package from a build folder (default: build), unpacks it into a throw-away
# root with dpkg -x and checks it from there as an installed program: the desktop entry and the
# AppStream metadata validate, the demo unit prints its usage, and the program starts on a
# private X server and finds its help and release notes under the installed data folder.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$here/${1:-build}" && pwd)"

rm -f "$build"/vantrel_*.deb
(cd "$build" && cpack -G DEB >"$build/cpack.log" 2>&1) || { cat "$build/cpack.log"; exit 1; }
package="$(ls "$build"/vantrel_*.deb)"
echo "-- $(basename "$package"): $(dpkg-deb -f "$package" Depends)"

root="$(mktemp -d "$build/tmp-package-XXXXXX")"
trap 'rm -rf "$root"' EXIT
dpkg -x "$package" "$root"

desktop-file-validate "$root/usr/share/applications/org.vantrel.Vantrel.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.vantrel.Vantrel.metainfo.xml"
for page in vantrel vantrel-demo-unit vantrel-run; do
    [ -f "$root/usr/share/man/man1/$page.1.gz" ] || { echo "no man page for $page"; exit 1; }
done
"$root/usr/bin/vantrel-demo-unit" --help >/dev/null
"$root/usr/bin/vantrel-run" --help >/dev/null
bash "$here/tests/e2e/real_window.sh" installed "$root"
