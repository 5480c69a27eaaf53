// Finding and keeping track as a user does it: typing into the search box, the emulator and
// favourites filters, every command on a filtered list, the favourite mark, the new columns,
// their first widths and the sort arrow; and the filter itself against a brute-force one.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QHeaderView>
#include <QScreen>
#include <QSignalSpy>
#include <QLineEdit>
#include <QListView>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>

#include "WindowTestKit.h"
#include "catalogue/RomStats.h"
#include "catalogue/Sorting.h"
#include "dialogs/Romprop.h"
#include "mainwindow/Main.h"
#include "mainwindow/ReportView.h"
#include "mainwindow/RomListView.h"
#include "mainwindow/Settings.h"
#include "platform/Text.h"
#include "support/ScriptedPrompter.h"
#include "toolkit/StatusPanels.h"

namespace fs = std::filesystem;

namespace {

// ---- The filter against a brute-force one ----------------------------------------------------

// The search form of a shown text, worked out on its own: decomposed, marks dropped, folded.
QString Plain(const std::string& bytes) {
    QString s = QString::fromStdString(DisplayText(bytes)).normalized(QString::NormalizationForm_D);
    QString out;
    for (QChar c : s)
        if (c.category() != QChar::Mark_NonSpacing) out += c;
    return out.toCaseFolded();
}

std::vector<int> BruteForce(const EmuManager& m, const QString& typed, const QString& emulator,
                            bool favourites) {
    std::vector<int> positions;
    const QStringList words = typed.simplified().split(' ', Qt::SkipEmptyParts);
    for (int32_t i = 0; i < m.RomCount(); ++i) {
        const RomRecord* rom = m.GetRom(i);
        if (!rom) continue;
        if (favourites && !m.Facts(*rom).Favourite) continue;
        if (!emulator.isEmpty() &&
            QString::fromStdString(DisplayText(FieldView(rom->Emulator.Name))) != emulator)
            continue;
        const std::string path = FieldText(rom->FilePath);
        const QString fields[] = {Plain(FieldText(rom->Name)), Plain(path.substr(path.rfind('/') + 1)),
                                  Plain(FieldText(rom->Emulator.Name)),
                                  Plain(m.SystemName(rom->Emulator.SystemIndex))};
        bool all = true;
        for (const QString& word : words) {
            const QString w = Plain(word.toStdString());
            all = all && std::any_of(std::begin(fields), std::end(fields),
                                     [&](const QString& f) { return f.contains(w); });
        }
        if (all) positions.push_back(i);
    }
    return positions;
}

TEST(RomFilterModel, AgreesWithABruteForceFilterOnGeneratedCatalogues) {
    TempDir dir;
    EmuManager m(dir.file("Tarnwick.log"));
    m.LoadSystems(dir.write("Systems.lst", "Game Boy\r\nSuper Famicom\r\nM\xC3\xA9ga Drive\r\n"));
    const char* pieces[] = {"Pok\xC3\xA9mon",     "POKEMON", "Zelda", "mario", "Kart", "\u00DCber", "uber",
                            "Pok\xE9mon",  // Windows-1252 bytes, shown as Pokémon
                            "e\xCC\x81t\xC3\xA9", "Game",    "boy",   "_x"};
    const char* emulators[] = {"Nestopia", "Snes9x", "Gamb\xC3\xA9tte", ""};
    std::mt19937 random(11);
    for (int i = 0; i < 1500; ++i) {
        auto rom = NewRomRecord();
        SetFieldText(rom->Name, std::string(pieces[random() % 12]) + " " + pieces[random() % 12]);
        SetFieldText(rom->FilePath,
                     "/roms/" + std::string(pieces[random() % 12]) + "/" + pieces[random() % 12] + ".zip");
        SetFieldText(rom->Emulator.Name, emulators[random() % 4]);
        rom->Emulator.SystemIndex = static_cast<int32_t>(random() % 5) - 1;
        if (random() % 3 == 0) m.Stats().SetFavourite(FieldView(rom->FilePath), true);
        m.AddRom(std::move(rom));
        if (i % 500 == 7) m.MarkRomRemoved(i);  // empty slots are never shown
    }
    RomListModel model;
    model.Fill();
    const char* typed[] = {"pokemon", "POKÉMON", "pok mon", "uber",     "über kart", "ete",
                           "ÉTÉ",     "invalid", "drive",   "mega",     "boy game",  "  zelda   mario ",
                           "x",       "/roms",   "zip",     "gambette", ""};
    const QString chosen[] = {"", "Snes9x", "Gambétte", "Nobody"};
    for (const char* words : typed)
        for (const QString& emulator : chosen)
            for (bool favourites : {false, true}) {
                SCOPED_TRACE(std::string(words) + " / " + emulator.toStdString() +
                             (favourites ? " / favourites" : ""));
                model.SetFilter({QString::fromUtf8(words), emulator, favourites});
                std::vector<int> rows;
                for (int r = 0; r < model.rowCount(); ++r) rows.push_back(model.RomPosition(r));
                ASSERT_EQ(rows, BruteForce(m, QString::fromUtf8(words), emulator, favourites));
                for (size_t r = 0; r < rows.size(); ++r) ASSERT_EQ(model.RowOf(rows[r]), static_cast<int>(r));
            }
    model.SetFilter({"pokemon", "", false});
    EXPECT_GT(model.rowCount(), 0);
    EXPECT_EQ(model.TotalCount(), 1497);
    EXPECT_EQ(model.EmulatorNames(), (QStringList{"Gambétte", "Nestopia", "Snes9x"}));  // none unnamed
}

// A fill takes only the rows; the rest is learnt later. Rows removed or renamed before the index
// reaches them must come out as they are by then, and each presence answer must stay with its row.
TEST(RomFilterModel, RowsChangedBeforeTheIndexReachesThemAreIndexedAsTheyAreThen) {
    TempDir dir;
    EmuManager m(dir.file("Tarnwick.log"));
    std::vector<bool> there;
    for (int i = 0; i < 9; ++i) {
        auto rom = NewRomRecord();
        SetFieldText(rom->Name, "Game " + std::to_string(i));
        const std::string path = dir.file("roms/game" + std::to_string(i) + ".zip");
        if (i % 3 != 1) dir.write("roms/game" + std::to_string(i) + ".zip", "x");
        SetFieldText(rom->FilePath, path);
        SetFieldText(rom->Emulator.Name, i < 5 ? "Nestopia" : "Snes9x");
        m.AddRom(std::move(rom));
        there.push_back(i % 3 != 1);
    }
    RomListModel model;
    QSignalSpy indexed(&model, &RomListModel::Indexed);
    model.Fill();
    EXPECT_FALSE(model.IndexComplete());
    EXPECT_TRUE(model.EmulatorNames().isEmpty());

    m.DeleteRom(model.RomPosition(2));
    model.RemoveRow(2);
    there.erase(there.begin() + 2);
    SetFieldText(m.GetRom(model.RomPosition(5))->Name, "Renamed");
    model.RomChanged(5);
    for (int r : {0, 1}) EXPECT_EQ(model.FilePresent(r), there[r]) << "row " << r;  // asked before any walk
    EXPECT_FALSE(model.IndexComplete());
    model.IndexAll();
    EXPECT_EQ(indexed.count(), 1);
    EXPECT_EQ(model.EmulatorNames(), (QStringList{"Nestopia", "Snes9x"}));
    for (int r = 0; r < model.rowCount(); ++r) EXPECT_EQ(model.FilePresent(r), there[r]) << "row " << r;
    model.SetFilter({"renamed", "", false});
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString(), "Renamed");

