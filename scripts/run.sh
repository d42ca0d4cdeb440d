#!/usr/bin/env bash
# Builds the launcher, lays out a demo portable folder whose packages come from a local mirror on
# 127.0.0.1, starts the mirror and then the launcher. Closing the launcher stops the mirror.
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

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "$build/demo/portable/TrivetDesk"
else
    echo "No display found: starting the launcher on a virtual display."
    xvfb-run -a "$build/demo/portable/TrivetDesk"
fi
