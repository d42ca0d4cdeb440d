#!/usr/bin/env bash
# Builds the toolchain the Windows build needs, from Debian's own packages and source packages only, into one
# prefix in a cache folder outside the repository:
#   - the mingw-w64 compilers (posix threads) and Wine, from Debian's packages;
#   - Qt (Core, Gui, Widgets, Network with Schannel, Svg, Test; no OpenGL, no D-Bus) cross-built from the source
#     packages of the Qt version the Linux build uses, with Debian's own Qt as the host Qt.
# A second run with the prefix in place does nothing. Each part prints how long it took.
#
# Usage: scripts/windows-toolchain.sh [--cache DIR] [--from FILE.tar.zst] [--pack FILE.tar.zst]
#   --cache DIR   where the prefix and the work files go (default: TRIVET_WINDOWS_CACHE, or
#                 ~/.cache/trivet-windows-toolchain); the prefix is DIR/prefix
#   --from FILE   unpack a toolchain made by --pack instead of building one
#   --pack FILE   write the prefix to FILE (tar + zstd) once it is there
set -euo pipefail
cd "$(dirname "$0")/.."

cache=${TRIVET_WINDOWS_CACHE:-$HOME/.cache/trivet-windows-toolchain}
from=
pack=
while [ $# -gt 0 ]; do
    case "$1" in
    --cache) cache=$2; shift 2 ;;
    --from) from=$2; shift 2 ;;
    --pack) pack=$2; shift 2 ;;
    *) sed -n '/^# Usage/,/^#   --pack/p' "$0" >&2; exit 2 ;;
    esac
done
prefix=$cache/prefix
work=$cache/work
say() { echo "windows-toolchain: $*" >&2; }
timed() { # NAME COMMAND...: runs the command and says how long it took
    local name=$1 start=$SECONDS
    shift
    "$@"
    say "$name: $((SECONDS - start)) s"
}

bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 dpkg-dev zstd qt6-base-dev-tools \
    qt6-svg-dev

if [ -n "$from" ]; then
    if [ ! -f "$prefix/.complete" ]; then
        rm -rf "$prefix"
        mkdir -p "$cache"
        timed "unpacking $from" tar --zstd -xf "$from" -C "$cache"
    fi
    say "toolchain in $prefix"
    exit 0
fi

# --- Sources ---------------------------------------------------------------------------------------------------
# A deb-src entry for the archive the machine installs from, in apt state of its own: the machine's own lists
# and sources stay as they are.
fetch_sources() { # PACKAGE=VERSION...
    local apt=$work/apt
    rm -rf "$apt"
    mkdir -p "$apt/parts" "$apt/lists/partial" "$apt/archives/partial" "$work/src"
    local list
    for list in /etc/apt/sources.list.d/*.sources; do
        [ -f "$list" ] && sed 's/^Types: deb$/Types: deb-src/' "$list" >"$apt/parts/$(basename "$list")"
    done
    if [ -f /etc/apt/sources.list ]; then
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"$apt/sources.list"
    else
        : >"$apt/sources.list"
    fi
    local options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
        -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache::Archives=$apt/archives" -o "APT::Sandbox::User=root")
    apt-get "${options[@]}" update -qq
    local package
    for package in "$@"; do
        # The version asked for, else the release's own version (the archive may keep only the newest
        # security update's binaries, not its sources).
        (cd "$work/src" && apt-get "${options[@]}" source -qq "$package") ||
            (cd "$work/src" && apt-get "${options[@]}" source -qq "${package%%=*}/$(. /etc/os-release && echo "$VERSION_CODENAME")") ||
            say "cannot fetch the source of $package"
    done
}

source_dir() { # PACKAGE: the unpacked source folder of a package
    find "$work/src" -maxdepth 1 -mindepth 1 -type d -name "$1-*" | sort | tail -n 1
}

# --- Qt ----------------------------------------------------------------------------------------------------------
toolchain_file=$work/mingw-w64.cmake
write_toolchain_file() {
    mkdir -p "$work"
    cat >"$toolchain_file" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 $prefix)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
}

build_qtbase() {
    local src build=$work/build-qtbase
    src=$(source_dir qt6-base)
    cmake -S "$src" -B "$build" -G Ninja -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain_file" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_SHARED_LIBS=ON \
        -DFEATURE_tabletevent=OFF -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_dbus=OFF -DFEATURE_vulkan=OFF \
        -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF -DFEATURE_xml=OFF -DFEATURE_icu=OFF \
        -DFEATURE_fontconfig=OFF -DFEATURE_openssl=OFF -DFEATURE_schannel=ON -DFEATURE_freetype=ON \
        -DFEATURE_system_freetype=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF \
        -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
        -DFEATURE_system_doubleconversion=OFF >"$work/qtbase-configure.log"
    cmake --build "$build" --parallel "$(nproc)" >"$work/qtbase-build.log"
    cmake --install "$build" >/dev/null
}

build_qtsvg() {
    local src build=$work/build-qtsvg
    src=$(source_dir qt6-svg)
    "$prefix/bin/qt-cmake" -S "$src" -B "$build" -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Release \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF >"$work/qtsvg-configure.log"
    cmake --build "$build" --parallel "$(nproc)" >"$work/qtsvg-build.log"
    cmake --install "$build" >/dev/null
}

if [ -f "$prefix/.complete" ]; then
    say "toolchain already in $prefix"
else
    total=$SECONDS
    write_toolchain_file
    # The Qt version the Linux build uses.
    qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
    svg_version=$(dpkg-query -W -f='${Version}' qt6-svg-dev)
    if [ -z "$(source_dir qt6-base)" ] || [ -z "$(source_dir qt6-svg)" ]; then
        timed "Qt sources" fetch_sources "qt6-base=$qt_version" "qt6-svg=$svg_version"
    fi
    [ -n "$(source_dir qt6-base)" ] || { say "no source of qt6-base $qt_version"; exit 1; }
    [ -f "$prefix/bin/Qt6Core.dll" ] || timed "Qt base" build_qtbase
    if [ -z "$(source_dir qt6-svg)" ]; then
        say "no source of qt6-svg $svg_version: the toolchain has no Qt Svg"
    elif [ ! -f "$prefix/bin/Qt6Svg.dll" ]; then
        timed "Qt Svg" build_qtsvg
    fi
    touch "$prefix/.complete"
    say "toolchain in $prefix ($(du -sh "$prefix" | cut -f1)), $((SECONDS - total)) s in all"
fi
if [ -n "$pack" ]; then
    timed "packing $pack" tar --zstd -cf "$pack" -C "$cache" prefix
fi
