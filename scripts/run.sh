#!/usr/bin/env bash
# Builds the launcher, lays out a demo portable folder whose packages come from a local mirror on
# 127.0.0.1, starts the mirror and then the launcher. Closing the launcher (and the Updater, when it was
# started from the Settings menu) stops the mirror.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release
cmake --build --preset release

build=build/release
port=${TRIVET_DEMO_PORT:-18080}
bash scripts/make-demo.sh "$build" "$port"

"$build/tools/TrivetMirror" --root "$build/demo/mirror" --port "$port" &
mirror=$!
trap 'kill $mirror 2>/dev/null || true' EXIT
sleep 0.5

# The launcher may hand over to the Updater, which starts it again: the mirror serves until neither runs.
# The folder is passed as an argument, so the waiting shell's own command line does not match the pattern.
session='"$1/TrivetDesk"; while pgrep -f -- "$1/(TrivetDesk|Updater)" >/dev/null; do sleep 1; done'
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    bash -c "$session" demo "$build/demo/portable"
else
    echo "No display found: starting the launcher on a virtual display."
    xvfb-run -a bash -c "$session" demo "$build/demo/portable"
fi
