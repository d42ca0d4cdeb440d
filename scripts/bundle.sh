#!/usr/bin/env bash
# Makes a portable folder that runs on a desktop Linux without Qt or libarchive installed:
#     ./scripts/bundle.sh [preset]        (default: release)
# writes build/PRESET/bundle/ and build/PRESET/QuilloryVidi-linux-x86_64.tar.gz. The folder holds the two
# programs and the publisher's tool TrivetPublish, the shipped files, the Qt plugins they load and, in lib/,
# every library they need that a plain desktop may lack. The programs find lib/ through an $ORIGIN run path
# kept as DT_RPATH, which also applies to the libraries and plugins they load; qt.conf points Qt at plugins/.
# No symbolic links and no run bits are needed on the libraries, so the folder can be copied to a FAT stick.
set -euo pipefail
cd "$(dirname "$0")/.."

preset=${1:-release}
bash scripts/install-deps.sh patchelf qt6-wayland
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target TrivetDesk Updater TrivetPublish portable_folder

build=build/$preset
out=$build/bundle
qtplugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
rm -rf "$out"
mkdir -p "$out/lib" "$out/plugins"

# The programs and the files that ship beside them; a settings file left behind by trying the build's
# own folder is not shipped, the source's is.
for program in TrivetDesk Updater; do
    cp "$build/portable/$program" "$out/"
    strip --strip-unneeded "$out/$program"
    patchelf --force-rpath --set-rpath '$ORIGIN/lib' "$out/$program"
done
# The publisher's tool, so whoever runs a mirror signs with what the sticks carry.
cp "$build/tools/TrivetPublish" "$out/"
strip --strip-unneeded "$out/TrivetPublish"
patchelf --force-rpath --set-rpath '$ORIGIN/lib' "$out/TrivetPublish"
cp -r portable/Languages portable/Icons portable/Help portable/Keys portable/Trivet.ini portable/ver.dat \
    portable/TrivetDesk.sh "$out/"

# Only the plugins the programs load: the X11 and Wayland platforms (and offscreen, for machines without
# a display), client-side window decorations and the xdg shell for Wayland, the image formats and icon
# engine the artwork uses, input methods, and TLS for downloads over HTTPS. OpenGL integrations, the
# GTK theme, printing and the network-information backends stay out: nothing here draws with OpenGL,
# prints or asks for them.
plugins=(
    platforms/libqxcb.so platforms/libqwayland-generic.so platforms/libqoffscreen.so
    wayland-shell-integration/libxdg-shell.so wayland-decoration-client/libbradient.so
    imageformats/libqgif.so imageformats/libqico.so imageformats/libqjpeg.so imageformats/libqsvg.so
    iconengines/libqsvgicon.so
    platforminputcontexts/libcomposeplatforminputcontextplugin.so
    platforminputcontexts/libibusplatforminputcontextplugin.so
    tls/libqopensslbackend.so
)
for plugin in "${plugins[@]}"; do
    if [ -f "$qtplugins/$plugin" ]; then
        mkdir -p "$out/plugins/$(dirname "$plugin")"
        cp "$qtplugins/$plugin" "$out/plugins/$plugin"
        strip --strip-unneeded "$out/plugins/$plugin"
    else
        echo "bundle: $plugin is not installed and is left out"
    fi
done

# What must match the machine the stick is plugged into stays out, as on every desktop:
#  - the C library family and the dynamic loader, and GCC's C++ runtime, which the graphics drivers load
#    too (any system with glibc 2.36 has GCC 12's);
#  - the GL/EGL/DRM driver stack, including libwayland-egl;
#  - the X11 core client libraries (Xlib, libxcb itself, their authorisation and session libraries);
#  - fontconfig and freetype, which must agree with the machine's font configuration.
excluded='^(ld-linux.*|libc|libm|libdl|libpthread|librt|libresolv|libutil|libanl|libstdc\+\+|libgcc_s'
excluded+='|libGL|libGLX|libGLdispatch|libOpenGL|libEGL|libdrm|libgbm|libwayland-egl'
excluded+='|libX11|libX11-xcb|libxcb|libXau|libXdmcp|libICE|libSM|libfontconfig|libfreetype)\.so'
# TLS libraries are opened by name at the first HTTPS download, so no link names them.
extra=(libssl.so.3 libcrypto.so.3)

objects=("$out/TrivetDesk" "$out/Updater" "$out/TrivetPublish")
mapfile -t -O 3 objects < <(find "$out/plugins" -name '*.so')
declare -A wanted=()
while read -r name path; do
    if [[ ! $name =~ $excluded ]]; then
        wanted[$name]=$path
    fi
done < <(ldd "${objects[@]}" | awk '$2 == "=>" && $3 ~ /^\// { print $1, $3 }' | sort -u)
for name in "${extra[@]}"; do
    # awk reads to the end: leaving early would end ldconfig by SIGPIPE, which pipefail counts as a failure
    # once the cache is larger than a pipe holds.
    path=$(ldconfig -p | awk -v n="$name" '$1 == n && /x86-64/ && !found { print $NF; found = 1 }')
    [ -n "$path" ] && wanted[$name]=$path
done
for name in "${!wanted[@]}"; do
    cp -L "${wanted[$name]}" "$out/lib/$name"
    chmod 0644 "$out/lib/$name"
done
strip --strip-unneeded "$out"/lib/*.so*

cat > "$out/qt.conf" <<'EOF'
[Paths]
Prefix = .
Plugins = plugins
Libraries = lib
EOF

tarball=$build/QuilloryVidi-linux-x86_64.tar.gz
tar -C "$build" --transform 's,^bundle,QuilloryVidi,' -czf "$tarball" bundle
echo "bundle: $out, $(du -sh "$out" | cut -f1) ($(ls "$out/lib" | wc -l) libraries); $tarball, $(du -h "$tarball" | cut -f1)"
# The eight largest; awk reads the whole list, since a head that leaves early may end sort by SIGPIPE.
du -s "$out"/lib/* "$out"/plugins "$out"/TrivetDesk "$out"/Updater | sort -rn |
    awk 'NR <= 8 { printf "bundle:   %6.1f MiB  %s\n", $1 / 1024, $2 }'
