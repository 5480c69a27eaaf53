#pragma once
// The two engine libraries, loaded once per process and shared by every component. Each
// holder counts: the library is opened by the first and closed by the last.
#include "engines/EngineApi.h"

class TZipArchiver;

enum class EngineKind { Zip, Unz };

// The file name of an engine library ("libzipengine.so", "libunzengine.so").
const char* EngineFileName(EngineKind kind);
// Takes one reference on the engine for component z, opening the library when no one holds it
// (messages 10601-10605 / 10701-10705 reported through z). False when it is not usable.
bool AcquireEngine(TZipArchiver& z, EngineKind kind);
// Gives one reference back; the library is closed when it was the last.
void ReleaseEngine(EngineKind kind);
// How many references are held (tests).
int EngineReferences(EngineKind kind);

// The entry points of an acquired engine.
ZipEngineExecFn ZipExecEntry();
GetZipEngineVersionFn ZipVersionEntry();
UnzEngineExecFn UnzExecEntry();
GetUnzEngineVersionFn UnzVersionEntry();

// An engine for the length of one operation: a reference taken here (the library opened when
// no one holds it) and given back on every way out, so the engine stays loaded until the
// operation ends whatever happens to the component's own reference meanwhile.
class ZipEngineLease {
public:
    ZipEngineLease(TZipArchiver& z, EngineKind kind);
    ~ZipEngineLease() { Release(); }
    ZipEngineLease(const ZipEngineLease&) = delete;
    ZipEngineLease& operator=(const ZipEngineLease&) = delete;
    bool Loaded() const { return loaded_; }
    // Gives back a reference taken here (at once, before the operation's own end).
    void Release();

private:
    EngineKind kind_;
    bool loaded_ = false;
    bool ownReference_ = false;
};
