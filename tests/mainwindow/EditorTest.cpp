// The text editor window: loading, what marks the text modified, the save rules, and files
// written back as they were found.
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"
#include "dialogs/Edit.h"

namespace fs = std::filesystem;

namespace {

void Type(int key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(EditWnd->Edit, &press);
}

void Keys(QKeySequence::StandardKey key) {
    const QKeyCombination combo = QKeySequence(key)[0];
    QTest::keyClick(EditWnd->Edit, combo.key(), combo.keyboardModifiers());
}

// Drops text on the editor as a drag from another program would.
void DropText(const QString& text) {
    QMimeData data;
    data.setText(text);
    QWidget* target = EditWnd->Edit->viewport();
    const QPointF at(5, 5);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

class Editor : public ::testing::Test {
protected:
    void SetUp() override {
        EditWnd = new TEditWnd;
        EditWnd->FileName = file_;
    }
    void TearDown() override {
        delete EditWnd;
        EditWnd = nullptr;
    }
    // Shows the editor, runs `typing` in it, then closes it as the close button does.
    void Session(const std::function<void()>& typing) {
        EditWnd->FormShow();
        EditWnd->show();
        EditWnd->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(EditWnd));
        EditWnd->Edit->setFocus();
        typing();
        EditWnd->close();
    }
    TempDir dir_;
    const std::string file_ = dir_.write("Types.lst", "Action\r\nPuzzle\r\n");
    ScriptedPrompter prompts_;
};

}  // namespace

TEST_F(Editor, LoadsTheLinesAndStartsUnmodified) {
    EditWnd->Modified = true;
    EditWnd->FormShow();
    EXPECT_EQ(EditWnd->Edit->toPlainText(), "Action\nPuzzle");
    EXPECT_FALSE(EditWnd->Modified);
    EXPECT_EQ(EditWnd->Edit->font().family(), "Courier New");
    EXPECT_EQ(EditWnd->Edit->lineWrapMode(), QPlainTextEdit::NoWrap);
}

// Any change of the text is asked about at close, not only typed characters.
TEST_F(Editor, EveryWayOfChangingTheTextAsksAtClose) {
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"Delete key", [] { QTest::keyClick(EditWnd->Edit, Qt::Key_Delete); }},
        {"paste",
         [] {
             QApplication::clipboard()->setText("Sport\n");
             Keys(QKeySequence::Paste);
         }},
        {"cut",
         [] {
             Keys(QKeySequence::SelectAll);
             Keys(QKeySequence::Cut);
         }},
        {"undo of a save",
         [] {
             QTest::keyClick(EditWnd->Edit, Qt::Key_X);
             Keys(QKeySequence::Save);  // now the saved text has the X; undo takes it away again
             Keys(QKeySequence::Undo);
         }},
        {"drop", [] { DropText("Racing\n"); }},
    };
    for (const auto& [how, change] : changes) {
        SCOPED_TRACE(how);
        dir_.write("Types.lst", "Action\r\nPuzzle\r\n");
        prompts_.Box(BoxNo);
        Session([&] {
            change();
            EXPECT_TRUE(EditWnd->Modified);
        });
        EXPECT_EQ(prompts_.BoxTexts().size(), 1u);
        EXPECT_FALSE(EditWnd->isVisible());
        prompts_.ClearShown();
    }
}

TEST_F(Editor, UndoingEveryChangeLeavesNothingToSave) {
    Session([] {
        QTest::keyClick(EditWnd->Edit, Qt::Key_Delete);
        QTest::keyClick(EditWnd->Edit, Qt::Key_Z);
        Keys(QKeySequence::Undo);
        Keys(QKeySequence::Undo);
        EXPECT_FALSE(EditWnd->Modified);
    });
    EXPECT_TRUE(prompts_.Shown().empty());
    EXPECT_FALSE(EditWnd->Modified);  // nothing was saved
}

TEST_F(Editor, CtrlSSavesAndTheWindowStaysOpen) {
    Session([&] {
        EditWnd->Edit->moveCursor(QTextCursor::End);
        QTest::keyClick(EditWnd->Edit, Qt::Key_Return);
        QTest::keyClicks(EditWnd->Edit, "RPG");
        Keys(QKeySequence::Save);
        EXPECT_TRUE(EditWnd->isVisible());
        EXPECT_FALSE(EditWnd->Modified);  // nothing left to save
        EXPECT_EQ(TempDir::read(file_), "Action\r\nPuzzle\r\nRPG\r\n");
    });
    EXPECT_TRUE(prompts_.Shown().empty());  // saved: closing asks nothing
    EXPECT_TRUE(EditWnd->Modified);         // and tells the caller the file was saved
}

TEST_F(Editor, CancelAtTheSaveQuestionKeepsTheEditorAndItsText) {
    prompts_.Box(BoxCancel);
    Session([] { QTest::keyClicks(EditWnd->Edit, "New "); });
    ASSERT_EQ(prompts_.Shown().size(), 1u);
    EXPECT_EQ(prompts_.Shown()[0].text, "Do you want to save changes?");
    EXPECT_EQ(prompts_.Shown()[0].buttons, BoxButtons::YesNoCancel);
    EXPECT_TRUE(EditWnd->isVisible());
    EXPECT_TRUE(EditWnd->Modified);
    EXPECT_EQ(EditWnd->Edit->toPlainText(), "New Action\nPuzzle");
    EXPECT_EQ(TempDir::read(file_), "Action\r\nPuzzle\r\n");
    prompts_.Box(BoxYes);  // closing again asks again
    EditWnd->close();
    EXPECT_FALSE(EditWnd->isVisible());
    EXPECT_EQ(TempDir::read(file_), "New Action\r\nPuzzle\r\n");
}

