#pragma once
// The desktop's trash by the freedesktop.org rules: the home trash ($XDG_DATA_HOME/Trash, else
// ~/.local/share/Trash) with files/<name> and info/<name>.trashinfo; a file on another file
// system goes to $topdir/.Trash-$uid of its own mount, with a path relative to that top folder.
#include <string>

// Whether a file at path could go to its trash: the trash folders exist and are writable, or
// could be made. Nothing is created.
bool CanMoveToTrash(const std::string& path);
// Moves the file at path to its trash. 0, or the errno of the failure (the file then stays
// where it was).
int MoveToTrash(const std::string& path);
