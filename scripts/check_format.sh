#!/usr/bin/env bash
# Checks that every C++ file of the tree is formatted by its .clang-format.
# Usage: check_format.sh [SOURCE_DIR]; lists the files that are not, and fails.
set -euo pipefail
cd "${1:-.}"
mapfile -t files < <(find src tests fuzz tools resources bench -name '*.cpp' -o -name '*.h' -o -name '*.cc' | sort)
unformatted=()
for file in "${files[@]}"; do
    if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
        unformatted+=("$file")
    fi
done
if [ ${#unformatted[@]} -gt 0 ]; then
    printf 'not formatted (clang-format -i FILE): %s\n' "${unformatted[@]}"
    exit 1
fi
