#!/usr/bin/env bash
# Proves that a bundle made by bundle.sh runs on a system without Qt or libarchive:
#     ./scripts/check-bundle.sh build/release/bundle
# In a private mount namespace, the system's Qt libraries, ICU and libarchive are covered by empty files
# and Qt's plugin folder by an empty one; a private network namespace keeps the launcher off the network.
# The bundle is copied to a scratch folder and started twice on Qt's offscreen platform: as it is, and with
# every run bit removed through TrivetDesk.sh, as on a FAT stick. Each time the launcher must still run
# after a few seconds, and every Qt, ICU and libarchive library and every Qt plugin it mapped must come
# from the copy.
set -euo pipefail
cd "$(dirname "$0")/.."

bundle=$(realpath "${1:-build/release/bundle}")
[ -x "$bundle/TrivetDesk" ] || { echo "check-bundle: no bundle in $bundle; run scripts/bundle.sh first"; exit 1; }

if [ "${CHECK_BUNDLE_INSIDE:-}" != 1 ]; then
    namespaces=(unshare --mount --net)
    if [ "$(id -u)" -ne 0 ]; then
        namespaces=(unshare --map-root-user --mount --net)
    fi
    exec env CHECK_BUNDLE_INSIDE=1 "${namespaces[@]}" bash "$0" "$bundle"
fi

# Inside the namespaces: nothing done here is seen outside them.
mount --make-rprivate /
empty=$(mktemp)
hidden=0
while read -r file; do
    mount --bind "$empty" "$file"
    hidden=$((hidden + 1))
done < <(find /usr/lib /lib -maxdepth 2 -type f \( -name 'libQt6*.so*' -o -name 'libarchive.so*' -o \
    -name 'libicu*.so*' \) 2>/dev/null | sort -u)
qtplugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
mount -t tmpfs none "$qtplugins"
echo "check-bundle: $hidden system libraries and $qtplugins hidden"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch" "$empty"' EXIT

# Starts the launcher in FOLDER with the given command and checks what it mapped.
run() {
    local folder=$1 label=$2
    shift 2
    (cd "$folder" && QT_QPA_PLATFORM=offscreen exec "$@" >"$scratch/$label.log" 2>&1) &
    local pid=$!
    sleep 4
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "check-bundle: $label: the launcher ended early"
        cat "$scratch/$label.log"
        return 1
    fi
    local mapped foreign
    mapped=$(awk '$6 ~ /libQt6|libarchive|libicu|\/plugins\// { print $6 }' "/proc/$pid/maps" | sort -u)
    foreign=$(grep -v "^$folder/" <<<"$mapped" || true)
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    if [ -z "$mapped" ] || [ -n "$foreign" ]; then
        echo "check-bundle: $label: mapped from outside the bundle:"
        echo "${foreign:-(nothing of Qt mapped at all)}"
        return 1
    fi
    echo "check-bundle: $label: runs; $(wc -l <<<"$mapped") Qt, ICU and libarchive files, all from the bundle"
}

cp -r "$bundle" "$scratch/plain"
run "$scratch/plain" "run bits" ./TrivetDesk

# A FAT stick mounted by a desktop: no run bits anywhere, started with sh.
cp -r "$bundle" "$scratch/fat"
chmod -R a-x "$scratch/fat"
chmod -R a+X "$scratch/fat"
run "$scratch/fat" "no run bits" sh ./TrivetDesk.sh
