#!/bin/sh
# Starts the launcher from this folder: sh TrivetDesk.sh
# A FAT stick mounted by a desktop shows no run bit on TrivetDesk; the launcher is then started through
# the system's dynamic loader, which needs none, and Qt is told where this folder keeps its plugins.
# When the launcher itself is missing (an update was interrupted where files cannot keep two names), the
# Updater finishes or undoes that update first and then starts the launcher.
here=$(cd "$(dirname "$0")" && pwd)

run() {
    program=$1
    shift
    if [ -x "$here/$program" ]; then
        exec "$here/$program" "$@"
    fi
    for loader in /lib64/ld-linux-x86-64.so.2 /lib/x86_64-linux-gnu/ld-linux-x86-64.so.2 \
        /lib/ld-linux-aarch64.so.1 /lib/ld-linux-armhf.so.3; do
        if [ -x "$loader" ]; then
            if [ -d "$here/plugins" ]; then
                QT_PLUGIN_PATH="$here/plugins"
                export QT_PLUGIN_PATH
            fi
            exec "$loader" --library-path "$here/lib" "$here/$program" "$@"
        fi
    done
    echo "TrivetDesk.sh: no dynamic loader found to start $here/$program" >&2
    exit 1
}

if [ ! -e "$here/TrivetDesk" ] && [ -e "$here/Updater" ]; then
    run Updater --recover
fi
run TrivetDesk "$@"
