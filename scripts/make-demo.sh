#!/usr/bin/env bash
# make-demo.sh [--fresh] BUILD_DIR PORT
#
# Lays out a demo next to a build: BUILD_DIR/demo/mirror holds every package the launcher can fetch (each
# program a copy of TrivetStandIn), and BUILD_DIR/demo/portable is a copy of the build's portable folder
# whose settings fetch from http://127.0.0.1:PORT instead of the maker's site. Serve the mirror with
#   BUILD_DIR/tools/TrivetMirror --root BUILD_DIR/demo/mirror --port PORT
# The mirror is made afresh each time, signed with a key pair made for it: the private half stays in
# BUILD_DIR/demo/keys, the public half goes into the demo portable folder's Keys (replacing the last demo's),
# and the signed program list is kept there as a downloaded one would be. A demo portable folder that is already there is kept, since it holds
# what the user did in it (own programs and language in Trivet.ini, downloaded programs): every shipped file but
# Trivet.ini is replaced by this build's, and the settings' addresses are pointed at PORT. --fresh lays it out again. BUILD_DIR/portable itself is never changed.
set -euo pipefail

fresh=0
if [ "${1:-}" = --fresh ]; then
    fresh=1
    shift
fi
if [ $# -ne 2 ]; then
    echo "usage: $0 [--fresh] BUILD_DIR PORT" >&2
    exit 2
fi
build=$1
port=$2
if ! [[ $port =~ ^[0-9]+$ ]] || [ "$port" -lt 1 ] || [ "$port" -gt 65535 ]; then
    echo "$0: PORT must be a number from 1 to 65535, not '$port'" >&2
    exit 2
fi
# A Windows build's programs end in .exe, and its tools run here under Wine.
exe=
run=()
if [ -e "$build/portable/TrivetDesk.exe" ]; then
    exe=.exe
    run=(bash "$(dirname "$0")/wine-run.sh")
fi
for needed in "$build/portable/Trivet.ini" "$build/portable/TrivetDesk$exe" "$build/portable/Updater$exe" \
    "$build/tools/TrivetDemoBuilder$exe" "$build/tools/TrivetStandIn$exe" "$build/tools/TrivetPublish$exe"; do
    if [ ! -e "$needed" ]; then
        echo "$0: $needed is missing; build the project (with its tools) first" >&2
        exit 1
    fi
done

demo=$build/demo
portable=$demo/portable
rm -rf -- "$demo/mirror" "$demo/keys"
mkdir -p -- "$demo/keys"

# A throwaway key pair for this demo, made by the publisher's tool; its private half never enters the
# portable folder. The list's serial grows with every demo, so a launcher that kept an older list takes it.
key=$demo/keys/demo-mirror
"${run[@]}" "$build/tools/TrivetPublish$exe" keygen "$key" >/dev/null
serial=$(date +%s)

# The shipped settings pointed at the mirror. Only the host changes: the paths of the addresses are where
# the builder puts each file. The Updater's package has a built-in address on the maker's site; the demo
# names the mirror's instead.
ini=$demo/Trivet.ini
cp -- "$build/portable/Trivet.ini" "$ini"
sed -i "s#http://packages\.quillory\.example#http://127.0.0.1:$port#g" "$ini"
sed -i "s#^\(updateURL=.*\)\r\$#\1\r\nupdaterURL=http://127.0.0.1:$port/TrivetUpdate/TrivetUpdate.zip\r#" "$ini"

laidOut=0
if [ "$fresh" = 1 ] || [ ! -d "$portable" ]; then
    rm -rf -- "$portable"
    cp -a -- "$build/portable" "$portable"
    laidOut=1
else
    # Everything this build ships is this build's: the programs, their start script, the language and help
    # files a new text needs, and ver.dat, which names the version of the programs. Only the settings are the
    # user's; the programs the launcher installed are not shipped files and stay as they are.
    (cd "$build/portable" && find . -type f ! -path ./Trivet.ini -print0) | while IFS= read -r -d '' file; do
        mkdir -p -- "$(dirname -- "$portable/$file")"
        # Beside it first, then renamed over it: a launcher still running keeps its own file.
        cp -a -- "$build/portable/$file" "$portable/$file.new"
        mv -f -- "$portable/$file.new" "$portable/$file"
    done
    # A mirror on another port than last time.
    sed -i "s#http://127\.0\.0\.1:[0-9]*#http://127.0.0.1:$port#g" "$portable/Trivet.ini"
fi

# The rewritten settings go into the mirror's settings package too, so fetching fresh settings in the demo
# keeps the launcher on the mirror.
# Its version file offers a newer version than the demo's ver.dat, and its update package carries this
# build's launcher with a ver.dat that names it.
"${run[@]}" "$build/tools/TrivetDemoBuilder$exe" --standin "$build/tools/TrivetStandIn$exe" --out "$demo/mirror" \
    --ini "$ini" --launcher "$build/portable/TrivetDesk$exe" --key "$key.private" --serial "$serial"

# The builder wrote the new packages' checksums and sizes and the list's serial into those settings. A fresh
# folder takes them whole; a kept one takes only these three sections, or every download from the new mirror
# would be refused.
if [ "$laidOut" = 1 ] || [ ! -e "$portable/Trivet.ini" ]; then
    cp -- "$ini" "$portable/Trivet.ini"
else
    packageSections='BEGIN { inside = 0 }
        /^\[/ { name = tolower($0); sub(/\r$/, "", name); inside = (name == "[checksums]" || name == "[sizes]" || name == "[list]") }'
    { awk "$packageSections !inside" "$portable/Trivet.ini"; awk "$packageSections inside" "$ini"; } \
        > "$portable/Trivet.ini.new"
    mv -f -- "$portable/Trivet.ini.new" "$portable/Trivet.ini"
fi

# The demo's key replaces the last demo's, and the signed list goes beside the settings it carries, as a
# downloaded one is kept: the icons know which packages it vouches for from the start. Each file is put
# beside its place first and renamed over it.
mkdir -p -- "$portable/Keys"
for pair in "$key.key:Keys/demo-mirror.key" "$demo/mirror/settings/Trivet.zip:Trivet.zip" \
    "$demo/mirror/settings/Trivet.zip.sig:Trivet.zip.sig"; do
    cp -- "${pair%%:*}" "$portable/${pair#*:}.new"
    mv -f -- "$portable/${pair#*:}.new" "$portable/${pair#*:}"
done

echo "Demo ready: serve it with"
echo "  $build/tools/TrivetMirror$exe --root $demo/mirror --port $port"
echo "and start $portable/TrivetDesk$exe"
