#!/usr/bin/env bash
# Fails, naming the files, when a tracked C++ file differs from what clang-format makes of it
# with the tree's .clang-format; `make format` mends them. Usage: check_format.sh [clang-format]
set -euo pipefail
formatter=${1:-clang-format}
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 "$formatter" --dry-run -Werror
