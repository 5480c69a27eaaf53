#pragma once
// 8.3 upper-case names for archives meant for MS-DOS.
#include <string>
#include <string_view>

// One name component: upper case, at most 8 characters before one dot and 3 after, characters
// MS-DOS refuses replaced by '_'.
std::string DosComponent(std::string_view name);
// Every component of a '/'-separated path converted by DosComponent.
std::string DosPath(std::string_view path);