    // Left alone, a list that never paints is indexed all the same.
    model.SetFilter({});
    model.Fill();
    EXPECT_TRUE(indexed.wait(5000));
    EXPECT_TRUE(model.IndexComplete());
}

// ---- The window ------------------------------------------------------------------------------

class Find : public ::testing::Test {
protected:
    void SetUp() override {
        nes_ = MakeEmu("Nestopia", "/usr/bin/true", "", true, false, 0);
        snes_ = MakeEmu("Snes9x", "/usr/bin/true", "", true, false, 1);
        paths_ = {program_.dir.write("roms/zelda.nes", "z"), program_.dir.write("roms/red.gb", "r"),
                  program_.dir.write("roms/kart.smc", "k"), program_.dir.write("roms/tetris.gb", "t")};
        program_.WriteRoms({MakeRom(nes_, "Zelda", paths_[0]), MakeRom(nes_, "Pok\xC3\xA9mon Red", paths_[1]),
                            MakeRom(snes_, "Mario Kart", paths_[2]), MakeRom(nes_, "Tetris", paths_[3])});
        program_.WriteEmus({nes_, snes_});
        windows_ = std::make_unique<RunWindows>();
        Settings.MessageMode = false;
        MainWnd->show();
        MainWnd->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(MainWnd));
    }
    void TearDown() override {
        if (!MainWnd->Closed()) MainWnd->close();
        windows_.reset();
    }
    TReportView* view() const { return MainWnd->List->ReportView(); }
    RomListModel* model() const { return MainWnd->List->Model(); }
    std::vector<std::string> ShownNames() const {
        std::vector<std::string> names;
        for (int r = 0; r < model()->rowCount(); ++r)
            names.push_back(model()->data(model()->index(r, 0), Qt::DisplayRole).toString().toStdString());
        return names;
    }
    std::string Cell(int row, int column) const {
        return model()->data(model()->index(row, column), Qt::DisplayRole).toString().toStdString();
    }
    QString Count() const { return MainWnd->StatBar->Panel(1); }
    void Type(const QString& text) {
        QTest::keyClick(view(), Qt::Key_F, Qt::ControlModifier);
        ASSERT_TRUE(MainWnd->SearchBox->hasFocus());
        QTest::keyClicks(MainWnd->SearchBox, text);
    }
    // Selects a shown row as a click on it does (the window active again after any dialog).
    void Click(int row) {
        MainWnd->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(MainWnd));
        const QPoint at = view()->visualRect(model()->index(row, 1)).center();
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, at);
        view()->setFocus();
    }

    TestProgram program_;
    EmulatorRecord nes_, snes_;
    std::vector<std::string> paths_;
    std::unique_ptr<RunWindows> windows_;
    ScriptedPrompter prompts_;
};

