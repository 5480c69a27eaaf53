#!/bin/sh
# Seeds the fuzzing corpus with real archives: Info-ZIP with folders, a comment and a stub,
# Python's zipfile with DOS names and entry comments, an empty archive.
set -eu
mkdir -p "$1"
corpus=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p d/sub
printf 'hello' > d/a.txt
head -c 3000 /dev/zero > d/sub/zero.bin
(cd d && zip -q -r ../plain.zip . && printf 'a comment' | zip -q -z ../plain.zip)
cp plain.zip "$corpus/infozip.zip"
(printf 'MZstub-stub-stub'; cat plain.zip) > "$corpus/stub.exe"
(printf 'MZstub-stub-stub'; cat plain.zip) > adjusted.exe && zip -q -A adjusted.exe && cp adjusted.exe "$corpus/adjusted.exe"
python3 - "$corpus" <<'PY'
import sys, zipfile
corpus = sys.argv[1]
with zipfile.ZipFile(corpus + "/python.zip", "w") as z:
    info = zipfile.ZipInfo("dir/name.nes")
    info.create_system = 0
    info.comment = b"entry comment \x81"
    z.writestr(info, b"x" * 100)
    z.writestr("second.txt", b"second")
    z.comment = b"archive comment"
with zipfile.ZipFile(corpus + "/empty.zip", "w") as z:
    pass
PY
