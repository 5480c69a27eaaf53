#pragma once
// The ROM list of the main window: one model over the catalogue, shown in four styles (big
// icons, small icons, list, report with eleven columns). Rows are read from the catalogue when
// drawn; the model keeps, for every ROM of the last fill, its catalogue position and, in its
// index, its favourite mark, emulator, system and text in search form (SearchText.h). A fill
// takes only the positions, so a large list paints at once; the index is built in short steps
// while the program idles, or whole at once when a filter or a command needs it. Whether each
// ROM's file is there is learnt off this thread once the index has the paths (FilePresence.h),
// the rows on screen first; a row shows a neutral icon until its answer is in.
//
// A filter (typed words, one emulator, favourites only) narrows the rows shown; a row is still
// a catalogue position, so every command takes RomPosition(row) whatever is shown. Fills keep
// the filter.

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/RomColumns.h"
#include "mainwindow/FilePresence.h"
#include "platform/LargeArray.h"

class QListView;
class TReportView;
class QStackedWidget;
class QAbstractItemView;
class QItemSelectionModel;
class QTimer;
struct RomRecord;

// The row icons by what is known of the ROM's file.
struct RomIcons {
    QIcon Present, Missing, Unchecked;
};

// What narrows the list. Each typed word must appear in the ROM's name, file name (without its
// folder), emulator or system, letter case and accents ignored.
struct RomFilter {
    QString Words;
    QString Emulator;  // an emulator's name as shown; empty for every emulator
    bool FavouritesOnly = false;
    bool Narrows() const { return !Words.trimmed().isEmpty() || !Emulator.isEmpty() || FavouritesOnly; }
};

// An array whose elements are made from their indexes until one changes, and kept as the count
// till then: a list shown whole in catalogue order would otherwise write an entry for each of its
// 100,000 ROMs before its first paint.
template <class T, T (*FromIndex)(std::size_t)>
class CountedArray {
public:
    using Stored = std::vector<T, LargeArrayAllocator<T>>;
    void Count(std::size_t n) {
        stored_.clear();
        counted_ = n;
    }
    std::size_t size() const { return counted_ ? counted_ : stored_.size(); }
    bool empty() const { return size() == 0; }
    T operator[](std::size_t k) const { return counted_ ? FromIndex(k) : stored_[k]; }
    // The elements written out, to be changed.
    Stored& Written() {
        if (counted_) {
            stored_.reserve(counted_);
            for (std::size_t k = 0; k < counted_; ++k) stored_.push_back(FromIndex(k));
            counted_ = 0;
        }
        return stored_;
    }
    void clear() { Count(0); }
    void shrink_to_fit() { stored_.shrink_to_fit(); }

private:
    std::size_t counted_ = 0;
    Stored stored_;
};

class RomListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Name, File, Emulator, System, Rating, Language, Type, #Played, Last Played, Play Time, Added.
    static constexpr int ColumnCount = RomColumn::Count;
    explicit RomListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Rebuilds the rows from the catalogue, one per filled slot, applies the filter and starts the
    // index and the presence test of the files over. Returns the number of slots walked.
    int Fill();
    // Builds what is left of the index now; then the presence walk has every path.
    void IndexAll();
    bool IndexComplete() const { return indexed_ == entries_.size() && pathsHanded_; }
    void Painted();  // a view painted the rows: the index may go on
    void Clear();
    void RemoveRow(int row);         // the row goes; later rows keep pointing at their ROMs
    int RomPosition(int row) const;  // catalogue position of a row, -1 when out of range
    int RowOf(int position) const;   // the row showing a catalogue position, -1 when none does
    bool FilePresent(int row);       // the row's file is there; tested now when not known yet
    // Whether the presence of every row's file is known (the icons are final).
    bool PresenceComplete() const { return pathsHanded_ && presence_.Complete(); }
    int TotalCount() const { return static_cast<int>(entries_.size()); }  // shown or not

    const RomFilter& Filter() const { return filter_; }
    void SetFilter(const RomFilter& f);
    // The emulator names of the ROMs of the last fill, as shown, each once, in name order; empty
    // until the index is complete.
    const QStringList& EmulatorNames() const { return emulatorNames_; }
    // The ROM of a row changed (renamed, marked, played): its search text, mark and cells follow.
    // The row stays shown until the filter is applied again.
    void RomChanged(int row);

    // The rename handler: gets the row and the edited text, may change the text; the row's
    // label is what the catalogue then holds.
    std::function<void(int row, QString& text)> OnEdited;
    // The row icons; a favourite shows the same pictures with a star.
    void SetIcons(const RomIcons& plain, const RomIcons& favourite);

signals:
    void Indexed();       // the index of the last fill is complete: EmulatorNames() holds them all
    void IconsChanged();  // presence answers came in: the rows' icons are to be painted again

