#!/usr/bin/env bash
# Builds the toolchain the Windows build needs, from Debian's own packages and source packages only, into one
# prefix in a cache folder outside the repository:
#   - the mingw-w64 compilers (posix threads) and Wine, from Debian's packages;
#   - Qt (Core, Gui, Widgets, Network with Schannel, Svg, Test; no OpenGL, no D-Bus) cross-built from the source
#     packages of the Qt version the Linux build uses, with Debian's own Qt as the host Qt;
#   - libarchive with zlib, bzip2, xz and zstd, and OpenSSL's libcrypto, from their Debian source packages.
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
    local package release
    release=$(. /etc/os-release && echo "$VERSION_CODENAME")
    for package in "$@"; do
        # The version asked for, else the release's own version (the archive may keep only the newest
        # security update's binaries, not its sources), else the upstream tarball alone when the archive
        # has lost only Debian's part of the source.
        (cd "$work/src" && apt-get "${options[@]}" source -qq "$package") ||
            (cd "$work/src" && apt-get "${options[@]}" source -qq "${package%%=*}/$release") ||
            fetch_upstream_only "${package%%=*}" "${options[@]}" ||
            say "cannot fetch the source of $package"
    done
}

fetch_upstream_only() { # PACKAGE APT-OPTIONS...: unpacks the package's .orig tarball as PACKAGE-VERSION
    local package=$1 uri name version
    shift
    read -r uri name < <(apt-get "$@" --print-uris source -qq "$package" | tr -d "'" |
        awk '$2 ~ /\.orig\.tar\.[a-z0-9]+$/ { print $1, $2; exit }')
    [ -n "$uri" ] || return 1
    version=${name#*_}
    version=${version%.orig.tar.*}
    curl -fsS -o "$work/src/$name" "$uri" || return 1
    mkdir -p "$work/src/$package-$version"
    tar -xf "$work/src/$name" -C "$work/src/$package-$version" --strip-components=1
    say "$package: the archive has only the upstream source of $version; built without Debian's changes"
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

# --- Libraries: the compressors as static libraries, libarchive and libcrypto as DLLs ----------------------------
cross=x86_64-w64-mingw32
cmake_cross() { # SOURCE BUILD OPTIONS...: configures, builds and installs one CMake project into the prefix
    local src=$1 build=$2
    shift 2
    cmake -S "$src" -B "$build" -G Ninja -Wno-dev -DCMAKE_TOOLCHAIN_FILE="$toolchain_file" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" "$@" \
        >"$build.configure.log"
    cmake --build "$build" --parallel "$(nproc)" >"$build.log"
    cmake --install "$build" >/dev/null
}

compile_static() { # NAME SOURCE-DIR PARTS...: compiles the C files SOURCE-DIR/PART.c into PREFIX/lib/libNAME.a
    local name=$1 src=$2 part build=$work/build-$1
    shift 2
    mkdir -p "$build" "$prefix/lib" "$prefix/include"
    for part in "$@"; do
        $cross-gcc -O2 -c "$src/$part.c" -o "$build/$part.o"
    done
    rm -f "$prefix/lib/lib$name.a"
    $cross-ar rcs "$prefix/lib/lib$name.a" "$build"/*.o
}

build_zlib() {
    local src
    src=$(source_dir zlib)
    compile_static z "$src" adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
        inftrees trees uncompr zutil
    install -m644 "$src/zlib.h" "$src/zconf.h" "$prefix/include/"
}

build_bzip2() {
    local src
    src=$(source_dir bzip2)
    compile_static bz2 "$src" blocksort huffman crctable randtable compress decompress bzlib
    install -m644 "$src/bzlib.h" "$prefix/include/"
}

build_xz() {
    cmake_cross "$(source_dir xz-utils)" "$work/build-xz" -DBUILD_SHARED_LIBS=OFF
}

build_zstd() {
    cmake_cross "$(source_dir libzstd)/build/cmake" "$work/build-zstd" -DZSTD_BUILD_PROGRAMS=OFF \
        -DZSTD_BUILD_SHARED=OFF -DZSTD_BUILD_STATIC=ON -DZSTD_BUILD_TESTS=OFF -DZSTD_MULTITHREAD_SUPPORT=OFF
}

build_libarchive() {
    cmake_cross "$(source_dir libarchive)" "$work/build-libarchive" -DENABLE_TEST=OFF -DENABLE_TAR=OFF \
        -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF \
        -DENABLE_LIBB2=OFF -DENABLE_LZ4=OFF -DENABLE_LZO=OFF -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF \
        -DENABLE_PCREPOSIX=OFF -DENABLE_LIBGCC=OFF -DENABLE_ICONV=OFF -DENABLE_ACL=OFF -DENABLE_XATTR=OFF \
        -DENABLE_ZLIB=ON -DENABLE_BZip2=ON -DENABLE_LZMA=ON -DENABLE_ZSTD=ON \
        -DPOSIX_REGEX_LIB=NONE -DZLIB_WINAPI=0 -DZLIB_WINAPI_WITH_LIB="$prefix/lib/libz.a"
    # libarchive's configure would run a Windows program to learn whether zlib uses the WINAPI calling
    # convention; the zlib built above does not, and saying so keeps Wine out of the build.
}

build_libcrypto() {
    local src build=$work/build-openssl
    src=$(cd "$(source_dir openssl)" && pwd)
    mkdir -p "$build"
    (cd "$build" && perl "$src/Configure" mingw64 --cross-compile-prefix=$cross- --prefix="$prefix" --libdir=lib \
        shared no-tests no-module no-engine no-ui-console >"$build.configure.log" &&
        make -j"$(nproc)" build_libs >"$build.log" && make install_dev install_runtime_libs >/dev/null)
    # Only the libraries are built: the openssl program and the manuals are not needed.
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
    if [ ! -f "$prefix/bin/libarchive.dll" ] || [ ! -f "$prefix/bin/libcrypto-3-x64.dll" ]; then
        missing=()
        for part in zlib bzip2 xz-utils libzstd libarchive openssl; do
            [ -n "$(source_dir "$part")" ] || missing+=("$part")
        done
        [ ${#missing[@]} -eq 0 ] || timed "library sources" fetch_sources "${missing[@]}"
        for part in "${missing[@]}"; do
            [ -n "$(source_dir "$part")" ] || { say "no source of $part"; exit 1; }
        done
    fi
    [ -f "$prefix/lib/libz.a" ] || timed "zlib" build_zlib
    [ -f "$prefix/lib/libbz2.a" ] || timed "bzip2" build_bzip2
    [ -f "$prefix/lib/liblzma.a" ] || timed "xz" build_xz
    [ -f "$prefix/lib/libzstd.a" ] || timed "zstd" build_zstd
    [ -f "$prefix/bin/libarchive.dll" ] || timed "libarchive" build_libarchive
    [ -f "$prefix/bin/libcrypto-3-x64.dll" ] || timed "libcrypto" build_libcrypto
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