using Names = std::vector<std::string>;

}  // namespace

TEST_F(Find, TypingNarrowsTheListAndEscAndTheFiltersWorkAsAUserExpects) {
    ASSERT_EQ(Count(), "4");
    Type("POKEMON");  // case and accent do not matter
    EXPECT_EQ(ShownNames(), (Names{"Pok\xC3\xA9mon Red"}));
    EXPECT_EQ(Count(), "1 of 4");
    QTest::keyClick(MainWnd->SearchBox, Qt::Key_Escape);
    EXPECT_EQ(MainWnd->SearchBox->text(), "");
    EXPECT_EQ(ShownNames().size(), 4u);
    EXPECT_EQ(Count(), "4");

    QTest::keyClick(view(), Qt::Key_Slash);  // "/" from the list goes to the search box too
    ASSERT_TRUE(MainWnd->SearchBox->hasFocus());
    QTest::keyClicks(MainWnd->SearchBox,
                     "entertainment .gb");  // the system holds one word, the file the other
    EXPECT_EQ(ShownNames(), (Names{"Pok\xC3\xA9mon Red", "Tetris"}));
    MainWnd->SearchBox->clear();
    QTest::keyClicks(MainWnd->SearchBox, "nestopia kart");  // every word must be found
    EXPECT_EQ(ShownNames(), (Names{}));

    MainWnd->SearchBox->clear();
    MainWnd->EmuFilter->setCurrentIndex(MainWnd->EmuFilter->findText("Snes9x"));
    EXPECT_EQ(MainWnd->EmuFilter->itemText(0), "All emulators");
    EXPECT_EQ(ShownNames(), (Names{"Mario Kart"}));
    EXPECT_EQ(Count(), "1 of 4");
    MainWnd->EmuFilter->setCurrentIndex(0);

    Click(3);  // Tetris
    QTest::keyClick(view(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_TRUE(Emus->Facts(*Emus->GetRom(3)).Favourite);
    RomStats fromDisk;  // written at once
    ASSERT_EQ(fromDisk.Open(program_.path("LISTS/Stats.db")), "");
    EXPECT_TRUE(fromDisk.Facts(paths_[3]).Favourite);
    const auto icon = [this](int row) {
        return model()->data(model()->index(row, 0), Qt::DecorationRole).value<QIcon>();
    };
    EXPECT_NE(icon(3).cacheKey(), icon(2).cacheKey());  // the star
    MainWnd->FavouritesFilter->click();
    EXPECT_EQ(ShownNames(), (Names{"Tetris"}));
    EXPECT_EQ(MainWnd->List->SelectedRow(), 0);               // the selected ROM stays selected
    QTest::keyClick(view(), Qt::Key_D, Qt::ControlModifier);  // unmarked: it leaves the favourites
    EXPECT_EQ(ShownNames(), (Names{}));
    EXPECT_EQ(Count(), "0 of 4");
}

// Counts the paints a widget gets.
class PaintCount : public QObject {
public:
    explicit PaintCount(QWidget* w) { w->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(Find, EachKeystrokeOfASearchPaintsTheListOnce) {
    ASSERT_TRUE(QTest::qWaitFor([this] { return model()->PresenceComplete(); }));
    QTest::keyClick(view(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(MainWnd->SearchBox->hasFocus());
    QTest::qWait(50);  // the list painted without its focus
    PaintCount list(view()->viewport());
    const char* const typed[] = {"r", "e", "d"};
    const size_t shown[] = {4, 1, 1};  // every path holds an r
    for (size_t k = 0; k < std::size(typed); ++k) {
        list.paints = 0;
        QTest::keyClicks(MainWnd->SearchBox, typed[k]);
        QTest::qWait(50);
        EXPECT_EQ(ShownNames().size(), shown[k]) << typed[k];
        EXPECT_EQ(list.paints, 1) << "after typing " << typed[k];
    }
}

TEST_F(Find, EveryCommandOnAFilteredListActsOnTheRomShownSelected) {
    Type("ar");
    ASSERT_EQ(ShownNames(), (Names{"Mario Kart"}));
    Click(0);
    QTest::keyClick(view(), Qt::Key_Return);  // run
    EXPECT_EQ(Emus->GetRom(2)->TimesPlayed, 1);
    EXPECT_EQ(Emus->GetRom(0)->TimesPlayed, 0);

    OnNextModal([](QWidget* w) {
        auto* dlg = qobject_cast<TRomPropDlg*>(w);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->RomDesc->text(), "Mario Kart");
        dlg->RomRating->setValue(99);
        dlg->OkBtnClick();
    });
    QTest::keyClick(view(), Qt::Key_Return, Qt::AltModifier);  // properties
    EXPECT_EQ(Emus->GetRom(MainWnd->SelectedRom())->Rating, 99);
    EXPECT_EQ(ShownNames(), (Names{"Mario Kart"}));  // refilled, still filtered, still selected
    EXPECT_EQ(FieldText(Emus->GetRom(MainWnd->SelectedRom())->Name), "Mario Kart");

    MainWnd->SearchBox->setText("zelda");
    MainWnd->ListColumnClick(0);  // a sort keeps the filter
    EXPECT_EQ(ShownNames(), (Names{"Zelda"}));
    QTest::keyClick(view(), Qt::Key_F5);
    EXPECT_EQ(ShownNames(), (Names{"Zelda"}));
    Click(0);
    const int zelda = MainWnd->SelectedRom();
    ASSERT_EQ(FieldText(Emus->GetRom(zelda)->Name), "Zelda");
    QTest::keyClick(view(), Qt::Key_Delete, Qt::ShiftModifier);  // erase
    EXPECT_FALSE(fs::exists(paths_[0]));
    EXPECT_EQ(Emus->RomCount(), 3);
    EXPECT_EQ(Count(), "0 of 3");

    MainWnd->SearchBox->setText("tetris");
    Click(0);
    QTest::keyClick(view(), Qt::Key_Delete);  // remove
    ASSERT_EQ(Emus->RomCount(), 2);
    for (int i = 0; i < 2; ++i) EXPECT_NE(FieldText(Emus->GetRom(i)->Name), "Tetris");
    EXPECT_TRUE(fs::exists(paths_[3]));
    MainWnd->SearchBox->clear();
    EXPECT_EQ(ShownNames().size(), 2u);
    EXPECT_EQ(model()->RomPosition(1), 1);  // the rows after the removed one follow their ROMs
}

TEST_F(Find, TheNewColumnsShowTheFactsAndSortWithTheArrow) {
    Emus->Stats().RecordPlay(paths_[1], QDateTime(QDate(2026, 3, 4), QTime(21, 5)).toSecsSinceEpoch(),
                             2 * 3600 + 7 * 60 + 30);
    Emus->Stats().RecordAdded({paths_[2]}, QDateTime(QDate(2025, 1, 2), QTime(8, 0)).toSecsSinceEpoch());
    MainWnd->RefreshExecute();
    QHeaderView* header = view()->horizontalHeader();
    EXPECT_EQ(model()->headerData(8, Qt::Horizontal, Qt::DisplayRole).toString(), "Last Played");
    EXPECT_EQ(model()->headerData(9, Qt::Horizontal, Qt::DisplayRole).toString(), "Play Time");
    EXPECT_EQ(model()->headerData(10, Qt::Horizontal, Qt::DisplayRole).toString(), "Added");
    EXPECT_EQ(Cell(1, 8), "2026-03-04 21:05");
    EXPECT_EQ(Cell(1, 9), "2 h 07 min");
    EXPECT_EQ(Cell(0, 8), "");  // never played
    EXPECT_EQ(Cell(0, 9), "");
    EXPECT_EQ(Cell(2, 10), "2025-01-02");

    // A click on the header, as the user's: Last Played ascending, never played first, and the
    // ROMs that compare equal keep their order.
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(8) + 5, 5));
    EXPECT_EQ(Settings.SortMethod, 16);
    EXPECT_EQ(ShownNames(), (Names{"Zelda", "Mario Kart", "Tetris", "Pok\xC3\xA9mon Red"}));
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), 8);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(8) + 5, 5));
    EXPECT_EQ(Settings.SortMethod, 17);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(ShownNames(), (Names{"Pok\xC3\xA9mon Red", "Zelda", "Mario Kart", "Tetris"}));

    MainWnd->close();
    EXPECT_EQ(program_.IniValue("Default", "Sort Method"), "17");
    EXPECT_NE(program_.IniValue("Columns", "Column10"), "<missing>");
}

