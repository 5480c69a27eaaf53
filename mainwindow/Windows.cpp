#include "mainwindow/Windows.h"

#include <QApplication>
#include <QEvent>

#include "catalogue/DataFolder.h"
#include "catalogue/Scan.h"
#include "catalogue/Splash.h"
#include "dialogs/About.h"
#include "dialogs/Edit.h"
#include "dialogs/Emuadd.h"
#include "dialogs/Emulist.h"
#include "dialogs/Options.h"
#include "dialogs/Romadd.h"
#include "dialogs/Romprop.h"
#include "catalogue/Useful.h"
#include "mainwindow/Main.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "stalker/Stalkmain.h"

namespace {

template <class W>
void Create(W*& reference, TSplashWnd* splash) {
    reference = new W;
    if (splash) splash->Advance(10);
}

template <class W>
void Destroy(W*& reference) {
    delete reference;
    reference = nullptr;
}

}  // namespace

void PrepareDataFolder() {
    if (const int error = DataFolderSetUp())
        ErrorBox("Cannot create the data folder " + DataFolder() + ":\n" + ErrorText(error) +
                 "\nTarnwick goes on, but nothing of this session will be saved.");
}

void CreateWindows(TSplashWnd* splash) {
    Create(MainWnd, splash);
    Create(AddDlg, splash);
    Create(ScanDlg, splash);
    Create(EmuListDlg, splash);
    Create(RomPropDlg, splash);
    Create(AboutDlg, splash);
    Create(OptionsDlg, splash);
    Create(RomAddDlg, splash);
    Create(EditWnd, splash);
    Create(StalkDlg, splash);
    MainWnd->BindDialogs();
}

void DestroyWindows() {
    Destroy(StalkDlg);
    Destroy(EditWnd);
    Destroy(RomAddDlg);
    Destroy(OptionsDlg);
    Destroy(AboutDlg);
    Destroy(RomPropDlg);
    Destroy(EmuListDlg);
    Destroy(ScanDlg);
    Destroy(AddDlg);
    Destroy(MainWnd);
}

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

namespace {

// Whether an event goes to a widget of the modal box that is up.
bool ForModalBox(QObject* target) {
    QWidget* modal = QApplication::activeModalWidget();
    auto* widget = qobject_cast<QWidget*>(target);
    return modal && widget && (widget == modal || modal->isAncestorOf(widget));
}

class InputDropper : public QObject {
protected:
    bool eventFilter(QObject* target, QEvent* e) override {
        // A native window hands its input on to its widgets, where it is judged.
        if (!IsUserInput(e->type()) || target->isWindowType()) return false;
        return !ForModalBox(target);
    }
};

int blocks = 0;
InputDropper* dropper = nullptr;

}  // namespace

void PaintWhileWaiting() {
    QCoreApplication::processEvents(UserInputBlock::Active() ? QEventLoop::AllEvents
                                                             : QEventLoop::ExcludeUserInputEvents);
}

UserInputBlock::UserInputBlock() {
    if (blocks++ > 0) return;
    dropper = new InputDropper;
    qApp->installEventFilter(dropper);
}

UserInputBlock::~UserInputBlock() {
    if (--blocks > 0) return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    delete dropper;  // which takes it off the application
    dropper = nullptr;
}

bool UserInputBlock::Active() {
    return blocks > 0;
}
