#!/usr/bin/env bash
# Checks (or, with --fix, applies) the house style of .clang-format on every
# C++ file the repository tracks, the generated code page table excepted.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' | grep -v '^src/core/charcode/cp932_table.cpp$')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
else
  clang-format --dry-run -Werror "${files[@]}"
  echo "check-format: ${#files[@]} files in the house style"
fi