TEST(FindStart, AFirstStartFitsTheColumnsAndTheIconViewsShowTwoLines) {
    TestProgram program;
    const EmulatorRecord emu = MakeEmu("Nestopia", "/usr/bin/true", "", true, false, 0);
    program.WriteRoms({MakeRom(emu, "Zelda", "/roms/zelda.nes")});
    program.WriteEmus({emu});
    RunWindows windows;
    const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_GE(MainWnd->width(), std::min(628, room.width()));  // a third of the screen, at least the design
    EXPECT_LE(MainWnd->width(), room.width());
    MainWnd->resize(1400, 600);
    MainWnd->show();
    TReportView* view = MainWnd->List->ReportView();
    RomListModel* model = MainWnd->List->Model();
    // No settings file: Name and File share the spare width, the others fit what they show.
    const int name = MainWnd->List->ColumnWidth(0), file = MainWnd->List->ColumnWidth(1);
    EXPECT_GT(name, 150);
    EXPECT_LE(std::abs(name - file), 1);
    int total = 0;
    for (int c = 0; c < RomListModel::ColumnCount; ++c) total += MainWnd->List->ColumnWidth(c);
    EXPECT_LE(total, view->viewport()->width());
    EXPECT_GE(MainWnd->List->ColumnWidth(8), QFontMetrics(view->font()).horizontalAdvance("Last Played"));

    MainWnd->BigIconsExecute();
    QListView* icons = MainWnd->List->IconView();
    const int line = QFontMetrics(MainWnd->List->ListFont()).height();
    EXPECT_TRUE(icons->wordWrap());
    EXPECT_GE(icons->visualRect(model->index(0, 0)).height(), 32 + 2 * line);
    MainWnd->SmallIcnsExecute();
    EXPECT_GE(icons->visualRect(model->index(0, 0)).height(), 2 * line);
    MainWnd->ListIconsExecute();
    EXPECT_FALSE(icons->wordWrap());
    MainWnd->close();
}

