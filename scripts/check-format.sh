#!/usr/bin/env bash
# Checks that every C++ file git tracks in the source tree is formatted as the root .clang-format
# says; prints the differences and fails when one is not. Skips (status 77) when the tree is not
# a git checkout of its own (an unpacked copy, or the scratch tree of `make mutants`).
#
#   scripts/check-format.sh [SOURCE-DIR]     (run by ctest as "format")
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

top=$(git rev-parse --show-toplevel 2>/dev/null || true)
if [[ "$top" != "$(pwd -P)" ]]; then
    echo "check-format: $(pwd) is not a git checkout, so there is no list of tracked files; skipped"
    exit 77
fi
files=()
while IFS= read -r -d '' file; do
    [[ -f "$file" ]] && files+=("$file")
done < <(git ls-files -z -- '*.cpp' '*.h')
clang-format --dry-run -Werror "${files[@]}" </dev/null
echo "check-format: ${#files[@]} files formatted as .clang-format says"
