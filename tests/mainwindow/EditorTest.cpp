// The text editor window: loading, what marks the text modified, and the save rules.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
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

class Editor : public ::testing::Test {
protected:
  void SetUp() override {
    EditWnd = new TEditWnd;
    EditWnd->FileName = file;
  }
  void TearDown() override {
    delete EditWnd;
    EditWnd = nullptr;
  }
  // Shows the editor, runs `typing` in it, then closes it as the close button does.
  void Session(const std::function<void()>& typing) {
    EditWnd->FormShow();
    EditWnd->show();
    typing();
    EditWnd->close();
  }
  TempDir dir;
  const std::string file = dir.write("Types.lst", "Action\r\nPuzzle\r\n");
  ScriptedPrompter prompts;
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

TEST_F(Editor, TheDeleteKeyAloneAsksNothing) {
  Session([] {
    for (int i = 0; i < 3; ++i) Type(Qt::Key_Delete, QString(QChar(0x7f)));
    Type(Qt::Key_Right, "");
  });
  EXPECT_FALSE(EditWnd->Modified);
  EXPECT_FALSE(EditWnd->isVisible());
  EXPECT_EQ(TempDir::read(file), "Action\r\nPuzzle\r\n");
}

TEST_F(Editor, NoKeepsTheFileAndYesWritesIt) {
  prompts.Box(BoxNo);
  Session([] { Type(Qt::Key_X, "X"); });
  EXPECT_EQ(prompts.BoxTexts(), (std::vector<std::string>{"Do you want to save changes?"}));
  EXPECT_FALSE(EditWnd->Modified);
  EXPECT_EQ(TempDir::read(file), "Action\r\nPuzzle\r\n");

  prompts.Box(BoxYes);
  Session([] {
    EditWnd->Edit->moveCursor(QTextCursor::End);
    Type(Qt::Key_Return, "\r");
    Type(Qt::Key_R, "R");
  });
  EXPECT_TRUE(EditWnd->Modified);  // set means saved
  EXPECT_EQ(TempDir::read(file), "Action\r\nPuzzle\r\nR\r\n");
}

TEST_F(Editor, ReadOnlyViewingNeverAsks) {
  EditWnd->Edit->setReadOnly(true);
  Session([] { Type(Qt::Key_X, "X"); });
  EXPECT_TRUE(EditWnd->Modified);  // typed, though nothing changed
  EXPECT_TRUE(prompts.Shown().empty());
  EXPECT_EQ(TempDir::read(file), "Action\r\nPuzzle\r\n");
}

TEST_F(Editor, AFailedSaveKeepsTheWindowOpenAndMarked) {
  dir.write("plain", "a file, not a folder");
  EditWnd->FileName = dir.file("plain/Systems.lst");
  prompts.Box(BoxOk).Box(BoxYes).Box(BoxOk);  // missing file; save? yes; cannot write
  Session([] { Type(Qt::Key_A, "A"); });
  EXPECT_TRUE(EditWnd->isVisible());
  EXPECT_TRUE(EditWnd->Modified);
  ASSERT_EQ(prompts.Shown().size(), 3u);
  EXPECT_EQ(prompts.Shown()[2].caption, "Error");
  prompts.Box(BoxNo);  // closing again asks again
  EditWnd->close();
  EXPECT_FALSE(EditWnd->isVisible());
  EXPECT_FALSE(EditWnd->Modified);
}

TEST_F(Editor, AMissingFileStartsEmptyAndIsCreatedOnSave) {
  EditWnd->FileName = dir.file("new.cfg");
  prompts.Box(BoxOk).Box(BoxYes);
  Session([] { Type(Qt::Key_Z, "z"); });
  EXPECT_EQ(TempDir::read(dir.file("new.cfg")), "z\r\n");
}

TEST_F(Editor, AnUnreadableFileIsNeverOfferedForSaving) {
  // The file exists but reading it fails.
  EditWnd->FileName = "/proc/self/mem";
  prompts.Box(BoxOk);
  Session([] { Type(Qt::Key_A, "A"); });
  EXPECT_EQ(prompts.Shown().size(), 1u);  // the report, and no save question
  EXPECT_FALSE(EditWnd->isVisible());
  EXPECT_FALSE(EditWnd->Edit->isReadOnly());  // the next caller gets a writable editor
}
