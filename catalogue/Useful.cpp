#include "catalogue/Useful.h"

#include "catalogue/Prompter.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Process.h"

#include <mutex>

namespace {
std::function<void()>& WaitHook() {
    static std::function<void()> hook;
    return hook;
}
}  // namespace

int ErrorBox(const std::string& message) {
    return CurrentPrompter().MessageBox("Error", message, BoxIcon::Exclamation, BoxButtons::Ok);
}

bool QuestionBox(const std::string& message, int defaultButton) {
    return CurrentPrompter().MessageBox("Question", message, BoxIcon::Question, BoxButtons::YesNo,
                                        defaultButton) == BoxYes;
}

void NoticeBox(const std::string& message) {
    CurrentPrompter().MessageBox("Message", message, BoxIcon::None, BoxButtons::Ok);
}

std::function<void()> SetWaitHook(std::function<void()> hook) {
    std::function<void()> old = std::move(WaitHook());
    WaitHook() = std::move(hook);
    return old;
}

std::string RunAndWait(const std::string& program, const std::string& parameters) {
    // The command line is program + blank + parameters: the program is the first argument,
    // unsplit, and the text after the blank is split into the others by shell word rules.
    // A relative program is taken from the current folder, before its own folder becomes the
    // child's current folder.
    const std::string path = FolderPart(program).empty() ? program : AbsolutePath(program);
    const StartResult started = StartProcessWithParameters(path, parameters, FolderPart(path));
    if (started.pid < 0) {
        const std::string failure = "Error Creating Process\n" + path + ": " + ErrorText(started.error);
        ErrorBox(failure);
        return failure;
    }
    WaitForProcess(started.pid, WaitHook());
    return {};
}

void DeleteFolder(const std::string& folder) {
    // An empty text would search the current folder and delete its files.
    if (folder.empty()) {
        ErrorBox("Cannot delete folder");
        return;
    }
    bool fileLeft = false;
    for (const std::string& name : FindFiles(folder, "*.*", FindPlainFiles)) {
        const std::string path = JoinPath(folder, name);
        // A link goes without its target's permissions changing: that file lies elsewhere.
        if (!IsSymbolicLink(path)) ClearReadOnly(path);
        if (!DeleteFile(path)) fileLeft = true;
    }
    // The folder must not be in use by this process when it is removed.
    {
        const std::unique_lock folderHeld(CurrentFolderLock());
        SetCurrentFolder(ProgramFolder());
    }
    if (fileLeft) {
        ErrorBox("Cannot delete some files, they may be Read-Only");
        return;
    }
    if (!RemoveFolder(folder)) ErrorBox("Cannot delete folder");
}