TEST(FindStart, SavedWidthsLoadAndAnOldSettingsFileFitsOnlyTheNewColumns) {
    TestProgram program;
    program.WriteEmptyCatalogue();
    program.WriteIni(
        "[Columns]\r\nSave Columns Width=1\r\nColumn0=111\r\nColumn1=222\r\nColumn2=33\r\nColumn3=44\r\n"
        "Column4=55\r\nColumn5=66\r\nColumn6=77\r\nColumn7=88\r\n");
    {
        RunWindows windows;
        MainWnd->show();
        const int saved[] = {111, 222, 33, 44, 55, 66, 77, 88};
        for (int c = 0; c < 8; ++c) EXPECT_EQ(MainWnd->List->ColumnWidth(c), saved[c]) << c;
        EXPECT_GT(MainWnd->List->ColumnWidth(9), 20);  // fitted, not 75 from nowhere
        MainWnd->List->SetColumnWidth(9, 99);
        MainWnd->close();
    }
    EXPECT_EQ(program.IniValue("Columns", "Column0"), "111");
    EXPECT_EQ(program.IniValue("Columns", "Column9"), "99");
    RunWindows again;
    MainWnd->show();
    EXPECT_EQ(MainWnd->List->ColumnWidth(9), 99);
    EXPECT_EQ(MainWnd->List->ColumnWidth(1), 222);
    MainWnd->close();
}

