#pragma once
// Pictures of the main window: icons from the desktop's theme, each with a drawn or standard
// fallback so that something always shows.

#include <QIcon>

enum class ToolPicture { EmuList, Run, Scan, Refresh, Options, Help, BigIcons, SmallIcons, List, Report };

QIcon ToolIcon(ToolPicture picture);
// The row icons: a ROM whose file is there, one whose file is missing (faded, crossed out), and
// one whose file has not been looked at yet (faded).
QIcon RomPresentIcon();
QIcon RomMissingIcon();
QIcon RomUncheckedIcon();
// A gold star (the favourites toggle), and an icon with the star drawn in its corner (a
// favourite's row icon).
QIcon FavouriteStarIcon();
QIcon WithFavouriteStar(const QIcon& base);
// Whether an icon is drawn so pale (or empty) that on a tool bar it would read as disabled.
bool LooksDisabled(const QIcon& icon);
// Picks an icon theme when the desktop named none, so theme names resolve.
void ChooseIconTheme();
// Tarnwick's own icon (the drawing installed as the desktop entry's icon), in every size drawn.
QIcon ProgramIcon();
// Sets the program's icon on every window of the run and names its desktop entry, so the task
// bar and the window list show the same icon as the menu.
void UseProgramIcon();
