#include "mainwindow/Session.h"

#include <QGuiApplication>
#include <QLockFile>
#include <QSocketNotifier>
#include <QSysInfo>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#include "catalogue/Prompter.h"
#include "mainwindow/Main.h"
#include "mainwindow/Windows.h"
#include "platform/Paths.h"

namespace {

std::unique_ptr<QLockFile>& Lock() {
    static std::unique_ptr<QLockFile> lock;
    return lock;
}

int endPipe[2] = {-1, -1};

void OnEndSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(endPipe[1], &byte, 1);  // a full pipe already asks
    errno = saved;
}

// Empties the pipe; true when a signal had written to it.
bool TakeEndSignals() {
    if (endPipe[0] < 0) return false;
    bool asked = false;
    char bytes[64];
    while (read(endPipe[0], bytes, sizeof bytes) > 0) asked = true;
    return asked;
}

void EndSessionNow() {
    if (MainWnd) MainWnd->EndSession();
}

// A lock whose copy of the program is gone, which could not be taken over: the user may not
// remove it from the folder. Nothing else in that folder can be written either (a save replaces
// its file), so a start there goes on as where no lock can be made at all.
bool LeftByACopyThatDied(const QLockFile& lock) {
    qint64 pid = 0;
    QString host, application;
    return lock.getLockInfo(&pid, &host, &application) && pid > 0 && host == QSysInfo::machineHostName() &&
           kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

bool TakeDataFolder() {
    auto lock = std::make_unique<QLockFile>(QString::fromStdString(DataFile("Tarnwick.lock")));
    // Only a lock whose process is gone is stale, however old it is: a copy may run for weeks.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        Lock() = std::move(lock);
        return true;
    }
    if (lock->error() != QLockFile::LockFailedError || LeftByACopyThatDied(*lock)) return true;
    CurrentPrompter().MessageBox("Tarnwick", "Tarnwick is already running", BoxIcon::Information,
                                 BoxButtons::Ok);
    return false;
}

void ReleaseDataFolder() {
    Lock().reset();
}

void CatchSessionEnd() {
    if (endPipe[0] >= 0 || pipe2(endPipe, O_NONBLOCK | O_CLOEXEC) != 0) return;
    struct sigaction action = {};
    action.sa_handler = OnEndSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal, &action, nullptr);
}

void WatchSessionEnd() {
    if (endPipe[0] >= 0) {
        auto* notifier = new QSocketNotifier(endPipe[0], QSocketNotifier::Read, qApp);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { EndSessionIfAsked(); });
    }
#if QT_CONFIG(sessionmanager)
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, qApp,
                     [](QSessionManager&) { EndSessionNow(); });
#endif
}

void EndSessionIfAsked() {
    if (TakeEndSignals()) EndSessionNow();
}

void WaitInSession() {
    PaintWhileWaiting();
    EndSessionIfAsked();
}