TEST_F(Editor, NoKeepsTheFileAndYesWritesIt) {
    prompts_.Box(BoxNo);
    Session([] { Type(Qt::Key_X, "X"); });
    EXPECT_EQ(prompts_.BoxTexts(), (std::vector<std::string>{"Do you want to save changes?"}));
    EXPECT_FALSE(EditWnd->Modified);
    EXPECT_EQ(TempDir::read(file_), "Action\r\nPuzzle\r\n");

    prompts_.Box(BoxYes);
    Session([] {
        EditWnd->Edit->moveCursor(QTextCursor::End);
        Type(Qt::Key_Return, "\r");
        Type(Qt::Key_R, "R");
    });
    EXPECT_TRUE(EditWnd->Modified);  // set means saved
    EXPECT_EQ(TempDir::read(file_), "Action\r\nPuzzle\r\nR\r\n");
}

// An emulator's own configuration file: its line ends and the bytes of every line not edited
// are written back as they were, however the other lines changed.
TEST_F(Editor, AConfigurationFileKeepsItsLineEndsAndUneditedBytes) {
    struct Case {
        const char* name;
        std::string before, after;
    };
    const std::vector<Case> cases = {
        {"LF, Windows-1252", "[Video]\nTitle=Caf\xE9 \xABturbo\xBB\nSpeed=1\n",
         "[Video]\nTitle=Caf\xE9 \xABturbo\xBB\nSpeed=12\n"},
        {"CR", "Speed=1\rName=x\r", "Speed=12\rName=x\r"},
        {"no line end at the end", "a=1\nSpeed=1", "a=1\nSpeed=12"},
        {"mixed", "Speed=1\r\nb=\xA0\xE9\nc=3\r", "Speed=12\r\nb=\xA0\xE9\nc=3\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string cfg = dir_.write("emu.cfg", c.before);
        EditWnd->FileName = cfg;
        prompts_.Box(BoxYes);
        Session([] {
            ASSERT_TRUE(EditWnd->Edit->find("Speed=1"));
            EditWnd->Edit->moveCursor(QTextCursor::EndOfLine);
            QTest::keyClick(EditWnd->Edit, Qt::Key_2);
        });
        EXPECT_EQ(TempDir::read(cfg), c.after);
    }
}

TEST_F(Editor, AWindows1252LineIsShownConvertedAndWrittenAsTypedOnceEdited) {
    const std::string cfg = dir_.write("emu.cfg", "Name=Caf\xE9\nPath=\xC0\n");
    EditWnd->FileName = cfg;
    prompts_.Box(BoxYes);
    Session([] {
        EXPECT_EQ(EditWnd->Edit->toPlainText(), QString::fromUtf8("Name=Caf\u00e9\nPath=\u00c0"));
        EditWnd->Edit->moveCursor(QTextCursor::End);
        QTest::keyClicks(EditWnd->Edit, "x");
        // The first line moves down under a new one and stays byte for byte.
        EditWnd->Edit->moveCursor(QTextCursor::Start);
        QTest::keyClick(EditWnd->Edit, Qt::Key_Return);
    });
    EXPECT_EQ(TempDir::read(cfg), "\nName=Caf\xE9\nPath=\xC3\x80x\n");
}

TEST_F(Editor, ReadOnlyViewingNeverAsks) {
    EditWnd->Edit->setReadOnly(true);
    Session([] {
        Type(Qt::Key_X, "X");
        QTest::keyClick(EditWnd->Edit, Qt::Key_Delete);
        Keys(QKeySequence::Save);
    });
    EXPECT_FALSE(EditWnd->Modified);  // nothing changed, nothing saved
    EXPECT_TRUE(prompts_.Shown().empty());
    EXPECT_EQ(TempDir::read(file_), "Action\r\nPuzzle\r\n");
}

TEST_F(Editor, AFailedSaveKeepsTheWindowOpenAndMarked) {
    dir_.write("plain", "a file, not a folder");
    EditWnd->FileName = dir_.file("plain/Systems.lst");
    prompts_.Box(BoxOk).Box(BoxYes).Box(BoxOk);  // missing file; save? yes; cannot write
    Session([] { Type(Qt::Key_A, "A"); });
    EXPECT_TRUE(EditWnd->isVisible());
    EXPECT_TRUE(EditWnd->Modified);
    ASSERT_EQ(prompts_.Shown().size(), 3u);
    EXPECT_EQ(prompts_.Shown()[2].caption, "Error");
    prompts_.Box(BoxNo);  // closing again asks again
    EditWnd->close();
    EXPECT_FALSE(EditWnd->isVisible());
    EXPECT_FALSE(EditWnd->Modified);
}

TEST_F(Editor, AMissingFileStartsEmptyAndIsCreatedOnSave) {
    EditWnd->FileName = dir_.file("new.cfg");
    prompts_.Box(BoxOk).Box(BoxYes);
    Session([] { Type(Qt::Key_Z, "z"); });
    EXPECT_EQ(TempDir::read(dir_.file("new.cfg")), "z\n");
}

TEST_F(Editor, AnUnreadableFileIsNeverOfferedForSaving) {
    // The file exists but reading it fails.
    EditWnd->FileName = "/proc/self/mem";
    prompts_.Box(BoxOk);
    Session([] {
        Type(Qt::Key_A, "A");
        Keys(QKeySequence::Save);
    });
    EXPECT_EQ(prompts_.Shown().size(), 1u);  // the report, and no save question
    EXPECT_FALSE(EditWnd->isVisible());
    EXPECT_FALSE(EditWnd->Edit->isReadOnly());  // the next caller gets a writable editor
}