private:
    struct Entry {
        int32_t position;
        uint32_t fill;  // the ROM's place in the last fill, which its presence answer keeps
        static Entry Of(std::size_t k) { return {static_cast<int32_t>(k), static_cast<uint32_t>(k)}; }
    };
    static uint32_t RowOfIndex(std::size_t k) { return static_cast<uint32_t>(k); }
    // What the index learnt of an entry. Apart from the entries, so that a fill, which the first
    // paint waits for, writes only what the rows need.
    struct EntryIndex {
        bool favourite;
        uint32_t emulator;            // index into emulatorSearch
        uint32_t system;              // line of the Systems list; its size for "Invalid"
        uint32_t textStart, textEnd;  // the name and file name in search form, within `texts_`
    };
    // The entry a row shows, by its index in `entries_`.
    std::optional<uint32_t> EntryOf(int row) const;
    bool Favourite(uint32_t k) const;
    void ResetIndex();
    void IndexStep();
    void IndexEntry(const Entry& e, EntryIndex& x, const RomRecord& rom);
    void FinishIndex();
    void AppendSearchText(EntryIndex& x, std::string_view name, std::string_view path);
    void Select();  // chooses the shown entries by the filter
    void PresenceArrived();

    CountedArray<Entry, Entry::Of> entries_;  // every ROM of the last fill, in catalogue order
    std::vector<EntryIndex, LargeArrayAllocator<EntryIndex>> index_;  // of the entries before indexed_
    CountedArray<uint32_t, RowOfIndex> shown_;  // the rows: indexes into entries, ascending
    std::string texts_;
    std::vector<std::string> emulatorSearch_;  // each distinct emulator name in search form
    QStringList emulatorShown_;                // ... and as shown, by the same index
    QStringList emulatorNames_;
    std::vector<std::string> systemSearch_;  // the Systems list in search form, then "invalid"
    std::unordered_map<std::string, uint32_t> emulatorIds_;  // into emulatorSearch, by name as stored
    std::string lastEmulator_;  // catalogues hold few emulators, mostly in runs: the last one is tried first
    uint32_t lastEmulatorId_ = 0;
    std::size_t indexed_ = 0;  // entries before this one are in the index
    std::string paths_;        // the indexed ROMs' paths for the presence walk, by their place in the fill
    std::vector<uint32_t> pathEnds_;
    bool pathsHanded_ = false;  // the walk has this fill's paths
    QTimer* indexTimer_;
    RomFilter filter_;
    RomIcons icons_[2];  // plain, favourite
    // Last, so its thread stops before the rest goes; asking about a row on screen (from data())
    // only moves that row up the walk.
    mutable FilePresence presence_;
};

class TRomListView : public QWidget {
    Q_OBJECT
public:
    static const int DesignWidths[RomListModel::ColumnCount];
    explicit TRomListView(QWidget* parent = nullptr);

    RomListModel* Model() const { return model_; }
    QListView* IconView() const { return iconView_; }  // big icons, small icons, list
    TReportView* ReportView() const { return reportView_; }
    QAbstractItemView* CurrentView() const;

    // 0 big icons, 1 small icons, 2 list, 3 report; other values are kept and shown as report.
    int ViewStyle() const { return style_; }
    void SetViewStyle(int value);

    // Drops a rename that a click on the selected row is about to start (a launch came first).
    void CancelPendingRename();
    int SelectedRow() const;  // first selected row, -1 when none
    void SelectRow(int row);  // selects and shows one row (-1 clears the selection)
    // Narrows the rows; the selected ROM stays selected when it is still shown.
    void ApplyFilter(const RomFilter& f);
    int ColumnWidth(int c) const;
    void SetColumnWidth(int c, int width);
    // Each column whose `fit` is set takes the width of its contents and header; then Name and
    // File, when set, share what is left of the list's width (at least their design widths).
    void FitColumns(const std::vector<bool>& fit);
    // The header's arrow on the sort method's column: up ascending, down descending; none for a
    // method that names no column.
    void ShowSortMethod(int32_t method);

    bool HotTrack() const { return hotTrack_; }
    void RepaintRows();         // what the rows show changed, not which rows there are
    void SetHotTrack(bool on);  // hover highlight with the hand-point cursor

    // The list's font and its colour as a platform colour value (red in the lowest byte;
    // values with the top bit set name system colours and show in the default text colour).
    QFont ListFont() const;
    void SetListFont(const QFont& f);
    int32_t FontColor() const { return fontColor_; }
    void SetFontColor(int32_t value);

    // Events the main window binds to its handlers.
    std::function<void(int column)> OnColumnClick;
    std::function<void()> OnDblClick;
    std::function<void(Qt::MouseButton)> OnMouseUp;
    std::function<void(const QPoint& globalPos)> OnContextMenu;
    std::function<void()> OnSelectionChanged;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void BindView(QAbstractItemView* v);
    void ApplyIconStyle();
    void FitRowHeight();
    // Renaming by a click on the selected row, started only once the click has proved not to be
    // the first half of a double click (which launches instead).
    void MousePressed(QAbstractItemView* view, const QPoint& at);
    void MouseReleased(QAbstractItemView* view, const QPoint& at);
    void StartPendingRename();
    QTimer* renameTimer_;
    QAbstractItemView* renameView_ = nullptr;
    QPersistentModelIndex renameIndex_;
    RomListModel* model_;
    QItemSelectionModel* selection_;
    QStackedWidget* stack_;
    QListView* iconView_;
    TReportView* reportView_;
    int style_ = 3;
    bool hotTrack_ = false;
    int hoverRow_ = -1;  // the row under the mouse while hot tracking
    int32_t fontColor_ = 0;
};
