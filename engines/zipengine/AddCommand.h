#pragma once
// Adding files to an archive (creating it when absent): the whole add is written to a
// temporary file and renamed over the archive only when every file went in.
#include "engines/EngineApi.h"
#include "engines/common/Reporter.h"
#include "engines/zipengine/AddList.h"
#include "engines/zipengine/FileSource.h"

#include <zip.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

class AddCommand {
public:
    AddCommand(const ZipExecRecord& record, EngineReporter& reporter);
    // Returns the number of entries written (0 when the archive was left as it was).
    int32_t run();

private:
    AddListOptions listOptions() const;
    bool collect(AddList& list);
    // What becomes of a listed file: written into the archive, held there already up to
    // date, or left out by the options.
    enum class Fate { Write, Held, Skip };

    void reportTotals(const std::vector<const AddItem*>& chosen, int64_t copied);
    void finish(const std::vector<const AddItem*>& chosen);
    std::vector<const AddItem*> plan(zip_t* archive, const std::vector<AddItem>& items);
    Fate fateOf(zip_t* archive, const AddItem& item);
    bool stage(zip_t* archive, const std::vector<const AddItem*>& chosen, std::set<zip_uint64_t>& fresh);
    zip_int64_t stageFile(zip_t* archive, const AddItem& item);
    void dropOldTimes(zip_t* archive, zip_uint64_t index);
    zip_int64_t stageFolder(zip_t* archive, const AddItem& item);
    bool setAttributes(zip_t* archive, zip_uint64_t index, const AddItem& item);
    void removeSources();
    void setArchiveTime();

    const ZipExecRecord& record_;
    EngineReporter& reporter_;
    std::string archivePath_;
    std::string password_;
    int level_;
    std::vector<std::unique_ptr<FileSource>> sources_;
    // The files a move deletes once the archive is written: those written and those held.
    std::vector<const AddItem*> moving_;
};
