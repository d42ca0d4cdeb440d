#!/usr/bin/env bash
# run-windows.sh [--fresh] [--cache DIR]
#
# The Windows build's demo: cross-builds the launcher (scripts/build-windows.sh), lays out a demo portable folder
# in build/windows/demo/portable from the shipped Windows folder, serves its packages from a mirror on
# 127.0.0.1 and starts TrivetDesk.exe under Wine, on a virtual display when there is none. Each catalogue icon
# downloads, unpacks and starts a small Windows stand-in. Wine keeps its own prefix in build/windows/demo.
set -euo pipefail
cd "$(dirname "$0")/.."

fresh=()
cache=()
while [ $# -gt 0 ]; do
    case $1 in
    --fresh) fresh=(--fresh); shift ;;
    --cache) cache=(--cache "$2"); shift 2 ;;
    *) echo "usage: $0 [--fresh] [--cache DIR]" >&2; exit 2 ;;
    esac
done

bash scripts/build-windows.sh "${cache[@]}"
export TRIVET_WINDOWS_PREFIX=${cache[1]:-${TRIVET_WINDOWS_CACHE:-$HOME/.cache/trivet-windows-toolchain}}/prefix
build=build/windows
port=${TRIVET_DEMO_PORT:-18080}
bash scripts/make-demo.sh "${fresh[@]}" "$build" "$port"
# The shipped folder's programs, DLLs and plugins, so the demo runs as it would from a stick.
(cd "$build/bundle" && find . -type f \( -iname '*.exe' -o -iname '*.dll' -o -name qt.conf \) -print0) |
    while IFS= read -r -d '' file; do
        mkdir -p "$build/demo/portable/$(dirname "$file")"
        cp "$build/bundle/$file" "$build/demo/portable/$file"
    done

export WINEPREFIX=$PWD/$build/demo/wineprefix
echo
echo "Demo folder: $PWD/$build/demo/portable"
echo "Package mirror: http://127.0.0.1:$port"
echo
# The mirror runs in a Wine prefix of its own, so waiting for the demo prefix to empty ends with the launcher.
WINEPREFIX= bash scripts/wine-run.sh "$build/tools/TrivetMirror.exe" --root "$build/demo/mirror" --port "$port" &
mirror=$!
trap 'kill $mirror 2>/dev/null || true; wineserver -k 2>/dev/null || true' EXIT

# Wine returns when the launcher ends; the Updater may start it again, so the mirror serves until Wine's
# server has no program left.
session='cd "$1" && /usr/lib/wine/wine64 TrivetDesk.exe; wineserver -w'
if [ -n "${DISPLAY:-}" ]; then
    bash -c "$session" demo "$build/demo/portable"
else
    echo "No display found: starting the launcher on a virtual display."
    xvfb-run -a bash -c "$session" demo "$build/demo/portable"
fi
