// The options dialog (loading from the settings, taking them back, the font, the list editors)
// and the about box.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QUrl>

#include "DialogTestKit.h"
#include "support/ScriptedPrompter.h"
#include "dialogs/About.h"
#include "dialogs/Edit.h"
#include "dialogs/Options.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

struct Options : ::testing::Test {
    DialogCatalogue cat;
    ScriptedPrompter prompts;
    std::unique_ptr<TEditWnd> editor{EditWnd = new TEditWnd};
    TOptionsDlg dlg;
    FontChoice listFont;
    int fontSets = 0;

    Options() {
        dlg.GetListFont = [this] { return listFont; };
        dlg.SetListFont = [this](const FontChoice& f) { listFont = f, ++fontSets; };
        Settings.MessageMode = true;
        Settings.LogEnabled = true;
        Settings.DefaultRating = 30;
        Settings.DefaultType = 1;
        Settings.HotTrack = true;
    }
    ~Options() override { EditWnd = nullptr; }

    // Turns to the page that holds the button, as a user must, and clicks it.
    void Press(QWidget* page, const std::string& button) {
        dlg.PageControl1->setCurrentWidget(page);
        Trigger(dlg, button);
    }

    // Types a character into the editor the next list button opens, then closes it.
    void TypeIntoNextEditorAndClose(QChar c) {
        OnNextModal([c](QDialog* d) {
            EditWnd->Edit->moveCursor(QTextCursor::End);
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(EditWnd->Edit, &press);
            d->reject();  // Esc
        });
    }
};

TEST_F(Options, ShowingLoadsTheSettingsEveryTime) {
    dlg.show();
    EXPECT_EQ(dlg.MsgMode->ItemIndex(), 0);
    EXPECT_TRUE(dlg.Log->isChecked());
    EXPECT_FALSE(dlg.Verify->isChecked());
    EXPECT_TRUE(dlg.HotT->isChecked());
    EXPECT_EQ(dlg.StartRating->value(), 30);
    EXPECT_EQ(dlg.StartType->currentText(), "Puzzle");
    dlg.Log->setChecked(false);
    dlg.PageControl1->setCurrentWidget(dlg.TabSheet3);
    dlg.hide();

    Settings.MessageMode = false;
    dlg.show();
    dlg.hide();
    EXPECT_EQ(dlg.MsgMode->ItemIndex(), 1);
    EXPECT_TRUE(dlg.Log->isChecked());     // the abandoned edit is forgotten
    EXPECT_EQ(dlg.StartType->count(), 3);  // listed once, not twice
    EXPECT_EQ(dlg.PageControl1->currentWidget(), dlg.TabSheet1);
}

TEST_F(Options, TakeBackCopiesEveryControlIntoTheSettings) {
    dlg.FormShow();
    dlg.MsgMode->SetItemIndex(1);
    dlg.Log->setChecked(false);
    dlg.Verify->setChecked(true);
    dlg.Remember->setChecked(true);
    dlg.SNP->setChecked(true);
    dlg.HotT->setChecked(false);
    dlg.StartRating->setValue(88);
    dlg.StartType->setCurrentIndex(2);
    Trigger(dlg, "BitBtn1");
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    ASSERT_TRUE(dlg.TakeBack());
    EXPECT_FALSE(Settings.MessageMode);
    EXPECT_FALSE(Settings.LogEnabled);
    EXPECT_TRUE(Settings.Validate);
    EXPECT_TRUE(Settings.SaveColumnsWidth);
    EXPECT_TRUE(Settings.RememberSizeAndPosition);
    EXPECT_FALSE(Settings.HotTrack);
    EXPECT_EQ(Settings.DefaultRating, 88);
    EXPECT_EQ(Settings.DefaultType, 2);
}

TEST_F(Options, CancelTakesNothingBackButTheFontStays) {
    dlg.FormShow();
    FontChoice chosen;
    chosen.Name = "Courier New";
    chosen.Size = 12;
    chosen.Bold = true;
    prompts.Font(chosen);
    Press(dlg.TabSheet2, "Button4");
    EXPECT_EQ(fontSets, 1);  // applied at once
    EXPECT_EQ(listFont, chosen);
    EXPECT_EQ(prompts.Shown().at(0).initial, "MS Sans Serif");  // started from the list's font
    dlg.Log->setChecked(false);
    Trigger(dlg, "BitBtn2");
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_TRUE(Settings.LogEnabled);
    EXPECT_EQ(listFont, chosen);

    prompts.Font(std::nullopt);  // the font dialog cancelled
    Press(dlg.TabSheet2, "Button4");
    EXPECT_EQ(fontSets, 1);
}

