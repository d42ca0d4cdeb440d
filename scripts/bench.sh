#!/usr/bin/env bash
# Sets the launcher's own code beside the usual tools, on the same 127.0.0.1 server or the same files and in
# the same run, and prints one Markdown table:
#   - downloads of 200 MiB and 1 GiB from TrivetMirror: the Downloader against curl, curl followed by a sync of
#     the file, wget, cp of the served file (the local limit), and dd writing the served file from the page
#     cache with conv=fdatasync (the disk's floor for a durable file), with the memory of each;
#   - installs of a zip and a 7z of 2,000 small and five 20 MiB files and of a zip of one 300 MiB file, into a
#     fresh folder and over the same content: the extractor against unzip, 7za and bsdtar, each alone and
#     followed by a sync of the file system;
#   - start until the first tab's icons are painted against a bare window's first paint, a pointer move, and
#     click to start of a 135 MB package against its download and unpacking alone (bench_window and
#     bench_install); the window opened on a 50 MiB settings file, with its peak memory;
#   - the install of the mixed zip with the digests its install record needs and without (bench_records).
#   - Check All over 2,000 small and five 20 MiB installed files against sha256sum over the same files, from the
#     page cache (bench_check).
# Within a line the methods take turns at going first, run after run. A ratio is the launcher's time divided
# by the peer's in the same run; the table gives the median of the ratios and their range.
#
# Usage: scripts/bench.sh [--runs N] [--big-runs N] [--no-build]
#   --runs N      runs of every line (default 5, or TRIVET_BENCH_RUNS)
#   --big-runs N  runs of the 1 GiB download (default: as many as --runs)
#   --no-build    take build/release as it is
# The table is also written to build/release/bench-table.md. Work files go to build/release/benchwork (about
# 3 GiB at most), which is removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${TRIVET_BENCH_RUNS:-5}
big_runs=
build=1
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs=$2; shift 2 ;;
    --big-runs) big_runs=$2; shift 2 ;;
    --no-build) build=0; shift ;;
    *) sed -n '/^# Usage/,/^# 3 GiB/p' "$0" >&2; exit 2 ;;
    esac
done
big_runs=${big_runs:-$runs}

