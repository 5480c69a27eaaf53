#pragma once
// Paths of the running program and path texts: '/' separates, names are UTF-8 bytes.
#include <string>
#include <string_view>

// The folder of the running executable (from /proc/self/exe), ending in '/'.
const std::string& ProgramFolder();
// Replaces the program folder (tests point it at a temporary folder); a missing '/' is added,
// an empty text goes back to the executable's folder. The data folder becomes the same folder,
// as in portable use.
void SetProgramFolder(const std::string& folder);
// ProgramFolder() joined with a program file name such as "LISTS\\EMUS.LST" (see ResolveNoCase).
std::string ProgramFile(std::string_view relativeName);

// The folder the program writes its files to, ending in '/': the program folder when it holds
// "portable.txt", else $XDG_DATA_HOME/tarnwick/ (~/.local/share/tarnwick/ when the variable is
// unset, empty or relative). Only named here; DataFolderSetUp (catalogue/DataFolder.h) makes it.
const std::string& DataFolder();
// The user's data home: $XDG_DATA_HOME when it is an absolute path, else ~/.local/share. No
// trailing '/'.
std::string UserDataHome();
// Sets both folders at once (tests); an empty data folder is chosen by the rule above.
void SetFolders(const std::string& programFolder, const std::string& dataFolder);
// False once the data folder turned out impossible to make: the run then writes nothing there.
// Setting the folders makes it true again.
bool DataFolderWritable();
void SetDataFolderWritable(bool writable);
// DataFolder() joined with a name of a file the program writes ("LISTS\\ROMS.LST").
std::string DataFile(std::string_view relativeName);
// A read-only program file that the user may override in the data folder (the lookup lists):
// the data folder's copy when it exists, else the program folder's.
std::string LookupFile(std::string_view relativeName);
// base + relative, '\' read as '/', each component matched against what exists ignoring ASCII
// case; a component that matches nothing is kept as spelled (and so is everything after it).
std::string ResolveNoCase(std::string_view base, std::string_view relative);

// The path with every '\' turned into '/'.
std::string SlashPath(std::string_view path);
// Up to and including the last '/'; empty when there is none.
std::string FolderPart(std::string_view path);
// What follows the last '/' (the whole text when there is none).
std::string FileNamePart(std::string_view path);
// From the last '.' of the file-name part, dot included; empty when it has none.
std::string ExtensionPart(std::string_view path);
// The path without its extension (ExtensionPart removed).
std::string WithoutExtension(std::string_view path);
// folder + name, adding '/' only when folder is not empty and does not end in one.
std::string JoinPath(std::string_view folder, std::string_view name);
// The folder with a '/' at its end (empty stays empty).
std::string WithTrailingSlash(std::string_view folder);
// The folder without its trailing '/' ("/" itself stays).
std::string WithoutTrailingSlash(std::string_view folder);
// An absolute form of the path: relative paths are taken from the current folder, "." and ".."
// components and doubled '/' are folded away; symbolic links are not followed.
std::string AbsolutePath(std::string_view path);
