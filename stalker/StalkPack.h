#pragma once
// The Stalker's packing on worker threads. A run's files are grouped by archive, so that the
// files that share one (game.eu.smc and game.eu.nes both go to game.eu.zip; a file matched by
// two masks) are added by one worker one after the other, in list order, exactly as a
// one-at-a-time run adds them; different archives are packed at once. Each worker has a zip
// component of its own, whose boxes the dialog's thread shows (WorkerZipUi).
#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "zip/ZipUi.h"

class ProgressRun;
class QObject;
class TZipArchiver;

struct PackRun {
    // Adds a listed file and its archive, both full paths, to the group of that archive.
    void Add(const std::string& file, const std::string& archive);

    std::vector<std::string> files;                // in list order
    std::vector<std::string> archives;             // one per group
    std::vector<std::vector<std::size_t>> groups;  // the files of each archive, in list order
    std::vector<std::string> failures;             // per file: "name: message" when it got no archive
    std::atomic<std::size_t> nextGroup{0};
    std::atomic<bool> halt{false};  // a stop was confirmed: no worker begins another file

    // The dialog's side, touched on its thread only.
    ProgressRun* overall = nullptr;
    std::size_t done = 0;  // files the workers have handed back
    unsigned workersEnded = 0;
    unsigned currentWorker = 0;  // the worker whose file began last: the file bar follows it
};

// What an Add reads from the dialog's component, copied to a worker's.
void CopyAddSettings(const TZipArchiver& from, TZipArchiver& to);

// A worker component's seam: a box is shown by the dialog's seam on the dialog's thread while
// the worker waits for the answer; the worker has no events to pump and no cursor of its own.
class WorkerZipUi : public ZipUi {
public:
    WorkerZipUi(QObject* owner, ZipUi& shown) : owner_(owner), shown_(shown) {}
    Answer MessageBox(const std::string& caption, const std::string& text, Buttons buttons, Icon icon,
                      Answer defaultButton) override;
    bool InputBox(const std::string& caption, const std::string& prompt, std::string& value,
                  bool hidden) override;
    void ProcessMessages() override {}
    void SetBusyCursor(bool) override {}

private:
    QObject* owner_;
    ZipUi& shown_;
};
