#include "stalker/StalkPack.h"

#include <QMetaObject>
#include <QObject>

#include "zip/ZipArchiver.h"

void PackRun::Add(const std::string& file, const std::string& archive) {
    std::size_t group = 0;
    while (group < archives.size() && archives[group] != archive) ++group;
    if (group == archives.size()) {
        archives.push_back(archive);
        groups.emplace_back();
    }
    groups[group].push_back(files.size());
    files.push_back(file);
    failures.emplace_back();
}

void CopyAddSettings(const TZipArchiver& from, TZipArchiver& to) {
    to.AddCompLevel = from.AddCompLevel;
    to.AddOptions = from.AddOptions;
    to.CodePage = from.CodePage;
    to.Password = from.Password;
    to.TempDir = from.TempDir;
    to.Unattended = from.Unattended;
    to.Verbose = from.Verbose;
    to.Trace = from.Trace;
    to.SFXOptions = from.SFXOptions;
    to.SFXCaption = from.SFXCaption;
    to.SFXPath = from.SFXPath;
    to.SetDLLDirectory(from.DLLDirectory());
}

ZipUi::Answer WorkerZipUi::MessageBox(const std::string& caption, const std::string& text, Buttons buttons,
                                      Icon icon, Answer defaultButton) {
    Answer answer = Answer::Failed;
    QMetaObject::invokeMethod(
        owner_, [&] { answer = shown_.MessageBox(caption, text, buttons, icon, defaultButton); },
        Qt::BlockingQueuedConnection);
    return answer;
}

bool WorkerZipUi::InputBox(const std::string& caption, const std::string& prompt, std::string& value,
                           bool hidden) {
    bool given = false;
    QMetaObject::invokeMethod(
        owner_, [&] { given = shown_.InputBox(caption, prompt, value, hidden); },
        Qt::BlockingQueuedConnection);
    return given;
}
