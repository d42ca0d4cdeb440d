#!/usr/bin/env bash
# Builds everything with warnings as errors, checks the formatting and runs every test; checks that the
# self-contained portable folder runs with the system's Qt and libarchive hidden; then builds and runs the
# whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
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