bash scripts/install-deps.sh curl wget unzip p7zip-full libarchive-tools time
bin=build/release
if [ "$build" = 1 ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release --target bench_step bench_window bench_install bench_records bench_check TrivetMirror
fi
step=$bin/bench/bench_step

work=$PWD/$bin/benchwork
table=$PWD/$bin/bench-table.md
mirror_pid=
cleanup() {
    if [ -n "$mirror_pid" ]; then
        kill "$mirror_pid" 2>/dev/null || true
        wait "$mirror_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$work"
mkdir -p "$work/served" "$work/samples"
free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
if [ "$free_kib" -lt $((4 << 20)) ]; then
    echo "bench.sh: less than 4 GiB free in $work" >&2
    exit 1
fi
export no_proxy=127.0.0.1 NO_PROXY=127.0.0.1
say() { echo "bench.sh: $*" >&2; }

# --- Samples and figures -------------------------------------------------------------------------------------

# Appends one run's figure to a named series.
add() { echo "$2" >>"$work/samples/$1"; }

# Runs a peer's command with its output dropped: secs is its wall time, kib its peak resident size.
run_timed() {
    local start=$EPOCHREALTIME
    /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null
    local end=$EPOCHREALTIME
    secs=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
    kib=$(tail -n 1 "$work/peak")
}

# Runs a step of the launcher's: secs is its own wall time, kib how far its memory grew.
run_step() {
    local out
    out=$("$step" "$@")
    secs=${out% *}
    kib=${out#* }
}

sum() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a + b }'; }

# The run-by-run smallest of several series, into a new one.
add_fastest() {
    local into=$1
    shift
    local files=() series
    for series in "$@"; do files+=("$work/samples/$series"); done
    paste "${files[@]}" | awk '{ m = $1; for (i = 2; i <= NF; ++i) if ($i < m) m = $i; print m }' >"$work/samples/$into"
}

# "median min max" of a list of numbers on standard input.
spread() {
    sort -g | awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m, v[1], v[NR] }'
}
median_of() { spread <"$work/samples/$1" | awk -v f="$2" -v s="${3:-1}" '{ printf f, $1 * s }'; }
ratios_of() { paste "$work/samples/$1" "$work/samples/$2" | awk '{ print $1 / $2 }' | spread; }
# "1.23× (1.10–1.40)" for the launcher's series over a peer's.
ratio() { ratios_of "$1" "$2" | awk '{ printf "%.2f× (%.2f–%.2f)", $1, $2, $3 }'; }
# yes or no: is the median ratio at most the limit?
at_most() { ratios_of "$1" "$2" | awk -v l="$3" '{ print ($1 <= l) ? "yes" : "no" }'; }

rows=()
row() {
    local line="|" cell
    for cell in "$@"; do line+=" $cell |"; done
    rows+=("$line")
}

# --- Downloads -------------------------------------------------------------------------------------------------

"$bin/tools/TrivetMirror" --root "$work/served" --port 0 >"$work/mirror.out" 2>&1 &
mirror_pid=$!
for _ in $(seq 50); do
    grep -q 'http://' "$work/mirror.out" && break
    sleep 0.1
done
base=$(grep -o 'http://127\.0\.0\.1:[0-9]*/' "$work/mirror.out")
[ -n "$base" ] || { say "TrivetMirror did not report its address"; exit 1; }

download_line() {
    local mib=$1 n=$2 name=dl$1
    local served=$work/served/payload.bin target=$work/fetched.bin url=${base}payload.bin
    say "download of $mib MiB, $n runs"
    "$step" file "$served" "$mib"
    sync -f "$served"
    cat "$served" >/dev/null # every method, dd included, reads it from the page cache
    local methods=(launcher curl wget cp dd)
    for ((r = 0; r < n; ++r)); do
        for ((i = 0; i < ${#methods[@]}; ++i)); do
            local m=${methods[(r + i) % ${#methods[@]}]}
            rm -f "$target"
            sync -f "$work"
            case $m in
            launcher) run_step download "$url" "$target" ;;
            curl) run_timed curl -s -o "$target" "$url" ;;
            wget) run_timed wget -q -O "$target" "$url" ;;
            cp) run_timed cp "$served" "$target" ;;
            dd) run_timed dd if="$served" of="$target" bs=1M conv=fdatasync status=none ;;
            esac
            add "$name.$m" "$secs"
            add "$name.$m.kib" "$kib"
            if [ "$m" = curl ]; then
                local fetched=$secs
                run_timed sync "$target"
                add "$name.curl+sync" "$(sum "$fetched" "$secs")"
            fi
            [ "$(stat -c %s "$target")" = $((mib << 20)) ] || { say "$m wrote the wrong size"; exit 1; }
        done
    done
    rm -f "$target" "$served"

    local what="Download $mib MiB ($n runs)"
    [ "$mib" -ge 1024 ] && what="Download $((mib >> 10)) GiB ($n runs)"
    row "$what" "Downloader $(median_of "$name.launcher" '%.3f s')" "curl" "$(median_of "$name.curl" '%.3f s')" \
        "$(ratio "$name.launcher" "$name.curl")" "$(median_of "$name.curl+sync" '%.3f s')" \
        "$(ratio "$name.launcher" "$name.curl+sync")" "≤ 1.0× curl + sync" "$(at_most "$name.launcher" "$name.curl+sync" 1.0)"
    row "" "" "wget" "$(median_of "$name.wget" '%.3f s')" "$(ratio "$name.launcher" "$name.wget")" "—" "—" "" ""
    row "" "" "cp of the served file" "$(median_of "$name.cp" '%.3f s')" "$(ratio "$name.launcher" "$name.cp")" \
        "—" "—" "" ""
    row "" "" "dd conv=fdatasync of the served file (the disk's floor)" "$(median_of "$name.dd" '%.3f s')" \
        "$(ratio "$name.launcher" "$name.dd")" "—" "—" "≤ 1.1× dd floor" "$(at_most "$name.launcher" "$name.dd" 1.1)"
    local limit="" met=""
    if [ "$mib" -ge 1024 ]; then
        limit="growth < 16 MiB"
        met=$(median_of "$name.launcher.kib" '%d' | awk '{ print ($1 < 16384) ? "yes" : "no" }')
    fi
    row "Memory, $what" "growth $(median_of "$name.launcher.kib" '%.1f MiB' 0.0009765625)" "curl / wget / cp" \
        "peak $(median_of "$name.curl.kib" '%.1f' 0.0009765625) / $(median_of "$name.wget.kib" '%.1f' 0.0009765625) / $(median_of "$name.cp.kib" '%.1f MiB' 0.0009765625)" \
        "—" "—" "—" "$limit" "$met"
}

# --- Installs --------------------------------------------------------------------------------------------------

extract_with() {
    local tool=$1 archive=$2 dest=$3
    case $tool in
    launcher) run_step extract "$archive" "$dest" ;;
    unzip) run_timed unzip -o -q "$archive" -d "$dest" ;;
    7za) run_timed 7za x -aoa -bso0 -bsp0 "-o$dest" "$archive" ;;
    bsdtar) mkdir -p "$dest" && run_timed bsdtar -xf "$archive" -C "$dest" ;;
    esac
}

