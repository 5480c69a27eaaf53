// Keys and clicks as a user makes them: the Del and Shift+Del shortcuts of the list, and renaming
// by a click on the selected row, which a double click (a launch) must not start.
#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

#include "support/ScriptedPrompter.h"
#include "WindowTestKit.h"
#include "mainwindow/Main.h"
#include "mainwindow/ReportView.h"
#include "mainwindow/Settings.h"
#include "toolkit/StatusPanels.h"

namespace fs = std::filesystem;

namespace {

class Keys : public TwoRomRun {
protected:
    void SetUp() override {
        TwoRomRun::SetUp();
        Settings.MessageMode = false;
        MainWnd->show();
        MainWnd->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(MainWnd));
        view()->setFocus();
    }
    QAbstractItemView* view() const { return MainWnd->List->ReportView(); }
    QWidget* viewport() const { return view()->viewport(); }
    QPoint LabelOf(int row) const {
        return view()->visualRect(MainWnd->List->Model()->index(row, 0)).center();
    }
    QWidget* Editor(int row) const { return view()->indexWidget(MainWnd->List->Model()->index(row, 0)); }
    // The mouse events of a double click as the window system delivers them.
    void DoubleClick(const QPoint& at) {
        for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                               QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            QMouseEvent e(t, at, viewport()->mapToGlobal(at), Qt::LeftButton,
                          t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport(), &e);
        }
    }
    // Lets the double-click interval pass, so a rename waiting for it would start.
    static void WaitPastDoubleClick() { QTest::qWait(QApplication::doubleClickInterval() + 200); }
};

}  // namespace

TEST_F(Keys, DelUnlinksAndShiftDelErasesTheSelectedRom) {
    MainWnd->List->SelectRow(0);
    QTest::keyClick(view(), Qt::Key_Delete);
    ASSERT_EQ(Emus->RomCount(), 1);
    EXPECT_TRUE(fs::exists(a_));  // unlinked only
    EXPECT_EQ(MainWnd->StatBar->Panel(1), "1");

    QTest::keyClick(view(), Qt::Key_Delete);  // nothing selected any more: nothing happens
    EXPECT_EQ(Emus->RomCount(), 1);

    MainWnd->List->SelectRow(0);
    QTest::keyClick(view(), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(Emus->RomCount(), 0);
    EXPECT_FALSE(fs::exists(b_));  // erased with its file, which went to the trash
    EXPECT_TRUE(fs::exists(program_.Trash("files/") + fs::path(b_).filename().string()));
    EXPECT_TRUE(prompts_.Shown().empty());
}

TEST_F(Keys, DelAsksInMessageModeAndEditsTextWhileRenaming) {
    Settings.MessageMode = true;
    MainWnd->List->SelectRow(1);
    prompts_.Box(BoxNo);
    QTest::keyClick(view(), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(prompts_.BoxTexts(),
              (std::vector<std::string>{"Do you really want to phisically remove this ROM?\n" + b_ +
                                        "\n(The file will be moved to the trash)"}));
    EXPECT_EQ(Emus->RomCount(), 2);

    // While the label is being edited, Del and Shift+Del belong to the text.
    view()->edit(MainWnd->List->Model()->index(0, 0));
    auto* editor = qobject_cast<QLineEdit*>(Editor(0));
    ASSERT_NE(editor, nullptr);
    editor->setCursorPosition(0);
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClick(editor, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(Emus->RomCount(), 2);
    EXPECT_EQ(prompts_.Shown().size(), 1u);
}

// A name written on Windows is shown converted from Windows-1252; Enter on the unchanged text
// must not store that conversion (longer, and cut when it does not fit) in its place.
TEST_F(Keys, ConfirmingARenameWithoutAChangeKeepsTheNameBytes) {
    const char stored[] =
        "Pok\xE9mon \xC9"
        "dition Sp\xE9"
        "ciale \xC0 R\xEAver";  // not UTF-8
    RomRecord* rom = Emus->GetRom(0);
    std::memcpy(rom->Name, stored, sizeof stored);
    char before[sizeof rom->Name];
    std::memcpy(before, rom->Name, sizeof before);
    MainWnd->FillRomList();
    MainWnd->List->SelectRow(0);
    // Renames with F2, changes the text with the keys given, confirms with Enter.
    const auto rename = [this](const std::function<void(QLineEdit*)>& keys) {
        QTest::keyClick(view(), Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(Editor(0));
        ASSERT_NE(editor, nullptr);
        keys(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return Editor(0) == nullptr; }));  // committed and closed
    };
    rename([](QLineEdit* editor) {
        EXPECT_EQ(editor->text(),
                  QString::fromUtf8("Pok\u00e9mon \u00c9dition Sp\u00e9ciale \u00c0 R\u00eaver"));
    });
    EXPECT_EQ(std::memcmp(rom->Name, before, sizeof before), 0) << FieldText(rom->Name);

    rename([](QLineEdit* editor) {  // a real change is still stored, as UTF-8
        editor->end(false);
        QTest::keyClick(editor, Qt::Key_Backspace);
    });
    EXPECT_EQ(FieldText(rom->Name), "Pok\u00e9mon \u00c9dition Sp\u00e9ciale \u00c0 R\u00eave");
}

TEST_F(Keys, AClickOnTheSelectedRowRenamesButADoubleClickOnlyLaunches) {
    MainWnd->List->SelectRow(0);
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, LabelOf(0));
    WaitPastDoubleClick();
    ASSERT_NE(qobject_cast<QLineEdit*>(Editor(0)), nullptr);  // renaming in place
    QTest::keyClick(Editor(0), Qt::Key_Escape);
    WaitPastDoubleClick();
    ASSERT_EQ(Editor(0), nullptr);

    MainWnd->List->SelectRow(0);
    DoubleClick(LabelOf(0));
    EXPECT_EQ(Emus->GetRom(0)->TimesPlayed, 1);
    WaitPastDoubleClick();
    EXPECT_EQ(Editor(0), nullptr);
    EXPECT_EQ(viewport()->findChild<QLineEdit*>(), nullptr);

    QTest::mouseClick(viewport(), Qt::LeftButton, {}, LabelOf(0));
    Trigger("ToolButton3");  // the tool button, right after a click on the selected row
    WaitPastDoubleClick();
    EXPECT_EQ(Emus->GetRom(0)->TimesPlayed, 2);
    EXPECT_EQ(Editor(0), nullptr);

    DoubleClick(LabelOf(1));  // a row not selected before: selected, launched, not renamed
    EXPECT_EQ(MainWnd->SelectedRom(), 1);
    EXPECT_EQ(Emus->GetRom(1)->TimesPlayed, 1);
    WaitPastDoubleClick();
    EXPECT_EQ(Editor(1), nullptr);
}

TEST_F(Keys, WithHotTrackingOneClickOnARowLaunchesItAndOneBesideTheRowsNothing) {
    MainWnd->List->SetHotTrack(true);
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, LabelOf(1));
    QTest::qWait(50);
    EXPECT_EQ(Emus->GetRom(1)->TimesPlayed, 1);
    const QPoint belowTheRows(LabelOf(1).x(), viewport()->height() - 5);
    ASSERT_FALSE(view()->indexAt(belowTheRows).isValid());
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, belowTheRows);
    QTest::qWait(50);
    EXPECT_EQ(Emus->GetRom(1)->TimesPlayed, 1);
    EXPECT_EQ(MainWnd->SelectedRom(), -1);
    WaitPastDoubleClick();
    EXPECT_EQ(Editor(1), nullptr);  // a click that launches never renames
}
