#pragma once
// Self-extracting archives (the ZIPSFX.BIN stub, its 256-byte header, then the archive with
// its offsets raised) and the file routines the spanning code shares: copying, erasing.
#include <cstdint>
#include <functional>
#include <string>

#include "zip/ZipArchiver.h"

class ZipSfxMaker {
public:
    explicit ZipSfxMaker(TZipArchiver& zip);

    // Makes "<name>.exe" from the ".zip" archive ZipFileName, or (newFile) the new
    // self-extracting file ZipFileName holding an empty archive. 0 or a negative code.
    int ConvertSFX(bool newFile);
    // Makes "<name>.zip" from the self-extracting file ZipFileName. 0 or a negative code.
    int ConvertZIP();

    // Copies count bytes (-1: to the end) in blocks of 8192, letting queued events run after
    // each block, until done or a block comes back short. 0, or -2 on a short write.
    int CopyBuffer(int inFile, int outFile, std::int64_t count);
    // 0; -3 source missing or not opened; -1 target not created; -4 date not set; -9 sizes differ.
    int CopyFileA(const std::string& source, const std::string& target);
    // htdAllowUndo: to the trash; htdFinal: deleted. 0, the failure's code, -1 when no file.
    int EraseFile(const std::string& path, DeleteOpts how);

    // The stub's path: SFXPath, then ZIPSFX.BIN in the current folder, the program folder and
    // DLLDirectory. Empty when none exists.
    std::string FindStub() const;

private:
    int WriteSfx(const std::string& stub, const std::string& source, const std::string& target, bool newFile);
    void WriteStub(const std::string& stub, int out);
    bool WriteHeader(int out);
    int Converting(const std::string& target, const std::function<void()>& write);
    int CloseOutput(Descriptor& out, int result);
    void CopyWithOffsets(int in, int out, std::int64_t start, std::int64_t delta);
    void WriteEmptyArchive(int out, std::uint32_t centralOffset);
    int FinishConversion(const std::string& source, const std::string& target, std::int64_t expectedSize,
                         int result, bool newFile);

    TZipArchiver& zip_;
};
