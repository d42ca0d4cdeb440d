#!/usr/bin/env bash
# Runs a Windows program built here under Wine, headless: wine-run.sh PROGRAM.exe ARGS...
# The Windows toolchain's DLLs and the mingw runtime are found through WINEPATH, Qt's plugins beside its DLLs.
# Wine hands no QT_* variable to Windows programs, so the platform is chosen with -platform, never with
# QT_QPA_PLATFORM. Wine's own prefix lives beside the build (WINEPREFIX, made on first use). A QtTest suite writes its report to
# a file (under Wine it would go to the debugger's channel, not to standard output), which is printed after.
set -uo pipefail

prefix=${TRIVET_WINDOWS_PREFIX:-$HOME/.cache/trivet-windows-toolchain/prefix}
program=$1
shift
build=$(cd "$(dirname "$program")" && pwd)
while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do
    build=$(dirname "$build")
done
[ "$build" != / ] || build=$(dirname "$program")

export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEPATH="$prefix/bin;/usr/lib/gcc/x86_64-w64-mingw32/12-posix;/usr/x86_64-w64-mingw32/lib"
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)

server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=$(command -v wineserver64 || command -v wineserver)

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    # Two runs may make the prefix at once; one makes it, the others wait for it. The prefix is whole only
    # when its server has ended (the registry files are written then), so the maker waits for that, and the
    # first program starts a server of its own. The lock is not handed to Wine: its server and services
    # would inherit it and hold it for as long as any program of the prefix runs.
    (
        if ! flock -w 600 9; then
            echo "wine-run: the Wine prefix $WINEPREFIX was not made within 10 minutes" >&2
            exit 1
        fi
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            "$wine" wineboot --init >/dev/null 2>&1 9>&-
            "$server" -w 9>&-
        fi
    ) 9>"$WINEPREFIX.lock" || exit 1
fi

case "$(basename "$program")" in
tst_*)
    report=$(mktemp "${TMPDIR:-/tmp}/wine-report.XXXXXX")
    output=$(mktemp "${TMPDIR:-/tmp}/wine-output.XXXXXX")
    # Wine's server and services, started by the first program of a prefix, inherit that program's output and
    # outlive it while other programs run (a console's host can keep them for minutes). Given the caller's pipe,
    # they would hold the caller (ctest) waiting long after the suite ended; given a file, they hold only that.
    "$wine" "$program" "$@" -o "Z:$report,txt" >"$output" 2>&1 &
    suite=$!
    # The report is passed on as it grows, so a suite that CTest ends for its time shows how far it got.
    shown=0
    show_report() {
        local size
        size=$(stat -c %s "$report" 2>/dev/null || echo 0)
        if [ "$size" -gt "$shown" ]; then
            tail -c +$((shown + 1)) "$report" | head -c $((size - shown))
            shown=$size
        fi
    }
    # A mingw program with posix threads can hang in its exit, after its report is complete, while its DLLs
    # unload (a thread-local destructor waiting in libwinpthread). Once the report is finished the suite's
    # verdict is known: a suite that has not ended by then is given a moment, then ended, and judged by it.
    while kill -0 $suite 2>/dev/null && ! grep -q '^\*\*\*\*\*\*\*\*\* Finished testing of' "$report" 2>/dev/null; do
        show_report
        sleep 0.2
    done
    for _ in $(seq 50); do
        kill -0 $suite 2>/dev/null || break
        sleep 0.2
    done
    if kill -0 $suite 2>/dev/null; then
        kill -9 $suite 2>/dev/null
        wait $suite 2>/dev/null
        if grep -q '^Totals: .* 0 failed' "$report"; then status=0; else status=1; fi
        echo "wine-run: $(basename "$program") hung in its exit after a finished report; judged by the report" >>"$output"
    else
        wait $suite
        status=$?
    fi
    show_report
    cat "$output"
    rm -f "$report" "$output"
    exit $status
    ;;
*)
    exec "$wine" "$program" "$@"
    ;;
esac
