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

void PaintWhileWaiting() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

namespace {

class InputDropper : public QObject {
protected:
  bool eventFilter(QObject*, QEvent* e) override {
    switch (e->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::Shortcut:
      case QEvent::Wheel:
        return true;
      default:
        return false;
    }
  }
};

}  // namespace

void DropInputQueuedWhileWaiting() {
  InputDropper dropper;
  qApp->installEventFilter(&dropper);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  qApp->removeEventFilter(&dropper);
}
