#!/usr/bin/env python3
"""Lays out a demo program folder: a copy of the built program with a small sample catalogue.

    make_demo.py <built program folder> <demo emulator program> <demo folder>

The folder is portable (it holds portable.txt), so the demo's catalogue stays in it. The catalogue
holds four emulators (each a copy of the demo emulator, which shows the ROM it was
given) covering the four ways a ROM reaches its emulator, plain and zipped ROMs, and one ROM
whose file is missing. An existing demo folder is laid out anew.
"""
import os
import shutil
import struct
import sys
import zipfile


def field(text, width):
    data = text.encode("utf-8")[: width - 1]
    return data + b"\0" * (width - len(data))


def emulator_record(name, system, exe, cfg, params, zip_supported, mame_mode):
    return (field(name, 40) + struct.pack("<i", system) + field(exe, 256) + field(cfg, 256)
            + field(params, 128) + struct.pack("<ii", zip_supported, mame_mode))


def rom_record(emulator, name, path, played, language, type_index, rating):
    return emulator + field(name, 40) + field(path, 256) + struct.pack("<iiii", played, language, type_index, rating)


def write_bytes(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def rom_image(title, size=4096):
    header = ("DEMO ROM: " + title + "\n").encode()
    return header + bytes((i * 7) % 251 for i in range(size - len(header)))


def zip_of(path, members):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in members:
            z.writestr(name, data)


def main():
    app, emulator_program, demo = (os.path.abspath(a) for a in sys.argv[1:4])
    shutil.rmtree(demo, ignore_errors=True)
    shutil.copytree(app, demo, symlinks=False)
    for stale in ("LISTS/EMUS.LST", "LISTS/ROMS.LST", "Tarnwick.ini", "Tarnwick.log", "portable.txt"):
        if os.path.exists(os.path.join(demo, stale)):
            os.remove(os.path.join(demo, stale))

    # One copy of the demo emulator per emulator, each in a folder of its own (unpacked ROMs go
    # beside the emulator).
    emulators = {}
    specs = [  # name, folder, system line, params, zip support, MAME mode
        ("Demo NES", "nes", 0, "--fullscreen", 0, 0),
        ("Demo Arcade", "arcade", 7, "-skip_gameinfo", 1, 1),
        ("Demo SNES", "snes", 1, "", 1, 0),
        ("Demo Genesis", "genesis", 3, "-scale 2", 0, 1),
    ]
    for name, folder, system, params, zip_ok, mame in specs:
        exe = os.path.join(demo, "emulators", folder, "demo-emulator")
        os.makedirs(os.path.dirname(exe), exist_ok=True)
        shutil.copy2(emulator_program, exe)
        cfg = os.path.join(demo, "emulators", folder, "emulator.cfg")
        write_bytes(cfg, ("# " + name + " settings\r\nvideo=opengl\r\nsound=on\r\n").encode())
        emulators[name] = emulator_record(name, system, exe, cfg, params, zip_ok, mame)

    roms = os.path.join(demo, "roms")
    records = []

    def add(emulator, title, path, played=0, language=0, type_index=0, rating=50):
        records.append(rom_record(emulators[emulator], title, path, played, language, type_index, rating))

    # Plain files.
    for title, file, played, rating in [("Lunar Lander Deluxe", "Lunar Lander Deluxe.nes", 3, 70),
                                        ("Pipe Dream", "pipedream.nes", 12, 85)]:
        write_bytes(os.path.join(roms, "nes", file), rom_image(title))
    # NES games zipped, for an emulator without zip support: the matching member is unpacked.
    zip_of(os.path.join(roms, "nes", "Star Quest.zip"),
           [("readme.txt", b"Star Quest, a demo game.\n"), ("Star Quest.nes", rom_image("Star Quest"))])
    add("Demo NES", "Lunar Lander Deluxe", os.path.join(roms, "nes", "Lunar Lander Deluxe.nes"), 3, 0, 9, 70)
    add("Demo NES", "Pipe Dream", os.path.join(roms, "nes", "pipedream.nes"), 12, 0, 5, 85)
    add("Demo NES", "Star Quest", os.path.join(roms, "nes", "Star Quest.zip"), 1, 2, 1, 60)
    # Arcade sets read by the emulator itself, by game name.
    for game, title in [("galaxian", "Galaxy Raiders"), ("pacmaze", "Maze Muncher")]:
        zip_of(os.path.join(roms, "arcade", game + ".zip"),
               [(game + ".6e", rom_image(title, 2048)), (game + ".6f", rom_image(title, 2048))])
        add("Demo Arcade", title, os.path.join(roms, "arcade", game + ".zip"), 5, 0, 2, 90)
    # A zip the emulator reads by its path.
    zip_of(os.path.join(roms, "snes", "Kart Rally.zip"), [("Kart Rally.sfc", rom_image("Kart Rally"))])
    add("Demo SNES", "Kart Rally", os.path.join(roms, "snes", "Kart Rally.zip"), 0, 1, 6, 75)
    # A set unpacked whole into a folder beside the emulator.
    zip_of(os.path.join(roms, "genesis", "sonicdemo.zip"),
           [("sonicdemo.bin", rom_image("Speed Hedgehog Demo")), ("sonicdemo.txt", b"notes\n")])
    add("Demo Genesis", "Speed Hedgehog Demo", os.path.join(roms, "genesis", "sonicdemo.zip"), 2, 0, 4, 80)
    # One ROM whose file is missing (on a disc that is not in the drive).
    add("Demo SNES", "Missing Cartridge", os.path.join(roms, "snes", "missing.sfc"), 0, 0, 0, 10)

    write_bytes(os.path.join(demo, "LISTS", "EMUS.LST"), b"".join(emulators[s[0]] for s in specs))
    write_bytes(os.path.join(demo, "LISTS", "ROMS.LST"), b"".join(records))
    write_bytes(os.path.join(demo, "Tarnwick.ini"),
                b"[General]\r\nRemember size and position=1\r\nX=0\r\nY=0\r\nWidth=980\r\nHeight=440\r\n"
                b"[Security]\r\nLog=1\r\n[Columns]\r\nSave Columns Width=1\r\nColumn0=150\r\nColumn1=320\r\n"
                b"Column2=100\r\nColumn3=140\r\nColumn4=50\r\nColumn5=70\r\nColumn6=70\r\nColumn7=60\r\n")
    # A portable folder: the demo keeps its catalogue here, not in the user's data folder.
    write_bytes(os.path.join(demo, "portable.txt"),
                b"Tarnwick keeps its catalogue, settings and log in this folder.\n")
    print("Demo program folder: " + demo)


if __name__ == "__main__":
    main()
