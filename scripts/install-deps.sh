#!/usr/bin/env bash
# Installs the Debian packages the build, the tests (the formatting check included) and the demo need, and any
# named as arguments, when missing.
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev qt6-svg-dev libarchive-dev libssl-dev xvfb xauth clang-format "$@")
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo_cmd=(sudo)
    fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
