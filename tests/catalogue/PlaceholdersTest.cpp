// Launch parameters with placeholders: where each word goes, what the emulator gets as its
// argument list, and parameters without placeholders left as they always were.
#include <gtest/gtest.h>

#include "catalogue/Placeholders.h"
#include "platform/Process.h"

namespace {

using Words = std::vector<std::string>;

const LaunchPlaces Spaced{"/my roms/it's \"A\".nes", "/my roms/it's \"A\".nes", "/opt/emu dir"};

TEST(Placeholders, ParametersWithoutThemGiveTheOldCommandLine) {
    const LaunchPlaces plain{"/roms/game.nes", "/roms/game.nes", "/emu"};
    EXPECT_EQ(LaunchParameters("-fs", plain), "-fs /roms/game.nes");
    EXPECT_EQ(LaunchParameters("", plain), " /roms/game.nes");  // two blanks on the line, as ever
    EXPECT_EQ(LaunchParameters("-fs 100% %rom% %ROM", {"", "/roms/game.zip", "/emu"}),
              "-fs 100% %rom% %ROM ");
    EXPECT_EQ(LaunchParameters("-fs", Spaced), "-fs '/my roms/it'\\''s \"A\".nes'");
}

TEST(Placeholders, RomGoesWhereNamedAndEveryWordArrivesWhole) {
    const std::string line =
        LaunchParameters("-cart %ROM% -dir %ROMDIR% -name %ROMNAME% -cfg %EMUDIR%/emu.cfg %ROM%", Spaced);
    EXPECT_EQ(SplitShellWords(line),
              (Words{"-cart", "/my roms/it's \"A\".nes", "-dir", "/my roms", "-name", "it's \"A\"", "-cfg",
                     "/opt/emu dir/emu.cfg", "/my roms/it's \"A\".nes"}));
    // Without %ROM% the others are replaced and the ROM still comes last.
    EXPECT_EQ(SplitShellWords(LaunchParameters("--bios=%EMUDIR%/bios %ROMNAME%", Spaced)),
              (Words{"--bios=/opt/emu dir/bios", "it's \"A\"", "/my roms/it's \"A\".nes"}));
    // A replacement is never read again; a ROM file in the root folder keeps its folder.
    EXPECT_EQ(SplitShellWords(LaunchParameters("%ROMNAME%", {"x", "/r/%ROM%.nes", "/e"})),
              (Words{"%ROM%", "x"}));
    EXPECT_EQ(LaunchParameters("%ROMDIR% %ROM%", {"pacman", "/pacman.zip", "/e"}), "/ pacman");
}

// Parameters written for a front-end that does not quote ("%ROM%") still give one word each.
TEST(Placeholders, PlaceholdersInsideQuotesAreEscapedForThoseQuotes) {
    const std::string odd = "/a b/it's \"x\" \\ $HOME `id`.nes";
    const LaunchPlaces places{odd, odd, "/e m"};
    EXPECT_EQ(SplitShellWords(
                  LaunchParameters("-cart \"%ROM%\" -cfg '%EMUDIR%/it''s.cfg' \"-n=%ROMNAME%!\"", places)),
              (Words{"-cart", odd, "-cfg", "/e m/its.cfg", "-n=it's \"x\" \\ $HOME `id`!"}));
    // An empty ROM argument is no word outside quotes and an empty word inside them.
    EXPECT_EQ(SplitShellWords(LaunchParameters("-a %ROM% -b \"%ROM%\"", {"", "/r/g.zip", "/e"})),
              (Words{"-a", "-b", ""}));
    // A backslash keeps a placeholder as written; the ROM then comes last as usual.
    EXPECT_EQ(SplitShellWords(LaunchParameters("\\%ROM% \"\\\"%ROM%\"", {"/r/g.nes", "/r/g.nes", "/e"})),
              (Words{"%ROM%", "\"/r/g.nes"}));
    EXPECT_EQ(SplitShellWords(LaunchParameters("\\%ROM%", {"/r/g.nes", "/r/g.nes", "/e"})),
              (Words{"%ROM%", "/r/g.nes"}));
}

TEST(Placeholders, CommandWordQuotesOnlyWhatWouldSplit) {
    EXPECT_EQ(CommandWord("/roms/game.nes"), "/roms/game.nes");
    EXPECT_EQ(CommandWord("/my roms/it's.nes"), "'/my roms/it'\\''s.nes'");
    EXPECT_EQ(CommandWord("a\\b"), "'a\\b'");
    EXPECT_EQ(CommandWord(""), "");
}

}  // namespace
