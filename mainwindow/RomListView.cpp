#include "mainwindow/RomListView.h"

#include <QApplication>
#include <QDateTime>
#include <QEvent>
#include <QHeaderView>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <ranges>
#include <unordered_map>

#include "catalogue/Emusystem.h"
#include "mainwindow/CellText.h"
#include "mainwindow/ReportView.h"
#include "mainwindow/SearchText.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace {

QString Shown(std::string_view bytes) {
    return QString::fromStdString(DisplayText(bytes));
}

const char* const Headers[RomListModel::ColumnCount] = {"Name",        "File",      "Emulator", "System",
                                                        "Rating",      "Language",  "Type",     "#Played",
                                                        "Last Played", "Play Time", "Added"};

QString LastPlayedText(const RomFacts& f) {
    return f.LastPlayed ? QDateTime::fromSecsSinceEpoch(f.LastPlayed).toString("yyyy-MM-dd HH:mm")
                        : QString();
}

QString PlayTimeText(const RomFacts& f) {
    if (!f.LastPlayed && !f.PlaySeconds) return {};
    const int64_t minutes = f.PlaySeconds / 60;
    return QString("%1 h %2 min").arg(minutes / 60).arg(minutes % 60, 2, 10, QChar('0'));
}

QString AddedText(const RomFacts& f) {
    return f.Added ? QDateTime::fromSecsSinceEpoch(f.Added).toString("yyyy-MM-dd") : QString();
}

// Paints the row under the mouse highlighted while hot tracking is on: every cell of it, where
// the view itself marks only the cell under the mouse.
class HotTrackDelegate : public QStyledItemDelegate {
public:
    HotTrackDelegate(const bool& on, const int& hoverRow, QObject* parent)
        : QStyledItemDelegate(parent), on_(on), hoverRow_(hoverRow) {}
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem o(option);
        o.state &= ~QStyle::State_MouseOver;
        if (on_ && index.row() == hoverRow_ && !(o.state & QStyle::State_Selected)) {
            QColor hover = o.palette.color(QPalette::Highlight);
            hover.setAlpha(60);
            p->fillRect(o.rect, hover);
            o.font.setUnderline(true);
        }
        initStyleOption(&o, index);
        if (text_.Paint(p, o)) return;
        const QStyle* style = o.widget ? o.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &o, p, o.widget);
    }
    // Every item of the icon views fills its grid cell, so a label has room for its two lines.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (cell.isValid()) return cell;
        QStyleOptionViewItem o(option);
        initStyleOption(&o, index);
        return text_.SizeHint(o);
    }
    QSize cell;

private:
    const bool& on_;
    const int& hoverRow_;
    mutable CellTextPainter text_;
};

}  // namespace

// ---- RomListModel -------------------------------------------------------------------------

RomListModel::RomListModel(QObject* parent)
    : QAbstractTableModel(parent), presence_([this] {
          // On the walking thread: the refresh runs on this model's own.
          QMetaObject::invokeMethod(
              this, [this] { PresenceArrived(); }, Qt::QueuedConnection);
      }) {
    indexTimer_ = new QTimer(this);
    indexTimer_->setSingleShot(true);
    connect(indexTimer_, &QTimer::timeout, this, [this] { IndexStep(); });
}

int RomListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int RomListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

std::optional<uint32_t> RomListModel::EntryOf(int row) const {
    if (row < 0 || row >= static_cast<int>(shown_.size())) return std::nullopt;
    return shown_[static_cast<std::size_t>(row)];
}