// The store is read while the window is made and first painted: the rows get its facts, and the
// star, once the read ends, without a command asking for them.
TEST(FindStart, TheStoresFactsReachTheRowsWhenItsReadEnds) {
    TestProgram program;
    const EmulatorRecord emu = MakeEmu("E", "/usr/bin/true");
    program.WriteRoms({MakeRom(emu, "A", "/roms/a.nes"), MakeRom(emu, "B", "/roms/b.nes")});
    program.WriteEmus({emu});
    {
        RomStats stats;
        ASSERT_EQ(stats.Open(program.path("LISTS/Stats.db")), "");
        stats.RecordAdded({"/roms/b.nes"}, QDateTime(QDate(2025, 1, 2), QTime(8, 0)).toSecsSinceEpoch());
        stats.SetFavourite("/roms/b.nes", true);
    }
    RunWindows windows;
    MainWnd->show();
    RomListModel* model = MainWnd->List->Model();
    const auto cell = [&](int row, int column) {
        return model->data(model->index(row, column), Qt::DisplayRole).toString();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return cell(1, RomColumn::Added) == "2025-01-02"; }, 10000));
    EXPECT_EQ(cell(0, RomColumn::Added), "");
    const auto icon = [&](int row) {
        return model->data(model->index(row, 0), Qt::DecorationRole).value<QIcon>();
    };
    EXPECT_NE(icon(1).cacheKey(), icon(0).cacheKey());  // the star
    MainWnd->close();
}

TEST(FindStart, ADamagedStoreIsSetAsideWithOneMessageAndTheCatalogueLoads) {
    TestProgram program;
    const EmulatorRecord emu = MakeEmu("E", "/usr/bin/true");
    program.WriteRoms({MakeRom(emu, "A", "/roms/a.nes")});
    program.WriteEmus({emu});
    program.dir.write("LISTS/Stats.db", "not a database");
    const std::string roms = program.Read("LISTS/ROMS.LST");
    ScriptedPrompter prompts;
    prompts.Box(BoxOk);
    RunWindows windows;
    MainWnd->show();  // the store is read meanwhile; its box comes when the read ends
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.Shown().empty(); }, 10000));
    QCoreApplication::processEvents();
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_NE(prompts.Shown()[0].text.find("set aside"), std::string::npos);
    EXPECT_EQ(MainWnd->List->Model()->rowCount(), 1);
    EXPECT_EQ(program.Read("LISTS/ROMS.LST"), roms);
    MainWnd->close();
}
