// Access keys: within what one page of a dialog shows at a time, no two buttons share the
// letter marked with '&' (a shared letter only moves the focus between them, acting on none).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTabWidget>
#include <map>
#include <memory>
#include <vector>

#include "DialogTestKit.h"
#include "catalogue/Scan.h"
#include "dialogs/About.h"
#include "dialogs/Emuadd.h"
#include "dialogs/Emulist.h"
#include "dialogs/Options.h"
#include "dialogs/Romadd.h"
#include "dialogs/Romprop.h"

namespace {

// The letter a caption marks ("&&" shows one '&'), or 0.
QChar AccessKey(const QString& caption) {
    for (int i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] != '&') return caption[i + 1].toLower();
        ++i;
    }
    return QChar();
}

bool Inside(const QWidget* w, const QWidget* area) {
    return area && (w == area || area->isAncestorOf(w));
}

// Letters used more than once by the buttons of `page` together with those outside every page.
QStringList SharedKeys(QDialog& dlg, const QWidget* page, const QTabWidget* pages) {
    std::map<QChar, QStringList> byKey;
    for (QAbstractButton* b : dlg.findChildren<QAbstractButton*>()) {
        const bool onPages = Inside(b, pages);
        if (onPages && !Inside(b, page)) continue;
        if (const QChar key = AccessKey(b->text()); !key.isNull()) byKey[key] << b->text();
    }
    QStringList shared;
    for (const auto& [key, captions] : byKey)
        if (captions.size() > 1) shared << captions.join(" / ");
    return shared;
}

TEST(AccessKeys, AreUniqueOnEveryPageOfEveryDialog) {
    DialogCatalogue cat;
    std::vector<std::unique_ptr<QDialog>> dialogs;
    dialogs.emplace_back(new TScanDlg);
    dialogs.emplace_back(new TAddDlg);
    dialogs.emplace_back(new TEmuListDlg);
    dialogs.emplace_back(new TRomAddDlg);
    dialogs.emplace_back(new TRomPropDlg);
    dialogs.emplace_back(new TOptionsDlg);
    dialogs.emplace_back(new TAboutDlg);
    for (auto& dlg : dialogs) {
        auto* pages = dlg->findChild<QTabWidget*>("PageControl1");
        if (!pages) {
            EXPECT_TRUE(SharedKeys(*dlg, nullptr, nullptr).isEmpty())
                << dlg->objectName().toStdString() << ": "
                << SharedKeys(*dlg, nullptr, nullptr).join(", ").toStdString();
            continue;
        }
        for (int i = 0; i < pages->count(); ++i) {
            const QStringList shared = SharedKeys(*dlg, pages->widget(i), pages);
            EXPECT_TRUE(shared.isEmpty())
                << dlg->objectName().toStdString() << " page " << pages->tabText(i).toStdString() << ": "
                << shared.join(", ").toStdString();
        }
    }
}

}  // namespace
