#!/bin/sh
# Seeds the fuzzing corpora (archives into $1, volume sets into $2) with real archives:
# Info-ZIP with folders, a comment and a stub,
# zip64 from -fz and from standard input, Python's zipfile with DOS names and entry comments,
# an empty archive.
set -eu
mkdir -p "$1" "$2"
corpus=$(cd "$1" && pwd)
sets=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p d/sub
printf 'hello' > d/a.txt
head -c 3000 /dev/zero > d/sub/zero.bin
(cd d && zip -q -r ../plain.zip . && printf 'a comment' | zip -q -z ../plain.zip)
cp plain.zip "$corpus/infozip.zip"
# zip64: records forced by -fz, and sizes unknown ahead when zipping standard input.
(cd d && zip -q -r -fz ../zip64.zip .) && cp zip64.zip "$corpus/zip64.zip"
printf 'piped' | zip -q "$corpus/stdin.zip" -
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
# Volume sets for the join target, in its input form (a count byte, the lengths of all volumes
# but the last, then the volumes): small archives cut the way a split cuts them, local and
# central records kept whole on one volume, offsets counted per volume.
python3 - "$sets" "$corpus/python.zip" "$corpus/infozip.zip" <<'PY'
import struct, sys, zipfile
out = sys.argv[1]

def split(path, volume_size):
    data = open(path, 'rb').read()
    z = zipfile.ZipFile(path)
    volumes = [bytearray(b'PK\x07\x08')]
    def put(record, whole):
        if whole and len(volumes[-1]) + len(record) > volume_size and len(volumes[-1]) > 0:
            volumes.append(bytearray())
        while record:
            room = max(volume_size - len(volumes[-1]), 1 if not whole else len(record))
            volumes[-1] += record[:room]
            record = record[room:]
            if record:
                volumes.append(bytearray())
        return len(volumes) - 1
    places = []
    for info in z.infolist():
        at = info.header_offset
        name_len, extra_len = struct.unpack('<HH', data[at + 26:at + 30])
        header = data[at:at + 30 + name_len + extra_len]
        disk = put(header, True)
        places.append((disk, len(volumes[disk]) - len(header)))
        put(data[at + len(header):at + len(header) + info.compress_size], False)
    end = data.rfind(b'PK\x05\x06')
    count, size, offset = struct.unpack('<HII', data[end + 10:end + 20])
    at = offset
    first = None
    for i in range(count):
        name_len, extra_len, comment_len = struct.unpack('<HHH', data[at + 28:at + 34])
        record = bytearray(data[at:at + 46 + name_len + extra_len + comment_len])
        struct.pack_into('<H', record, 34, places[i][0])
        struct.pack_into('<I', record, 42, places[i][1])
        disk = put(bytes(record), True)
        if first is None:
            first = (disk, len(volumes[disk]) - len(record))
        at += len(record)
    record = bytearray(data[end:])
    struct.pack_into('<HHHH', record, 4, len(volumes) - 1, first[0], count, count)
    struct.pack_into('<I', record, 16, first[1])
    if len(volumes[-1]) + len(record) > volume_size:
        volumes.append(bytearray())
        struct.pack_into('<HH', record, 4, len(volumes) - 1, first[0])
    volumes[-1] += record
    return volumes

for name in sys.argv[2:]:
    for size in (150, 250, 1000):
        volumes = split(name, size)[:6]
        seed = bytes([len(volumes) - 1])
        for v in volumes[:-1]:
            seed += struct.pack('<I', len(v))
        seed += b''.join(bytes(v) for v in volumes)
        open('%s/%s-%d.set' % (out, name.rsplit('/', 1)[1], size), 'wb').write(seed)
PY
