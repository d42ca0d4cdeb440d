#!/usr/bin/env bash
# run.sh [--fresh] [--verbose]
#
# Builds the launcher, lays out a demo portable folder whose packages come from a local mirror on
# 127.0.0.1, starts the mirror and then the launcher. Closing the launcher (and the Updater, when it was
# started from the Settings menu) stops the mirror. The demo folder is kept between runs, with what the user
# did in it; --fresh lays it out again. The programs' debug and info lines show only with --verbose.
set -euo pipefail
cd "$(dirname "$0")/.."

fresh=()
verbose=0
for arg in "$@"; do
    case $arg in
    --fresh) fresh=(--fresh) ;;
    --verbose) verbose=1 ;;
    -h | --help)
        echo "usage: $0 [--fresh] [--verbose]"
        echo "  --fresh    lay out the demo folder again, dropping own programs, language and downloads"
        echo "  --verbose  show the debug and info lines of the launcher and the mirror"
        echo "The mirror listens on port \${TRIVET_DEMO_PORT:-18080}."
        exit 0
        ;;
    *)
        echo "$0: unknown option '$arg' (try --help)" >&2
        exit 2
        ;;
    esac
done

bash scripts/install-deps.sh
cmake --preset release
cmake --build --preset release

build=build/release
port=${TRIVET_DEMO_PORT:-18080}
bash scripts/make-demo.sh "${fresh[@]}" "$build" "$port"

echo
echo "Demo folder: $PWD/$build/demo/portable"
echo "  kept between runs (own programs, language, downloads); ./scripts/run.sh --fresh lays it out again"
echo "Package mirror: http://127.0.0.1:$port"
echo "  another port: TRIVET_DEMO_PORT=18181 ./scripts/run.sh"
echo

if [ "$verbose" = 0 ]; then
    export QT_LOGGING_RULES='*.debug=false;*.info=false'
fi

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
