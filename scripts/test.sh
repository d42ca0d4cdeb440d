#!/usr/bin/env bash
# Builds everything with warnings as errors, checks the formatting and runs every test; checks that the
# self-contained portable folder runs with the system's Qt and libarchive hidden; then builds and runs the
# whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer; then the Windows build and its suites
# under Wine, when a Windows toolchain is at hand.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset ci
cmake --build --preset ci

# The formatting check is part of the run: a missing clang-format is an error, never a skipped check.
if ! command -v clang-format >/dev/null 2>&1; then
    echo "clang-format is missing: scripts/install-deps.sh installs it"
    exit 1
fi
unformatted=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep -c 'warning:' || true)
if [ "$unformatted" != "0" ]; then
    git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep 'warning:' | head -20
    echo "clang-format: $unformatted places differ from .clang-format"
    exit 1
fi

ctest --preset ci

# The portable folder that carries its own libraries must run where neither Qt nor libarchive is installed.
bash scripts/bundle.sh ci
bash scripts/check-bundle.sh build/ci/bundle

# The sanitizers find memory and undefined-behaviour faults the plain suite passes over. The preset gives the
# tests TRIVET_SANITIZED=1, which makes the kill tests interrupt fewer children.
cmake --preset asan
cmake --build --preset asan
ctest --preset asan

# The Windows build: cross-built with mingw-w64, its bundle checked, its suites run under Wine. It needs the
# toolchain of scripts/windows-toolchain.sh, in the cache or as an archive (TRIVET_WINDOWS_TOOLCHAIN, else
# ../shared/toolchains/windows-toolchain.tar.zst beside the checkout); without either it is skipped.
windows_cache=${TRIVET_WINDOWS_CACHE:-$HOME/.cache/trivet-windows-toolchain}
windows_archive=${TRIVET_WINDOWS_TOOLCHAIN:-../shared/toolchains/windows-toolchain.tar.zst}
if [ -n "${TRIVET_WINDOWS_TOOLCHAIN:-}" ] && [ ! -f "$TRIVET_WINDOWS_TOOLCHAIN" ]; then
    echo "TRIVET_WINDOWS_TOOLCHAIN names $TRIVET_WINDOWS_TOOLCHAIN, which does not exist"
    exit 1
fi
if [ -f "$windows_cache/prefix/.complete" ] || [ -f "$windows_archive" ]; then
    if [ ! -f "$windows_cache/prefix/.complete" ]; then
        bash scripts/windows-toolchain.sh --cache "$windows_cache" --from "$windows_archive"
    fi
    bash scripts/build-windows.sh --cache "$windows_cache"
    bash scripts/check-windows-bundle.sh build/windows/bundle
    TRIVET_WINDOWS_PREFIX=$windows_cache/prefix ctest --preset windows
else
    echo "The Windows part was skipped: no toolchain in $windows_cache and no $windows_archive" \
        "(scripts/windows-toolchain.sh builds one)"
fi