QVariant RomListModel::data(const QModelIndex& index, int role) const {
    const std::optional<uint32_t> k = index.isValid() ? EntryOf(index.row()) : std::nullopt;
    if (!k) return {};
    const Entry entry = entries_[*k];
    if (role == Qt::DecorationRole) {
        if (index.column() != RomColumn::Name) return {};
        const RomIcons& set = icons_[Favourite(*k) ? 1 : 0];
        if (!pathsHanded_) return set.Unchecked;
        const std::optional<bool> present = presence_.Known(entry.fill);
        return !present ? set.Unchecked : *present ? set.Present : set.Missing;
    }
    if (role == Qt::TextAlignmentRole)
        return (index.column() == RomColumn::Rating || index.column() == RomColumn::Played ||
                index.column() == RomColumn::PlayTime)
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole) return {};
    const RomRecord* rom = Emus ? Emus->GetRom(entry.position) : nullptr;
    if (!rom) return {};
    if (role == Qt::ToolTipRole)
        return index.column() == RomColumn::File ? Shown(FieldView(rom->FilePath)) : QVariant();
    switch (index.column()) {
        case RomColumn::Name:
            return Shown(FieldView(rom->Name));
        case RomColumn::File:
            return Shown(FieldView(rom->FilePath));
        case RomColumn::Emulator:
            return Shown(FieldView(rom->Emulator.Name));
        case RomColumn::System:
            return Shown(Emus->SystemName(rom->Emulator.SystemIndex));
        case RomColumn::Rating:
            return QString::number(rom->Rating);
        case RomColumn::Language:
            return Shown(Emus->LanguageName(rom->LanguageIndex));
        case RomColumn::Type:
            return Shown(Emus->TypeName(rom->TypeIndex));
        case RomColumn::Played:
            return QString::number(rom->TimesPlayed);
        case RomColumn::LastPlayed:
            return LastPlayedText(Emus->FactsIfRead(*rom));
        case RomColumn::PlayTime:
            return PlayTimeText(Emus->FactsIfRead(*rom));
        case RomColumn::Added:
            return AddedText(Emus->FactsIfRead(*rom));
    }
    return {};
}

bool RomListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != 0 || !EntryOf(index.row())) return false;
    QString text = value.toString();
    if (OnEdited) OnEdited(index.row(), text);
    RomChanged(index.row());
    return true;
}

QVariant RomListModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString::fromLatin1(Headers[section]);
    return {};
}

Qt::ItemFlags RomListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == RomColumn::Name) f |= Qt::ItemIsEditable;
    return f;
}

void RomListModel::AppendSearchText(EntryIndex& x, std::string_view name, std::string_view path) {
    x.textStart = static_cast<uint32_t>(texts_.size());
    AppendSearchForm(texts_, name);
    texts_.push_back('\n');  // no typed word holds a line end, so none matches across the two
    AppendSearchForm(texts_, path.substr(path.rfind('/') + 1));
    x.textEnd = static_cast<uint32_t>(texts_.size());
}

namespace {
constexpr std::size_t IndexStepSize = 4096;  // a few milliseconds of work between events
// The index starts once the list has painted, or after this long where it does not paint (hidden).
constexpr int IndexUnpaintedStartMs = 250;
}  // namespace

int RomListModel::Fill() {
    beginResetModel();
    ResetIndex();
    const int n = Emus ? Emus->RomCount() : 0;
    int filled = 0;
    while (filled < n && Emus->GetRom(filled)) ++filled;
    if (filled == n) {
        entries_.Count(static_cast<std::size_t>(n));  // every slot holds a ROM: entry k is ROM k
    } else {
        auto& written = entries_.Written();
        written.reserve(n);
        for (int i = 0; i < n; ++i)
            if (Emus->GetRom(i)) written.push_back(Entry{i, static_cast<uint32_t>(written.size())});
    }
    Select();
    endResetModel();
    if (!IndexComplete()) indexTimer_->start(IndexUnpaintedStartMs);
    return n;
}

void RomListModel::ResetIndex() {
    entries_.clear();
    index_.clear();
    texts_.clear();
    emulatorSearch_.clear();
    emulatorShown_.clear();
    emulatorNames_.clear();
    emulatorIds_.clear();
    lastEmulator_.clear();
    systemSearch_.clear();
    if (Emus)
        for (const std::string& system : Emus->Systems()) systemSearch_.push_back(SearchForm(system));
    systemSearch_.push_back(SearchForm("Invalid"));
    indexed_ = 0;
    paths_.clear();
    pathEnds_.clear();
    pathsHanded_ = false;
    presence_.Check({}, {});  // the answers of the last fill name other rows
    indexTimer_->stop();
}

