#pragma once
// An archive behind a stub (a self-extractor): where its zip data starts and a libzip source
// that keeps the stub when the archive is rewritten.
#include <zip.h>

#include <cstdint>
#include <string>

struct ZipPrefix {
    // Bytes in front of the archive that its offsets do not count (a stub copied in front of
    // an archive without adjusting it); libzip must read the file from here on.
    int64_t unadjusted = 0;
    // Bytes in front of the first zip record, kept ahead of a rewritten archive.
    int64_t keep = 0;
};

// Reads the end record (zip64's too) and the central directory; a plain archive, a file that is
// no archive, or one too unusual to tell (a volume of a set, bytes after the end record) gives
// zeros, and libzip decides.
ZipPrefix FindZipPrefix(const std::string& path);

// A source over the archive file that libzip reads from prefix.unadjusted on and rewrites
// into a temporary file beside it that begins with the kept stub; the temporary file is
// renamed over the archive only on commit. Offsets in the rewritten archive count the stub.
zip_source_t* NewArchiveSource(const std::string& path, const ZipPrefix& prefix, zip_error_t* error);
