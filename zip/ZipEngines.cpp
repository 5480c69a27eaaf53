// Loading the engine libraries: DLLDirectory when it holds the file, then the program folder,
// then the system's library search.
#include "zip/ZipEngines.h"

#include "platform/Files.h"
#include "platform/Paths.h"
#include "zip/ZipArchiver.h"

#include <dlfcn.h>

#include <mutex>
#include <string>

namespace {

struct Engine {
    const char* fileName;
    const char* execName;
    const char* versionName;
    int loadedId, execMissingId, versionMissingId, notFoundId;
    void* handle = nullptr;
    int references = 0;
    void* exec = nullptr;
    void* version = nullptr;
};

Engine g_engines[2] = {
    {"libzipengine.so", "ZipEngineExec", "GetZipEngineVersion", ZipMsg::ZipLoaded, ZipMsg::ZipExecMissing,
     ZipMsg::ZipVersionMissing, ZipMsg::ZipNotFound},
    {"libunzengine.so", "UnzEngineExec", "GetUnzEngineVersion", ZipMsg::UnzLoaded, ZipMsg::UnzExecMissing,
     ZipMsg::UnzVersionMissing, ZipMsg::UnzNotFound},
};

Engine& Of(EngineKind kind) {
    return g_engines[kind == EngineKind::Zip ? 0 : 1];
}

// The path handed to dlopen: a full path where the file is found, else the bare name.
std::string LibraryPath(const TZipArchiver& z, const Engine& e) {
    if (!z.DLLDirectory().empty()) {
        std::string inDllDir = JoinPath(z.DLLDirectory(), e.fileName);
        if (FileExists(inDllDir)) return inDllDir;
    }
    std::string inProgram = ProgramFolder() + e.fileName;
    if (FileExists(inProgram)) return inProgram;
    return e.fileName;
}

// Components on several threads (the Stalker's workers) take and give back references at once.
std::mutex g_enginesLock;

// Opens the library; returns the message to show (0: none).
int Open(const TZipArchiver& z, Engine& e) {
    e.handle = dlopen(LibraryPath(z, e).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!e.handle) return e.notFoundId;
    e.exec = dlsym(e.handle, e.execName);
    e.version = dlsym(e.handle, e.versionName);
    int missing = !e.exec ? e.execMissingId : !e.version ? e.versionMissingId : 0;
    if (missing == 0) return z.Trace ? e.loadedId : 0;
    // A library without both entry points cannot be called: it is not kept.
    dlclose(e.handle);
    e.handle = e.exec = e.version = nullptr;
    return missing;
}

}  // namespace

const char* EngineFileName(EngineKind kind) {
    return Of(kind).fileName;
}

bool AcquireEngine(TZipArchiver& z, EngineKind kind) {
    Engine& e = Of(kind);
    int message = 0;
    bool held = false;
    {
        const std::lock_guard hold(g_enginesLock);
        if (!e.handle) message = Open(z, e);
        held = e.handle != nullptr;
        if (held) ++e.references;
    }
    // Outside the lock: a box may wait for the user while other threads load and unload.
    if (message) z.ShowZipMessage(message);
    return held;
}

void ReleaseEngine(EngineKind kind) {
    Engine& e = Of(kind);
    const std::lock_guard hold(g_enginesLock);
    if (e.references == 0 || --e.references > 0) return;
    dlclose(e.handle);
    e.handle = e.exec = e.version = nullptr;
}

int EngineReferences(EngineKind kind) {
    const std::lock_guard hold(g_enginesLock);
    return Of(kind).references;
}

ZipEngineExecFn ZipExecEntry() {
    return reinterpret_cast<ZipEngineExecFn>(Of(EngineKind::Zip).exec);
}
GetZipEngineVersionFn ZipVersionEntry() {
    return reinterpret_cast<GetZipEngineVersionFn>(Of(EngineKind::Zip).version);
}
UnzEngineExecFn UnzExecEntry() {
    return reinterpret_cast<UnzEngineExecFn>(Of(EngineKind::Unz).exec);
}
GetUnzEngineVersionFn UnzVersionEntry() {
    return reinterpret_cast<GetUnzEngineVersionFn>(Of(EngineKind::Unz).version);
}

ZipEngineLease::ZipEngineLease(TZipArchiver& z, EngineKind kind) : kind_(kind) {
    // Always a reference of its own: an event handler may unload the component's engines (a
    // window closing) while the engine is still running under this call.
    loaded_ = ownReference_ = AcquireEngine(z, kind);
}

void ZipEngineLease::Release() {
    if (ownReference_) ReleaseEngine(kind_);
    ownReference_ = false;
}

// ---- The component's own references ---------------------------------------------------------

void TZipArchiver::Load_Zip_Dll() {
    if (!zipHeld_) zipHeld_ = AcquireEngine(*this, EngineKind::Zip);
}

void TZipArchiver::Load_Unz_Dll() {
    if (!unzHeld_) unzHeld_ = AcquireEngine(*this, EngineKind::Unz);
}

void TZipArchiver::Unload_Zip_Dll() {
    if (zipHeld_) ReleaseEngine(EngineKind::Zip);
    zipHeld_ = false;
}

void TZipArchiver::Unload_Unz_Dll() {
    if (unzHeld_) ReleaseEngine(EngineKind::Unz);
    unzHeld_ = false;
}

std::int32_t TZipArchiver::GetZipVers() {
    ZipEngineLease lease(*this, EngineKind::Zip);
    return lease.Loaded() ? ZipVersionEntry()() : 0;
}

std::int32_t TZipArchiver::GetUnzVers() {
    ZipEngineLease lease(*this, EngineKind::Unz);
    return lease.Loaded() ? UnzVersionEntry()() : 0;
}