void RomListModel::IndexStep() {
    if (indexed_ == 0 && Emus) Emus->PrepareToReadAllRoms();
    const std::size_t end = std::min(entries_.size(), indexed_ + IndexStepSize);
    index_.resize(end);
    for (; indexed_ < end; ++indexed_)
        if (const RomRecord* rom = Emus ? Emus->GetRom(entries_[indexed_].position) : nullptr)
            IndexEntry(entries_[indexed_], index_[indexed_], *rom);
    if (indexed_ < entries_.size())
        indexTimer_->start(0);
    else if (!pathsHanded_)
        FinishIndex();
}

void RomListModel::IndexAll() {
    while (!IndexComplete()) IndexStep();
    indexTimer_->stop();
}

void RomListModel::IndexEntry(const Entry& e, EntryIndex& x, const RomRecord& rom) {
    const std::string_view path = FieldView(rom.FilePath);
    x.favourite = Emus->Facts(rom).Favourite;
    const std::string_view emulator = FieldView(rom.Emulator.Name);
    if (emulator != lastEmulator_ || emulatorSearch_.empty()) {
        const auto [found, added] =
            emulatorIds_.try_emplace(std::string(emulator), static_cast<uint32_t>(emulatorSearch_.size()));
        if (added) {
            emulatorSearch_.push_back(SearchForm(emulator));
            emulatorShown_.push_back(Shown(emulator));
        }
        lastEmulator_ = emulator;
        lastEmulatorId_ = found->second;
    }
    x.emulator = lastEmulatorId_;
    const int32_t system = rom.Emulator.SystemIndex;
    const size_t invalid = systemSearch_.size() - 1;
    x.system = static_cast<uint32_t>(system >= 0 && static_cast<size_t>(system) < invalid ? system : invalid);
    AppendSearchText(x, FieldView(rom.Name), path);
    // The walk gets its own copy of the paths, by their place in the fill: the catalogue stays this
    // thread's alone. A ROM removed before it was indexed leaves an empty path in its place.
    while (pathEnds_.size() < e.fill) pathEnds_.push_back(static_cast<uint32_t>(paths_.size()));
    paths_.append(path);
    pathEnds_.push_back(static_cast<uint32_t>(paths_.size()));
}

