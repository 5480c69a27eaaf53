// The main window's ways of finding a ROM and keeping track of it: the search box, the emulator
// and favourites filters, the favourite mark, the count panel, the keys of the list, the first
// widths of the columns and the sort arrow.
#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QSignalBlocker>
#include <QToolBar>
#include <QToolButton>
#include <QListView>

#include "catalogue/Emusystem.h"
#include "mainwindow/ErrorDisplay.h"
#include "mainwindow/Icons.h"
#include "mainwindow/Main.h"
#include "mainwindow/ReportView.h"
#include "toolkit/StatusPanels.h"

void TMainWnd::BuildFindBar() {
    // The text buttons' band always shows, so the search box cannot be hidden with the icon bar.
    auto* gap = new QWidget(ToolBar2);
    gap->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ToolBar2->addWidget(gap);

    SearchBox = new QLineEdit(ToolBar2);
    SearchBox->setObjectName("SearchBox");
    SearchBox->setPlaceholderText("Search");
    SearchBox->setClearButtonEnabled(true);
    SearchBox->setMinimumWidth(SearchBox->fontMetrics().averageCharWidth() * 24);
    SearchBox->setToolTip(
        "Shows the ROMs whose name, file, emulator or system hold every word typed (Ctrl+F, /)");
    SearchBox->installEventFilter(this);
    ToolBar2->addWidget(SearchBox);

    EmuFilter = new QComboBox(ToolBar2);
    EmuFilter->setObjectName("EmuFilter");
    EmuFilter->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    EmuFilter->addItem("All emulators");
    ToolBar2->addWidget(EmuFilter);

    FavouritesFilter = new QToolButton(ToolBar2);
    FavouritesFilter->setObjectName("FavouritesFilter");
    FavouritesFilter->setText("Favourites");
    FavouritesFilter->setIcon(FavouriteStarIcon());
    FavouritesFilter->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    FavouritesFilter->setCheckable(true);
    FavouritesFilter->setToolTip("Shows only the ROMs marked as favourites");
    ToolBar2->addWidget(FavouritesFilter);

    connect(SearchBox, &QLineEdit::textChanged, this, [this] { Guarded([this] { ApplyFilter(); }); });
    connect(EmuFilter, &QComboBox::currentIndexChanged, this, [this] { Guarded([this] { ApplyFilter(); }); });
    connect(FavouritesFilter, &QToolButton::toggled, this, [this] { Guarded([this] { ApplyFilter(); }); });
    for (const QKeySequence& key : {QKeySequence(QKeySequence::Find), QKeySequence(Qt::Key_Slash)})
        connect(new QShortcut(key, this), &QShortcut::activated, this, &TMainWnd::FocusSearch);
}

// The keys of the list. Enter and Alt+Enter belong to the list's views alone, so that they
// still end a rename or pick in a box; F5 and Ctrl+D work anywhere in the window.
void TMainWnd::BindKeys() {
    Run1->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    Properties1->setShortcuts(
        {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)});
    for (QAction* item : {Run1, Properties1}) {
        item->setShortcutContext(Qt::WidgetShortcut);
        List->ReportView()->addAction(item);
        List->IconView()->addAction(item);
    }
    RefreshList1->setShortcut(QKeySequence(Qt::Key_F5));
    Favourite1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    for (QAction* item : {RefreshList1, Favourite1}) addAction(item);
}

void TMainWnd::FocusSearch() {
    SearchBox->setFocus(Qt::ShortcutFocusReason);
    SearchBox->selectAll();
}

// From the search box to the list: the selected row, or the first one shown.
void TMainWnd::FocusList() {
    if (List->SelectedRow() < 0 && List->Model()->rowCount() > 0) List->SelectRow(0);
    List->CurrentView()->setFocus(Qt::OtherFocusReason);
}

bool TMainWnd::SearchBoxKey(QKeyEvent* key) {
    switch (key->key()) {
        case Qt::Key_Escape:
            SearchBox->clear();
            FocusList();
            return true;
        case Qt::Key_Down:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            FocusList();
            return true;
    }
    return false;
}

void TMainWnd::ApplyFilter() {
    RomFilter f;
    f.Words = SearchBox->text();
    f.Emulator = EmuFilter->currentIndex() > 0 ? EmuFilter->currentText() : QString();
    f.FavouritesOnly = FavouritesFilter->isChecked();
    List->ApplyFilter(f);
    ShowCount();
}

// Every caller returns to the event loop straight after, which paints the count and the list in
// one go; painting now would paint the list within the keystroke, before the count is in place.
void TMainWnd::ShowCount() {
    const int total = Emus ? Emus->RomCount() : 0;
    const RomListModel* model = List->Model();
    StatBar->SetPanel(1,
                      model->Filter().Narrows() ? QString("%1 of %2").arg(model->rowCount()).arg(total)
                                                : QString::number(total),
                      StatusPanels::Paint::Later);
    StatBar->WidenToFit(1);
}

// The emulators of the ROMs just filled; the one chosen stays chosen, even when none of its
// ROMs is left, so the list does not widen behind the user's back.
void TMainWnd::RefreshEmuFilter() {
    const QString chosen = EmuFilter->currentIndex() > 0 ? EmuFilter->currentText() : QString();
    const QSignalBlocker quiet(EmuFilter);
    EmuFilter->clear();
    EmuFilter->addItem("All emulators");
    EmuFilter->addItems(List->Model()->EmulatorNames());
    if (chosen.isEmpty()) return;
    int at = EmuFilter->findText(chosen, Qt::MatchExactly);
    if (at < 0) {
        EmuFilter->addItem(chosen);
        at = EmuFilter->count() - 1;
    }
    EmuFilter->setCurrentIndex(at);
}

void TMainWnd::FavouriteExecute() {
    const int row = List->SelectedRow();
    const RomRecord* rom = Emus->GetRom(List->Model()->RomPosition(row));
    if (!rom) return;
    const bool on = !Emus->Facts(*rom).Favourite;
    Emus->Stats().SetFavourite(FieldView(rom->FilePath), on);
    Favourite1->setChecked(on);
    List->Model()->RomChanged(row);
    if (FavouritesFilter->isChecked()) ApplyFilter();
}

void TMainWnd::SelectRom(const RomRecord* rom) {
    if (!rom) return;
    for (int32_t i = 0; i < Emus->RomCount(); ++i)
        if (Emus->GetRom(i) == rom) {
            List->SelectRow(List->Model()->RowOf(i));
            return;
        }
}
