#!/usr/bin/env bash
# Cross-builds the launcher, the Updater, the tools and the test suites for 64-bit Windows and lays out the
# folder that ships:
#     ./scripts/build-windows.sh [--cache DIR]
# writes build/windows/bundle/ and build/windows/QuilloryVidi-windows-x86_64.zip. The folder holds the two
# programs, the shipped files, and the DLLs and Qt plugins they load; scripts/check-windows-bundle.sh checks
# that nothing else is needed. The toolchain comes from scripts/windows-toolchain.sh (the same --cache).
set -euo pipefail
cd "$(dirname "$0")/.."

cache=${TRIVET_WINDOWS_CACHE:-$HOME/.cache/trivet-windows-toolchain}
if [ "${1:-}" = --cache ]; then
    cache=$2
fi
export TRIVET_WINDOWS_PREFIX=$cache/prefix
if [ ! -f "$TRIVET_WINDOWS_PREFIX/.complete" ]; then
    echo "build-windows: no toolchain in $TRIVET_WINDOWS_PREFIX; make one with scripts/windows-toolchain.sh" >&2
    exit 1
fi
bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 zip

# The Windows Qt has no Svg: a host build of the artwork's contact-sheet tool draws the pictures at build time.
cmake -S tools/artsheet -B build/artsheet -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/artsheet
cmake --preset windows -DTRIVET_ART_RENDERER="$PWD/build/artsheet/artsheet" >/dev/null
cmake --build --preset windows

build=build/windows
out=$build/bundle
rm -rf "$out"
mkdir -p "$out"
for program in TrivetDesk Updater; do
    x86_64-w64-mingw32-strip --strip-unneeded -o "$out/$program.exe" "$build/portable/$program.exe"
done
cp -r portable/Languages portable/Icons portable/Help portable/Keys portable/Trivet.ini portable/ver.dat "$out/"

# The plugins the programs load: the Windows platform (and offscreen, for a machine without a desktop), the
# image formats the shipped icons use, and TLS for downloads over HTTPS.
plugins=(platforms/qwindows.dll platforms/qoffscreen.dll imageformats/qgif.dll imageformats/qico.dll
    imageformats/qjpeg.dll tls/qschannelbackend.dll)
for plugin in "${plugins[@]}"; do
    mkdir -p "$out/$(dirname "$plugin")"
    x86_64-w64-mingw32-strip --strip-unneeded -o "$out/$plugin" "$TRIVET_WINDOWS_PREFIX/plugins/$plugin"
done

# Every DLL the programs and plugins import, found in the toolchain or the mingw runtime, beside the programs
# (Windows looks there first); the DLLs Windows itself ships are left to it.
search=("$TRIVET_WINDOWS_PREFIX/bin" /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\tDLL Name: //p'; }
queue=("$out"/*.exe $(find "$out" -name '*.dll'))
while [ ${#queue[@]} -gt 0 ]; do
    file=${queue[0]}
    queue=("${queue[@]:1}")
    for dll in $(imports "$file"); do
        [ -f "$out/$dll" ] && continue
        for dir in "${search[@]}"; do
            if [ -f "$dir/$dll" ]; then
                x86_64-w64-mingw32-strip --strip-unneeded -o "$out/$dll" "$dir/$dll"
                queue+=("$out/$dll")
                break
            fi
        done
    done
done
# Qt finds its plugins beside the programs.
printf '[Paths]\nPlugins = .\n' >"$out/qt.conf"

archive=$PWD/$build/QuilloryVidi-windows-x86_64.zip
rm -f "$archive"
(cd "$out" && zip -qr "$archive" .)
echo "build-windows: $out ($(du -sh "$out" | cut -f1)), $archive ($(du -h "$archive" | cut -f1))"
