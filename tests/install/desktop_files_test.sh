#!/usr/bin/env bash
# The desktop entry and the AppStream description pass their validators.
#   desktop_files_test.sh <folder with the configured files> <application id>
set -euo pipefail
folder=$1
id=$2
desktop-file-validate "$folder/$id.desktop"
grep -qx 'Categories=Game;Emulator;' "$folder/$id.desktop"
grep -qx 'Exec=tarnwick' "$folder/$id.desktop"
appstreamcli validate --no-net "$folder/$id.metainfo.xml"
# The description names the version the build was made from.
version=$(sed -n 's/^project(Tarnwick VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
grep -q "<release version=\"$version\"" "$folder/$id.metainfo.xml"
echo "desktop files valid"