TEST_F(Options, ATypeBeyondTheListShowsNoneAndOkStoresMinusOne) {
    Settings.DefaultType = 3;
    dlg.FormShow();
    EXPECT_EQ(dlg.StartType->currentIndex(), -1);
    ASSERT_TRUE(dlg.TakeBack());
    EXPECT_EQ(Settings.DefaultType, -1);
}

TEST_F(Options, ARatingThatIsNotANumberIsRefusedAndChangesNothing) {
    dlg.FormShow();
    dlg.MsgMode->SetItemIndex(1);
    dlg.StartRating->findChild<QLineEdit*>()->setText("");
    prompts.Box(BoxOk).Box(BoxOk);
    Trigger(dlg, "BitBtn1");
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(dlg.TakeBack());
    EXPECT_EQ(prompts.Shown().size(), 2u);
    EXPECT_TRUE(Settings.MessageMode);
    EXPECT_EQ(Settings.DefaultRating, 30);
    dlg.FormShow();  // the next showing shows the setting again
    EXPECT_EQ(dlg.StartRating->text(), "30");
}

TEST_F(Options, AnUnreadableTypesListIsReportedAndKeepsTheDefaultType) {
    std::remove(cat.dir.file("LISTS/Types.lst").c_str());
    prompts.Box(BoxOk);
    dlg.FormShow();
    EXPECT_EQ(prompts.Shown().size(), 1u);
    EXPECT_EQ(dlg.StartType->count(), 0);
    ASSERT_TRUE(dlg.TakeBack());
    EXPECT_EQ(Settings.DefaultType, 1);

    // A list made anew in the editor is offered at once, at the default type's position.
    prompts.Box(BoxOk);   // "... does not exist. It will be created if you save your text."
    prompts.Box(BoxYes);  // "Do you want to save changes?"
    OnNextModal([](QDialog* d) {
        EditWnd->Edit->insertPlainText("Action\nPuzzle");
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, "s");
        QCoreApplication::sendEvent(EditWnd->Edit, &press);
        d->reject();
    });
    Press(dlg.TabSheet3, "Button1");
    ASSERT_EQ(dlg.StartType->count(), 2);
    EXPECT_EQ(dlg.StartType->currentText(), "Puzzles");
    EXPECT_EQ(TempDir::read(cat.dir.file("LISTS/Types.lst")),
              "Action\r\nPuzzles\r\n");  // the lists' own line ends
}

TEST_F(Options, AListSavedFromTheEditorSetsListsChanged) {
    dlg.FormShow();
    TypeIntoNextEditorAndClose('X');
    prompts.Box(BoxYes);  // "Do you want to save changes?"
    Press(dlg.TabSheet3, "Button1");
    EXPECT_EQ(editor->windowTitle(), "Edit Types List");
    EXPECT_EQ(editor->FileName, ProgramFile("LISTS\\Types.lst"));
    EXPECT_TRUE(dlg.ListsChanged);
    EXPECT_NE(TempDir::read(cat.dir.file("LISTS/Types.lst")).find('X'), std::string::npos);

    dlg.FormShow();
    EXPECT_FALSE(dlg.ListsChanged);  // cleared at each showing
    EXPECT_EQ(dlg.StartType->itemText(2).right(1), "X");
}

