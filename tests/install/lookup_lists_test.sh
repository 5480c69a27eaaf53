#!/usr/bin/env bash
# A build lays out a lookup list only where none is: a list the user edited stays as it is.
#   lookup_lists_test.sh <source folder>
set -euo pipefail
source=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/app/LISTS"
printf 'My own types\r\n' > "$work/app/LISTS/Types.lst"
for round in 1 2; do
  cmake -DFROM="$source/data/LISTS" -DTO="$work/app/LISTS" -P "$source/scripts/lay_missing.cmake"
  [ "$(cat "$work/app/LISTS/Types.lst")" = $'My own types\r' ] || { echo "edited Types.lst overwritten"; exit 1; }
  cmp "$source/data/LISTS/Systems.lst" "$work/app/LISTS/Systems.lst"
  cmp "$source/data/LISTS/Languages.lst" "$work/app/LISTS/Languages.lst"
done
echo "lookup lists kept"
