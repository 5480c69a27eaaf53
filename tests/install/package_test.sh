#!/usr/bin/env bash
# Builds Tarnwick in Release beside the test build, installs it into a temporary root and checks
# the layout, starts the installed program there on a fresh home, then makes the Debian package
# and checks its contents and lintian's verdict.
#   package_test.sh <source folder> <build folder> <application id> [compiler launcher]
set -euo pipefail
source=$1
build=$2
id=$3
launcher=${4:-}

configure=(-S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF
           -DTARNWICK_SANITIZE=OFF)
if [ -n "$launcher" ]; then
  configure+=(-DCMAKE_CXX_COMPILER_LAUNCHER="$launcher" -DCMAKE_C_COMPILER_LAUNCHER="$launcher")
fi
cmake "${configure[@]}" > /dev/null
cmake --build "$build" -j 2 > /dev/null

work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }

# --- cmake --install -------------------------------------------------------------------------
root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr > /dev/null
layout=(
  usr/lib/tarnwick/Tarnwick usr/lib/tarnwick/libzipengine.so usr/lib/tarnwick/libunzengine.so
  usr/lib/tarnwick/ZIPSFX.BIN usr/lib/tarnwick/HLP/Tarnwick.html
  usr/lib/tarnwick/LISTS/Systems.lst usr/lib/tarnwick/LISTS/Types.lst usr/lib/tarnwick/LISTS/Languages.lst
  "usr/share/applications/$id.desktop" "usr/share/metainfo/$id.metainfo.xml"
  usr/share/icons/hicolor/scalable/apps/tarnwick.svg usr/share/icons/hicolor/48x48/apps/tarnwick.png
  usr/share/icons/hicolor/256x256/apps/tarnwick.png usr/share/doc/tarnwick/copyright
  usr/share/doc/tarnwick/changelog.gz usr/share/man/man1/tarnwick.1.gz
)
for f in "${layout[@]}"; do [ -f "$root/$f" ] || fail "missing $f"; done
[ "$(readlink "$root/usr/bin/tarnwick")" = ../lib/tarnwick/Tarnwick ] || fail "bin/tarnwick is not the link"
[ -x "$root/usr/lib/tarnwick/Tarnwick" ] || fail "the executable cannot be run"
for f in EMUS.LST ROMS.LST; do [ ! -e "$root/usr/lib/tarnwick/LISTS/$f" ] || fail "$f installed"; done
file "$root/usr/share/icons/hicolor/48x48/apps/tarnwick.png" | grep -q '48 x 48' || fail "48x48 icon size"

# The installed program, started through its link on a fresh home, makes the user's data folder
# and writes nothing into its own.
touch "$work/before"
mkdir "$work/home"
HOME=$work/home XDG_DATA_HOME= "$root/usr/bin/tarnwick" > "$work/out.txt" 2>&1 &
pid=$!
data=$work/home/.local/share/tarnwick
for _ in $(seq 1 600); do
  [ -f "$data/LISTS/ROMS.LST" ] && [ -f "$data/LISTS/Types.lst" ] && break
  kill -0 "$pid" 2>/dev/null || { cat "$work/out.txt"; fail "tarnwick ended at start"; }
  sleep 0.1
done
[ -f "$data/LISTS/ROMS.LST" ] || fail "no data folder made under the home"
cmp "$data/LISTS/Types.lst" "$root/usr/lib/tarnwick/LISTS/Types.lst"
[ ! -s "$data/LISTS/EMUS.LST" ] || fail "EMUS.LST not empty"
kill -0 "$pid" || fail "tarnwick ended"
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
pid=
[ -z "$(find "$root" -newer "$work/before" -print -quit)" ] || fail "tarnwick wrote into its install"

# --- the Debian package ----------------------------------------------------------------------
rm -f "$build"/tarnwick_*.deb
(cd "$build" && cpack -G DEB > /dev/null)
deb=$(ls "$build"/tarnwick_*.deb)
dpkg-deb --contents "$deb" > "$work/contents.txt"
for f in "${layout[@]}"; do grep -q " ./$f\$" "$work/contents.txt" || fail "package lacks $f"; done
grep -q ' ./usr/bin/tarnwick -> ../lib/tarnwick/Tarnwick$' "$work/contents.txt" || fail "package lacks the link"
dpkg-deb --field "$deb" Depends | grep -q 'libqt6widgets6' || fail "no dependencies found by dpkg-shlibdeps"
dpkg-deb --field "$deb" Maintainer | grep -q '@' || fail "no maintainer"
lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1 | tee "$work/lintian.txt"
! grep -q '^E:' "$work/lintian.txt" || fail "lintian errors"
echo "package $(basename "$deb") checked"