void RomListModel::FinishIndex() {
    emulatorNames_ = emulatorShown_;
    emulatorNames_.removeDuplicates();
    emulatorNames_.removeAll(QString());  // "All emulators" stands first; a nameless one is not offered
    std::sort(emulatorNames_.begin(), emulatorNames_.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    pathsHanded_ = true;
    presence_.Check(std::move(paths_), std::move(pathEnds_));
    paths_.clear();
    pathEnds_.clear();
    emit Indexed();
}

void RomListModel::Painted() {
    if (indexTimer_->isActive() && indexTimer_->interval() > 0) indexTimer_->start(0);
}

bool RomListModel::Favourite(uint32_t k) const {
    if (k < indexed_) return index_[k].favourite;
    const RomRecord* rom = Emus ? Emus->GetRom(entries_[k].position) : nullptr;
    return rom && Emus->FactsIfRead(*rom).Favourite;
}

void RomListModel::PresenceArrived() {
    presence_.Acknowledge();  // first: answers from now on are news again
    if (!shown_.empty()) emit IconsChanged();
}

void RomListModel::Select() {
    shown_.clear();
    const std::vector<std::string> words = SearchWords(filter_.Words);
    if (words.empty() && filter_.Emulator.isEmpty() && !filter_.FavouritesOnly) {
        shown_.Count(entries_.size());
        return;
    }
    IndexAll();
    // Emulator and system names are few: which of them hold each word is found once, here.
    std::vector<std::vector<char>> emulatorHas(words.size()), systemHas(words.size());
    for (size_t w = 0; w < words.size(); ++w) {
        for (const std::string& name : emulatorSearch_)
            emulatorHas[w].push_back(name.find(words[w]) != std::string::npos);
        for (const std::string& name : systemSearch_)
            systemHas[w].push_back(name.find(words[w]) != std::string::npos);
    }
    std::vector<char> emulatorChosen(emulatorSearch_.size(), filter_.Emulator.isEmpty());
    for (qsizetype id = 0; id < emulatorShown_.size(); ++id)
        if (emulatorShown_[id] == filter_.Emulator) emulatorChosen[id] = true;

    for (uint32_t i = 0; i < entries_.size(); ++i) {
        const EntryIndex& x = index_[i];
        if ((filter_.FavouritesOnly && !x.favourite) || !emulatorChosen[x.emulator]) continue;
        const std::string_view text(texts_.data() + x.textStart, x.textEnd - x.textStart);
        bool all = true;
        for (size_t w = 0; all && w < words.size(); ++w)
            all = emulatorHas[w][x.emulator] || systemHas[w][x.system] ||
                  text.find(words[w]) != std::string_view::npos;
        if (all) shown_.Written().push_back(i);
    }
}

void RomListModel::SetFilter(const RomFilter& f) {
    beginResetModel();
    filter_ = f;
    Select();
    endResetModel();
}

void RomListModel::RomChanged(int row) {
    const std::optional<uint32_t> entry = EntryOf(row);
    if (!entry || !Emus) return;
    const uint32_t k = *entry;
    const RomRecord* rom = Emus->GetRom(entries_[k].position);
    if (rom && k < indexed_) {  // one not indexed yet is taken as it is when its turn comes
        index_[k].favourite = Emus->Facts(*rom).Favourite;
        AppendSearchText(
            index_[k], FieldView(rom->Name),
            FieldView(rom->FilePath));  // the old text stays unused in the buffer until the next fill
    }
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void RomListModel::Clear() {
    beginResetModel();
    ResetIndex();
    entries_.shrink_to_fit();
    index_.shrink_to_fit();
    shown_.clear();
    shown_.shrink_to_fit();
    texts_.shrink_to_fit();
    endResetModel();
}

void RomListModel::RemoveRow(int row) {
    const std::optional<uint32_t> entry = EntryOf(row);
    if (!entry) return;
    beginRemoveRows({}, row, row);
    const uint32_t gone = *entry;
    auto& entries = entries_.Written();
    entries.erase(entries.begin() + gone);
    if (gone < indexed_) {
        index_.erase(index_.begin() + gone);
        --indexed_;
    }
    auto& shown = shown_.Written();
    shown.erase(shown.begin() + row);
    for (size_t i = row; i < shown.size(); ++i) --shown[i];
    // The catalogue moved its later ROMs up by one: their entries follow them.
    for (size_t i = gone; i < entries.size(); ++i) --entries[i].position;
    endRemoveRows();
}

int RomListModel::RomPosition(int row) const {
    const std::optional<uint32_t> k = EntryOf(row);
    return k ? entries_[*k].position : -1;
}

int RomListModel::RowOf(int position) const {
    // Shown entries ascend, and so do their positions.
    const auto rows = std::views::iota(std::size_t{0}, shown_.size());
    const auto at = std::ranges::partition_point(
        rows, [this, position](std::size_t row) { return entries_[shown_[row]].position < position; });
    return at != rows.end() && entries_[shown_[*at]].position == position ? static_cast<int>(*at) : -1;
}

bool RomListModel::FilePresent(int row) {
    const std::optional<uint32_t> k = EntryOf(row);
    if (!k) return false;
    const Entry e = entries_[*k];
    if (pathsHanded_) return presence_.Present(e.fill);
    const RomRecord* rom = Emus ? Emus->GetRom(e.position) : nullptr;  // no walk yet: the file itself answers
    return rom && FileExists(FieldView(rom->FilePath));
}

void RomListModel::SetIcons(const RomIcons& plain, const RomIcons& favourite) {
    icons_[0] = plain;
    icons_[1] = favourite;
}

// ---- TRomListView --------------------------------------------------------------------------

const int TRomListView::DesignWidths[RomListModel::ColumnCount] = {150, 100, 80,  80, 50, 60,
                                                                   50,  60,  110, 70, 80};

TRomListView::TRomListView(QWidget* parent) : QWidget(parent) {
    setObjectName("List");
    renameTimer_ = new QTimer(this);
    renameTimer_->setSingleShot(true);
    connect(renameTimer_, &QTimer::timeout, this, [this] { StartPendingRename(); });
    model_ = new RomListModel(this);
    selection_ = new QItemSelectionModel(model_, this);
    stack_ = new QStackedWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);

    iconView_ = new QListView(stack_);
    iconView_->setObjectName("ListIconView");
    iconView_->setModel(model_);
    iconView_->setSelectionModel(selection_);
    iconView_->setUniformItemSizes(true);  // layout of 100,000 rows without asking each one
    iconView_->setResizeMode(QListView::Adjust);
    iconView_->setWrapping(true);
    iconView_->setWordWrap(false);
    iconView_->setTextElideMode(Qt::ElideRight);
    iconView_->setMovement(QListView::Static);
    BindView(iconView_);

    reportView_ = new TReportView(stack_);
    reportView_->setObjectName("ListReportView");
    reportView_->setModel(model_);
    reportView_->setSelectionModel(selection_);
    reportView_->setTabKeyNavigation(false);  // Tab leaves the list, as elsewhere
    FitRowHeight();
    QHeaderView* header = reportView_->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setMinimumSectionSize(1);
    for (int c = 0; c < RomListModel::ColumnCount; ++c) header->resizeSection(c, DesignWidths[c]);
    connect(header, &QHeaderView::sectionClicked, this, [this](int c) {
        if (OnColumnClick) OnColumnClick(c);
    });
    connect(header, &QHeaderView::sectionResized, this, [header](int c, int, int w) {
        if (c == RomColumn::Name && w < 50)
            header->resizeSection(RomColumn::Name, 50);  // the label column stays readable
    });
    BindView(reportView_);

    stack_->addWidget(iconView_);
    stack_->addWidget(reportView_);
    // Not dataChanged: that would also reset the text of a rename in progress to the stored name.
    connect(model_, &RomListModel::IconsChanged, this, [this] { RepaintRows(); });
    connect(selection_, &QItemSelectionModel::selectionChanged, this, [this] {
        if (OnSelectionChanged) OnSelectionChanged();
    });
    SetViewStyle(3);
}

void TRomListView::BindView(QAbstractItemView* v) {
    v->setFrameShape(QFrame::NoFrame);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    // F2 renames; a click on the selected row does too, but through MouseReleased, because the
    // view's own click trigger also fires on the first click of a double click and would open the
    // editor on a row that is being launched.
    v->setEditTriggers(QAbstractItemView::EditKeyPressed);
    v->setContextMenuPolicy(Qt::CustomContextMenu);
    v->setItemDelegate(new HotTrackDelegate(hotTrack_, hoverRow_, v));
    v->viewport()->installEventFilter(this);
    v->setMouseTracking(true);
    connect(v, &QWidget::customContextMenuRequested, this, [this, v](const QPoint& p) {
        if (OnContextMenu) OnContextMenu(v->viewport()->mapToGlobal(p));
    });
    connect(v, &QAbstractItemView::entered, this, [v, this](const QModelIndex& index) {
        if (hotTrack_ && index.isValid()) v->viewport()->setCursor(Qt::PointingHandCursor);
        if (hotTrack_ && index.row() != hoverRow_) {
            hoverRow_ = index.row();
            v->viewport()->update();
        }
    });
    connect(v, &QAbstractItemView::viewportEntered, this, [v, this] {
        v->viewport()->unsetCursor();
        hoverRow_ = -1;
    });
}

bool TRomListView::eventFilter(QObject* watched, QEvent* e) {
    auto* view = qobject_cast<QAbstractItemView*>(watched->parent());
    if (view && watched == view->viewport()) {
        if (e->type() == QEvent::MouseButtonPress) {
            auto* me = static_cast<QMouseEvent*>(e);
            if (me->button() == Qt::LeftButton) MousePressed(view, me->position().toPoint());
        } else if (e->type() == QEvent::MouseButtonDblClick && OnDblClick) {
            auto* me = static_cast<QMouseEvent*>(e);
            CancelPendingRename();  // the first click was half of this double click: no rename
            if (me->button() == Qt::LeftButton) {
                // Select the row under the mouse first, as the press would, then launch it.
                QModelIndex i = view->indexAt(me->position().toPoint());
                if (i.isValid()) SelectRow(i.row());
                OnDblClick();
                return true;
            }
        } else if (e->type() == QEvent::MouseButtonRelease && OnMouseUp) {
            // The view finishes its own click (selection) first; the handler runs right after.
            auto* me = static_cast<QMouseEvent*>(e);
            const Qt::MouseButton b = me->button();
            if (b == Qt::LeftButton) MouseReleased(view, me->position().toPoint());
            QTimer::singleShot(0, this, [this, b] {
                if (OnMouseUp) OnMouseUp(b);
            });
        } else if (e->type() == QEvent::Leave) {
            view->viewport()->unsetCursor();
            hoverRow_ = -1;
            view->viewport()->update();
        } else if (e->type() == QEvent::Paint) {
            model_->Painted();
        }
    }
    return QWidget::eventFilter(watched, e);
}

void TRomListView::MousePressed(QAbstractItemView* view, const QPoint& at) {
    // The press reaches this filter before the view selects: a press on the row already
    // selected is the start of a rename click.
    renameTimer_->stop();
    const QModelIndex i = view->indexAt(at);
    const bool onSelected =
        i.isValid() && i.column() == RomColumn::Name && selection_->isRowSelected(i.row(), {});
    renameView_ = view;
    renameIndex_ = onSelected ? QPersistentModelIndex(i) : QPersistentModelIndex();
}

void TRomListView::MouseReleased(QAbstractItemView* view, const QPoint& at) {
    const bool sameLabel = renameIndex_.isValid() && view == renameView_ && view->indexAt(at) == renameIndex_;
    if (!sameLabel || hotTrack_) {  // while hot tracking a click launches
        renameIndex_ = QPersistentModelIndex();
        return;
    }
    renameTimer_->start(QApplication::doubleClickInterval());
}

void TRomListView::CancelPendingRename() {
    renameTimer_->stop();
    renameIndex_ = QPersistentModelIndex();
}

void TRomListView::StartPendingRename() {
    const QModelIndex i = renameIndex_;
    renameIndex_ = QPersistentModelIndex();
    if (!i.isValid() || !renameView_ || renameView_ != CurrentView() || QApplication::activeModalWidget())
        return;
    if (renameView_->indexWidget(i) || !selection_->isRowSelected(i.row(), {})) return;
    renameView_->edit(i);
}

QAbstractItemView* TRomListView::CurrentView() const {
    return stack_->currentWidget() == iconView_ ? static_cast<QAbstractItemView*>(iconView_) : reportView_;
}

void TRomListView::SetViewStyle(int value) {
    style_ = value;
    if (value >= 0 && value <= 2) {
        ApplyIconStyle();
        stack_->setCurrentWidget(iconView_);
    } else {
        stack_->setCurrentWidget(reportView_);
    }
    int row = SelectedRow();
    if (row >= 0) CurrentView()->scrollTo(model_->index(row, 0));
}

void TRomListView::ApplyIconStyle() {
    const QFontMetrics fm(ListFont());
    // The two icon styles show a name on up to two lines, eliding only what the second cannot hold.
    switch (style_) {
        case 0:  // big icons: 32 x 32 above the label, in rows
            iconView_->setViewMode(QListView::IconMode);
            iconView_->setFlow(QListView::LeftToRight);
            iconView_->setIconSize({32, 32});
            iconView_->setGridSize({std::max(96, fm.averageCharWidth() * 16), 40 + fm.height() * 2});
            break;
        case 1:  // small icons: 16 x 16 beside the label, in rows
            iconView_->setViewMode(QListView::ListMode);
            iconView_->setFlow(QListView::LeftToRight);
            iconView_->setIconSize({16, 16});
            iconView_->setGridSize(
                {std::max(160, fm.averageCharWidth() * 24), std::max(18, fm.height() * 2 + 4)});
            break;
        default:  // list: 16 x 16 beside the label, in columns
            iconView_->setViewMode(QListView::ListMode);
            iconView_->setFlow(QListView::TopToBottom);
            iconView_->setIconSize({16, 16});
            iconView_->setGridSize(
                {std::max(150, fm.averageCharWidth() * 24), std::max(18, fm.height() + 4)});
            break;
    }
    const bool twoLines = style_ == 0 || style_ == 1;
    iconView_->setWordWrap(twoLines);
    static_cast<HotTrackDelegate*>(iconView_->itemDelegate())->cell =
        twoLines ? iconView_->gridSize() - QSize(4, 2) : QSize();
    iconView_->setWrapping(true);
    iconView_->setMovement(QListView::Static);
    iconView_->setResizeMode(QListView::Adjust);
    iconView_->setUniformItemSizes(true);
}

int TRomListView::SelectedRow() const {
    const QModelIndexList rows = selection_->selectedRows();
    int first = -1;
    for (const QModelIndex& i : rows)
        if (first < 0 || i.row() < first) first = i.row();
    return first;
}

void TRomListView::SelectRow(int row) {
    if (row < 0 || row >= model_->rowCount()) {
        selection_->clearSelection();
        return;
    }
    QModelIndex i = model_->index(row, 0);
    selection_->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    CurrentView()->scrollTo(i);
}

void TRomListView::ApplyFilter(const RomFilter& f) {
    const int position = model_->RomPosition(SelectedRow());
    model_->SetFilter(f);
    const int row = model_->RowOf(position);
    if (row >= 0) SelectRow(row);
}

int TRomListView::ColumnWidth(int c) const {
    return reportView_->horizontalHeader()->sectionSize(c);
}

void TRomListView::FitColumns(const std::vector<bool>& fit) {
    QHeaderView* header = reportView_->horizontalHeader();
    const auto fits = [&](int c) { return c < static_cast<int>(fit.size()) && fit[c]; };
    // The Name and File columns share what the others, fitted to their contents, leave.
    const auto shares = [](int c) { return c == RomColumn::Name || c == RomColumn::File; };
    // Measured: the rows the first screen shows. Every row of a large list would cost its first
    // showing far more than the fit is worth, and rows from all through it would each bring in
    // their own part of the list file.
    header->setResizeContentsPrecision(reportView_->viewport()->height() / reportView_->RowHeight() + 1);
    for (int c = 0; c < RomListModel::ColumnCount; ++c)
        if (!shares(c) && fits(c)) reportView_->resizeColumnToContents(c);
    int spare = reportView_->viewport()->width();
    for (int c = 0; c < RomListModel::ColumnCount; ++c)
        if (!shares(c) || !fits(c)) spare -= header->sectionSize(c);
    const int sharing = fits(RomColumn::Name) + fits(RomColumn::File);
    for (int c : {RomColumn::Name, RomColumn::File})
        if (fits(c)) header->resizeSection(c, std::max(DesignWidths[c], spare / sharing));
}

void TRomListView::ShowSortMethod(int32_t method) {
    QHeaderView* header = reportView_->horizontalHeader();
    const bool named = method >= 0 && method < 2 * RomListModel::ColumnCount;
    header->setSortIndicatorShown(named);
    if (named) header->setSortIndicator(method / 2, method % 2 ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TRomListView::SetColumnWidth(int c, int width) {
    if (c >= 0 && c < RomListModel::ColumnCount)
        reportView_->horizontalHeader()->resizeSection(c, std::max(0, width));
}

void TRomListView::RepaintRows() {
    CurrentView()->viewport()->update();
}

void TRomListView::SetHotTrack(bool on) {
    hotTrack_ = on;
    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(iconView_), static_cast<QAbstractItemView*>(reportView_)}) {
        v->viewport()->setAttribute(Qt::WA_Hover, on);
        v->viewport()->unsetCursor();
        v->viewport()->update();
    }
}

// A row holds a line of the list's font or a small icon, whichever is taller, and a margin.
void TRomListView::FitRowHeight() {
    const int icon = reportView_->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, reportView_);
    reportView_->SetRowHeight(std::max(QFontMetrics(font()).height(), icon) + 4);
}

QFont TRomListView::ListFont() const {
    return font();
}

void TRomListView::SetListFont(const QFont& f) {
    setFont(f);  // both views take it from here
    FitRowHeight();
    if (style_ >= 0 && style_ <= 2) ApplyIconStyle();
}

void TRomListView::SetFontColor(int32_t value) {
    fontColor_ = value;
    QPalette p = palette();
    // A value with the top bit set names a system colour: the desktop's own text colour.
    p.setColor(QPalette::Text, value < 0 ? QApplication::palette().color(QPalette::Text)
                                         : QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF));
    setPalette(p);
}
