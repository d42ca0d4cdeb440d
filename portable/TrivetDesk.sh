#!/bin/sh
# Starts the launcher from this folder: sh TrivetDesk.sh
# A FAT stick mounted by a desktop shows no run bit on TrivetDesk; the launcher is then started through
# the system's dynamic loader, which needs none, and Qt is told where this folder keeps its plugins.
here=$(cd "$(dirname "$0")" && pwd)
if [ -x "$here/TrivetDesk" ]; then
    exec "$here/TrivetDesk" "$@"
fi
for loader in /lib64/ld-linux-x86-64.so.2 /lib/x86_64-linux-gnu/ld-linux-x86-64.so.2 \
    /lib/ld-linux-aarch64.so.1 /lib/ld-linux-armhf.so.3; do
    if [ -x "$loader" ]; then
        if [ -d "$here/plugins" ]; then
            QT_PLUGIN_PATH="$here/plugins"
            export QT_PLUGIN_PATH
        fi
        exec "$loader" --library-path "$here/lib" "$here/TrivetDesk" "$@"
    fi
done
echo "TrivetDesk.sh: no dynamic loader found to start $here/TrivetDesk" >&2
exit 1
