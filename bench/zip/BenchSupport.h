#pragma once
// Shared pieces of the zip benchmarks: the mixed data set and the component set up quietly.
#include <functional>
#include <string>
#include <vector>

#include "common/Rounds.h"

class TZipArchiver;
class SilentZipUi;

namespace zipbench {

using bench::Quote;
using bench::Scratch;
using bench::Shell;

// Writes the mixed set into folder: half text-like compressible members, half random ones,
// totalBytes in all; returns the file names.
std::vector<std::string> WriteMixedFiles(const std::string& folder, std::size_t totalBytes, int count);
// File size in bytes.
long long SizeOf(const std::string& path);
// Gives the component the silent seam, no boxes, and the engines of the program folder.
void PrepareComponent(TZipArchiver& zip, SilentZipUi& ui);
}  // namespace zipbench
