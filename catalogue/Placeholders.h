#pragma once
// Launch parameters that name where the ROM goes. An emulator's (or a ROM's) parameters may
// hold these placeholders, each replaced by what it stands for, written so that the parameters
// split back into the same words (quoted where it would split, escaped inside quotes):
//   %ROM%      the ROM argument of the launch (the path, the game name or the unpacked file)
//   %ROMDIR%   the folder of the ROM's file, without a closing '/'
//   %ROMNAME%  the ROM file's name without folder and extension
//   %EMUDIR%   the emulator's folder, without a closing '/'
// Without %ROM%, the ROM argument follows the parameters after one blank, as it always has.
// A placeholder after a backslash outside quotes (\%ROM%) is left as it is written.
#include <string>

// What the placeholders stand for in one launch.
struct LaunchPlaces {
    std::string romArgument;     // as the launch case makes it, not quoted yet
    std::string romFile;         // the ROM's FilePath
    std::string emulatorFolder;  // absolute, without a closing '/'; empty when no emulator is there
};

// The text after the program on the command line: `params` with the placeholders replaced,
// followed by a blank and the ROM argument unless %ROM% placed it. Parameters without
// placeholders give params + " " + CommandWord(romArgument).
std::string LaunchParameters(const std::string& params, const LaunchPlaces& places);
// One word of the command line: quoted when it holds a blank, a quote or a backslash, so the
// emulator gets it as one argument; an empty text stays empty (no argument).
std::string CommandWord(const std::string& text);
