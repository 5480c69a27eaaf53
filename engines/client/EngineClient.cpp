#include "engines/client/EngineClient.h"

#include <dlfcn.h>

namespace {
void* Open(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr && error.empty()) error = "cannot load " + path + ": " + dlerror();
    return library;
}

template <typename F>
F Symbol(void* library, const char* name, std::string& error) {
    void* symbol = library != nullptr ? dlsym(library, name) : nullptr;
    if (symbol == nullptr && error.empty()) error = std::string("missing entry point ") + name;
    return reinterpret_cast<F>(symbol);
}
}  // namespace

EngineClient::EngineClient(const std::string& folder) {
    zipLibrary_ = Open(folder + "/libzipengine.so", error_);
    unzLibrary_ = Open(folder + "/libunzengine.so", error_);
    zipExec_ = Symbol<ZipEngineExecFn>(zipLibrary_, "ZipEngineExec", error_);
    unzExec_ = Symbol<UnzEngineExecFn>(unzLibrary_, "UnzEngineExec", error_);
}

EngineClient::~EngineClient() {
    if (zipLibrary_ != nullptr) dlclose(zipLibrary_);
    if (unzLibrary_ != nullptr) dlclose(unzLibrary_);
}

namespace {
// The fields both records share, on a zero-filled record.
template <typename Record, typename Spec>
Record SharedRecord(int32_t version, const char* archive, const Spec* specs, int32_t count,
                    ZFunctionPtrType callback, void* caller) {
    Record record{};
    record.Caller = caller;
    record.Version = version;
    record.Callback = callback;
    record.Quiet = 1;
    record.FileSpecCount = count;
    record.ZipFileName = archive;
    record.FileSpecs = specs;
    record.Seven = ENGINE_RECORD_MARKER;
    return record;
}
}  // namespace

ZipExecRecord BasicAddRecord(const char* archive, const ZipExecFileSpec* specs, int32_t count,
                             ZFunctionPtrType callback, void* caller) {
    auto record = SharedRecord<ZipExecRecord>(ZIP_ENGINE_VERSION, archive, specs, count, callback, caller);
    record.NoDirEntries = 1;
    record.Level = 9;
    record.JunkDirs = 1;
    record.Grow = 1;
    return record;
}

UnzExecRecord BasicExtractRecord(const char* archive, const UnzExecFileSpec* specs, int32_t count,
                                 ZFunctionPtrType callback, void* caller) {
    return SharedRecord<UnzExecRecord>(UNZ_ENGINE_VERSION, archive, specs, count, callback, caller);
}
