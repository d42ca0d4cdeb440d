#!/bin/sh
# Rebuilds portable/Icons/Qmark.gif from launcher/art/qmark.svg. The own-application slots load the placeholder
# as a plain image file, so it ships as a GIF rendered with the same SVG renderer the launcher uses.
# Usage: tools/artsheet/make-qmark.sh BUILD_DIR_OF_ARTSHEET   (run from the repository root)
set -eu
tool="${1:?build folder of tools/artsheet}/artsheet"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
QT_QPA_PLATFORM=offscreen "$tool" --render launcher/art/qmark.svg 49 "$tmp/qmark.png"
# The picture is opaque by design: GIF transparency is all or nothing and would leave ragged corners.
convert "$tmp/qmark.png" -background '#eef2f7' -alpha remove -alpha off -dither None -colors 64 portable/Icons/Qmark.gif
