#pragma once
// The data folder at start: the folder the program writes its files to (platform/Paths.h names
// it) is made at first start, and a first start finds an empty catalogue there rather than
// missing list files.
#include <string>
#include <string_view>

// Makes the data folder and its LISTS/ when missing. A folder made anew gets a copy of the
// program folder's lookup lists, and of a catalogue, settings and log that an earlier build kept
// beside the executable. Empty list files are laid where nothing is there at all (a list file that
// exists, readable or not, is left alone). Returns 0, or the errno of a folder that could not be
// made; the run then writes nothing (DataFolderWritable() is false).
int DataFolderSetUp();

// Copies a program file ("LISTS\\Types.lst") to the same name in the data folder when nothing is
// there yet (a lookup list about to be edited). True when the data folder now holds the file.
bool CopyToDataFolder(std::string_view relativeName);
