#pragma once
// What a launch unpacks beside an emulator, written down in the data folder before it unpacks,
// so that a clean-up that a crash or a kill interrupted is finished at the next start, and so
// that a clean-up removes what the launch made and nothing the user had there before.
#include <optional>
#include <string>
#include <vector>

struct UnpackRecord {
    std::string folder;              // where the files go, as its real path (no links)
    bool folderMade = false;         // the launch made the folder: removed once empty
    std::vector<std::string> files;  // names in folder that did not exist before the launch
};

// The journal file in the data folder.
std::string LaunchJournalPath();
// Writes the journal durably (a temporary file, fsync, rename). False when it cannot.
bool WriteLaunchJournal(const UnpackRecord& record);
// The journal left by a launch that did not finish; nullopt when there is none or it is damaged.
std::optional<UnpackRecord> ReadLaunchJournal();
// Deletes the journal (a finished launch).
void RemoveLaunchJournal();

// Removes what a record lists: each file only while it is a plain file (not a link) directly in
// the folder, and the folder itself only while it is still the same real folder; the folder goes
// only when the launch made it and nothing else is left in it. False when a listed file stays.
bool RemoveUnpacked(const UnpackRecord& record);

// At start: finishes the clean-up of a launch that was interrupted, then deletes its journal.
void FinishInterruptedLaunch();
