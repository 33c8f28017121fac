#!/usr/bin/env bash
# Fails when a tracked C++ source differs from what clang-format makes of it (the project's .clang-format).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- '*.h' '*.cpp' 2>/dev/null || find . -path ./build -prune -o \( -name '*.h' -o -name '*.cpp' \) -print)
if [ ${#files[@]} -eq 0 ]; then
    exit 0
fi
clang-format --dry-run --Werror "${files[@]}"
echo "check-format: ${#files[@]} files formatted"