TEST_F(Options, AnEditedListIsSavedInTheDataFolderAndReadFromThere) {
    TempDir home;
    const std::string data = home.file("tarnwick/");
    home.write("tarnwick/LISTS/ROMS.LST", "");  // a data folder without its own lookup lists
    SetFolders(cat.dir.path(), data);
    const std::string shipped = TempDir::read(cat.dir.file("LISTS/Types.lst"));
    dlg.FormShow();
    TypeIntoNextEditorAndClose('X');
    prompts.Box(BoxYes);  // "Do you want to save changes?"
    Press(dlg.TabSheet3, "Button1");
    EXPECT_EQ(editor->FileName, data + "LISTS/Types.lst");
    EXPECT_EQ(TempDir::read(cat.dir.file("LISTS/Types.lst")), shipped);  // the program's copy stays
    EXPECT_EQ(TempDir::read(data + "LISTS/Types.lst").find("Action\r\nPuzzle\r\nRPG"), 0u);
    EXPECT_EQ(dlg.StartType->itemText(2).right(1), "X");  // offered from the data folder's copy
    // Lists not edited are not copied: they follow the program's.
    EXPECT_FALSE(FileExists(data + "LISTS/Systems.lst"));
    SetProgramFolder(cat.dir.path());
}

TEST_F(Options, ASavedTypesListIsOfferedAtOnceKeepingTheChosenType) {
    dlg.FormShow();
    ASSERT_EQ(dlg.StartType->currentText(), "Puzzle");
    OnNextModal([](QDialog* d) {
        EditWnd->Edit->selectAll();
        EditWnd->Edit->textCursor().insertText("Puzzle\nRPG\nSport");  // "Action" deleted
        EditWnd->Edit->moveCursor(QTextCursor::End);
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, "s");
        QCoreApplication::sendEvent(EditWnd->Edit, &press);
        d->reject();
    });
    prompts.Box(BoxYes);
    Press(dlg.TabSheet3, "Button1");
    ASSERT_EQ(dlg.StartType->count(), 3);
    EXPECT_EQ(dlg.StartType->itemText(2), "Sports");
    EXPECT_EQ(dlg.StartType->currentText(), "Puzzle");
    ASSERT_TRUE(dlg.TakeBack());
    EXPECT_EQ(Settings.DefaultType, 0);  // Puzzle's line in the saved file
}

TEST_F(Options, AListEditAnsweredNoLeavesTheFileAndTheFlag) {
    const std::string before = TempDir::read(cat.dir.file("LISTS/Languages.lst"));
    dlg.FormShow();
    TypeIntoNextEditorAndClose('Q');
    prompts.Box(BoxNo);
    Press(dlg.TabSheet3, "Button3");
    EXPECT_EQ(editor->windowTitle(), "Edit Languages List");
    EXPECT_FALSE(dlg.ListsChanged);
    EXPECT_EQ(TempDir::read(cat.dir.file("LISTS/Languages.lst")), before);

    OnNextModal([](QDialog* d) { d->close(); });  // closed untouched: no question at all
    Press(dlg.TabSheet3, "Button2");
    EXPECT_EQ(editor->windowTitle(), "Edit Systems List");
    EXPECT_FALSE(dlg.ListsChanged);
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened << url; }
};

// The version in the project's build file, which the about box must show.
std::string ProjectVersion() {
    const std::string cmake = TempDir::read(std::string(TARNWICK_SOURCE_DIR) + "/CMakeLists.txt");
    const std::string key = "project(Tarnwick VERSION ";
    const size_t at = cmake.find(key);
    if (at == std::string::npos) return "<none>";
    const size_t from = at + key.size();
    return cmake.substr(from, cmake.find_first_of(" )", from) - from);
}

TEST(About, ShowsNameAndTheBuildsVersionAndNoMadeUpAddress) {
    TAboutDlg about;
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.Label1->text(), "Tarnwick");
    EXPECT_EQ(about.Label2->text().toStdString(), ProjectVersion());
    EXPECT_TRUE(about.Label1->font().bold());
    EXPECT_FALSE(about.Label3->text().isEmpty());
    EXPECT_EQ(about.Label4->text(), "For Extended Thanks See The Help File");
    EXPECT_FALSE(about.Image1->pixmap().isNull());
    about.show();
    for (QLabel* l : about.findChildren<QLabel*>())
        EXPECT_FALSE(l->isVisible() && l->text().contains("example")) << l->text().toStdString();
    if (TAboutDlg::WebAddress[0] == '\0') {
        EXPECT_FALSE(about.Label5->isVisible());  // the project has no web site yet
        return;
    }
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "Open");
    about.Label5Click();
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0].toString(), TAboutDlg::WebAddress);
    EXPECT_TRUE(about.Label5->isVisible());
}

}  // namespace

#include "OptionsTest.moc"