# Each method installs into a fresh folder, then again over what it put there.
extract_line() {
    local archive=$1 files=$2 title=$3
    shift 3
    local name tools=(launcher "$@")
    name=x.$(basename "$archive")
    say "install of $(basename "$archive"), $runs runs"
    for ((r = 0; r < runs; ++r)); do
        for ((i = 0; i < ${#tools[@]}; ++i)); do
            local t=${tools[(r + i) % ${#tools[@]}]} dest=$work/install/app
            rm -rf "$work/install"
            mkdir -p "$work/install"
            sync -f "$work"
            for mode in fresh filled; do
                extract_with "$t" "$archive" "$dest"
                add "$name.$mode.$t" "$secs"
                if [ "$t" != launcher ]; then
                    local alone=$secs
                    run_timed sync -f "$dest"
                    add "$name.$mode.$t+sync" "$(sum "$alone" "$secs")"
                fi
                [ "$(find "$dest" -type f | wc -l)" = "$files" ] || { say "$t left the wrong number of files"; exit 1; }
            done
        done
    done
    rm -rf "$work/install"

    for mode in fresh filled; do
        local where="into a fresh folder"
        [ "$mode" = filled ] && where="over the same content"
        local s=$name.$mode first=1 peers=() synced=()
        for t in "$@"; do
            local head="" launcher=""
            if [ -n "$first" ]; then
                head="Install $title $where ($runs runs)"
                launcher="extractor $(median_of "$s.launcher" '%.3f s')"
                first=
            fi
            row "$head" "$launcher" "$t" "$(median_of "$s.$t" '%.3f s')" "$(ratio "$s.launcher" "$s.$t")" \
                "$(median_of "$s.$t+sync" '%.3f s')" "$(ratio "$s.launcher" "$s.$t+sync")" "" ""
            peers+=("$s.$t")
            synced+=("$s.$t+sync")
        done
        add_fastest "$s.fastest" "${peers[@]}"
        add_fastest "$s.fastest+sync" "${synced[@]}"
        row "" "" "**fastest in each run**" "$(median_of "$s.fastest" '%.3f s')" "$(ratio "$s.launcher" "$s.fastest")" \
            "$(median_of "$s.fastest+sync" '%.3f s')" "$(ratio "$s.launcher" "$s.fastest+sync")" \
            "≤ 1.15× alone, ≤ 1.0× + sync" \
            "$(at_most "$s.launcher" "$s.fastest" 1.15) / $(at_most "$s.launcher" "$s.fastest+sync" 1.0)"
    done
}

# --- The window and click to start -------------------------------------------------------------------------------

# "median min max" from a line of the form "LABEL median 1.2x  (min 1.1x, max 1.4x)".
figures_of() {
    grep -F -- "$2" "$1" | head -n 1 |
        sed -E 's/.*median ([0-9.]+)[^(]*\(min ([0-9.]+)[^,]*, max ([0-9.]+).*/\1 \2 \3/'
}
fmt() { awk -v f="$1" '{ printf f, $1, $2, $3 }'; }

window_lines() {
    say "start-up, pointer moves and click to start, $runs runs of the click"
    QT_QPA_PLATFORM=offscreen "$bin/bench/bench_window" --settings-mb 50 >"$work/window.txt"
    QT_QPA_PLATFORM=offscreen "$bin/bench/bench_install" "$runs" >"$work/install.txt"
    local w=$work/window.txt i=$work/install.txt starts
    starts=$(grep -o 'icons painted, [0-9]* runs' "$w" | grep -o '[0-9]*')
    row "Start to the first tab's icons painted ($starts runs)" "$(figures_of "$w" '  launcher:' | fmt '%.1f ms')" \
        "bare Qt window, same menus and tabs, to its first paint" "$(figures_of "$w" '  bare window:' | fmt '%.1f ms')" \
        "$(figures_of "$w" 'launcher / bare, wall time:' | fmt '%.2f× (%.2f–%.2f)')" "—" "—" "≤ 1.5× bare window" \
        "$(figures_of "$w" 'launcher / bare, wall time:' | awk '{ print ($1 <= 1.5) ? "yes" : "no" }')"
    row "Pointer move over icons, captions, surface" "$(grep -o '[0-9.]* us per move' "$w" | sed 's/us/µs/')" \
        "—" "—" "—" "—" "—" "" ""
    local opened grown
    opened=$(grep -o 'window open in [0-9.]* s' "$w" | grep -o '[0-9.]*')
    grown=$(grep -o 'peak memory +[0-9]* MiB' "$w" | grep -o '[0-9]*')
    row "Window open on a 50 MiB settings file" "$opened s, +$grown MiB" "—" "—" "—" "—" "—" "< 2 s, ≤ +100 MiB" \
        "$(awk -v t="$opened" -v m="$grown" 'BEGIN { print (t < 2 && m <= 100) ? "yes" : "no" }')"
    row "Click to start, 135 MB package ($runs runs)" "$(figures_of "$i" 'click to start:' | fmt '%.3f s')" \
        "Downloader + extractor alone" "$(figures_of "$i" 'download + unpack alone:' | fmt '%.3f s')" \
        "$(figures_of "$i" 'click / (download + unpack):' | fmt '%.2f× (%.2f–%.2f)')" "—" "—" "" ""
    say "install records: the mixed zip with and without the files' digests, $runs runs"
    "$bin/bench/bench_records" "$runs" >"$work/records.txt"
    local r=$work/records.txt
    row "Install of the mixed zip with its files' digests" "$(figures_of "$r" '  with digests:' | fmt '%.1f ms')" \
        "the same install without digests" "$(figures_of "$r" '  without digests:' | fmt '%.1f ms')" \
        "$(figures_of "$r" 'with / without digests:' | fmt '%.3f× (%.3f–%.3f)')" "—" "—" "≤ 1.05×" \
        "$(figures_of "$r" 'with / without digests:' | awk '{ print ($1 <= 1.05) ? "yes" : "no" }')"
}

# --- Checking installed files ----------------------------------------------------------------------------------

check_line() {
    say "Check All against sha256sum, $runs runs"
    "$bin/bench/bench_check" "$runs" >"$work/check.txt"
    local c=$work/check.txt
    row "Check All, 2,000 small + 5 × 20 MiB files, page cache ($runs runs)" \
        "$(figures_of "$c" 'check all:' | fmt '%.1f ms')" "sha256sum" "$(figures_of "$c" 'sha256sum:' | fmt '%.1f ms')" \
        "throughput $(figures_of "$c" 'check / sha256sum throughput:' | fmt '%.2f× (%.2f–%.2f)')" "—" "—" \
        "≥ 0.9× sha256sum's throughput" \
        "$(figures_of "$c" 'check / sha256sum throughput:' | awk '{ print ($1 >= 0.9) ? "yes" : "no" }')"
}

# --- The run ---------------------------------------------------------------------------------------------------

started=$SECONDS
download_line 200 "$runs"
download_line 1024 "$big_runs"

say "writing the archives"
mkdir -p "$work/archives"
"$step" archives "$work/archives"
(cd "$work/archives/mixed" && 7za a -mx=1 -bso0 -bsp0 ../mixed.7z . && cd .. && rm -rf mixed)
sync -f "$work/archives"
extract_line "$work/archives/mixed.zip" 2005 "zip, 2,000 small + 5 × 20 MiB files," unzip 7za bsdtar
extract_line "$work/archives/mixed.7z" 2005 "7z, 2,000 small + 5 × 20 MiB files," 7za bsdtar
extract_line "$work/archives/big.zip" 1 "zip, one 300 MiB file," unzip 7za bsdtar
rm -rf "$work/archives"

window_lines
check_line

{
    echo "Launcher against peers, $runs runs a line (1 GiB download: $big_runs), methods alternating; ratio = launcher ÷ peer"
    echo "in the same run, median (min–max). Peers are timed as whole processes, the launcher's code from request to"
    echo "reported result. \"+ sync\": the peer followed by \`sync FILE\` (download) or \`sync -f DIR\` (install)."
    echo
    echo "| Measure | Launcher | Peer | Peer alone | Launcher ÷ peer alone | Peer + sync | Launcher ÷ (peer + sync) | Target | Met |"
    echo "| --- | --- | --- | --- | --- | --- | --- | --- | --- |"
    printf '%s\n' "${rows[@]}"
} >"$table"
say "done in $((SECONDS - started)) s; the table is also in $table"
cat "$table"
