#include "mainwindow/RomListView.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "catalogue/Emusystem.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace {

QString Shown(std::string_view bytes) { return QString::fromStdString(DisplayText(bytes)); }

const char* const Headers[RomListModel::ColumnCount] = {
    "Name", "File", "Emulator", "System", "Rating", "Language", "Type", "#Played"};

// Paints the row under the mouse highlighted while hot tracking is on.
class HotTrackDelegate : public QStyledItemDelegate {
public:
  HotTrackDelegate(const bool& on, QObject* parent) : QStyledItemDelegate(parent), on(on) {}
  void paint(QPainter* p, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem o(option);
    if (!on) o.state &= ~QStyle::State_MouseOver;
    else if (o.state & QStyle::State_MouseOver && !(o.state & QStyle::State_Selected)) {
      QColor hover = o.palette.color(QPalette::Highlight);
      hover.setAlpha(60);
      p->fillRect(o.rect, hover);
      o.font.setUnderline(true);
    }
    QStyledItemDelegate::paint(p, o, index);
  }

private:
  const bool& on;
};

}  // namespace

// ---- RomListModel -------------------------------------------------------------------------

RomListModel::RomListModel(QObject* parent) : QAbstractTableModel(parent) {}

int RomListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

int RomListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant RomListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows.size())) return {};
  const Row& row = rows[index.row()];
  if (role == Qt::DecorationRole) return index.column() == 0 ? icons[row.present ? 0 : 1] : QVariant();
  if (role == Qt::TextAlignmentRole)
    return (index.column() == 4 || index.column() == 7) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                        : QVariant();
  if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole) return {};
  const RomRecord* rom = Emus ? Emus->GetRom(row.position) : nullptr;
  if (!rom) return {};
  if (role == Qt::ToolTipRole) return index.column() == 1 ? Shown(FieldView(rom->FilePath)) : QVariant();
  switch (index.column()) {
    case 0: return Shown(FieldView(rom->Name));
    case 1: return Shown(FieldView(rom->FilePath));
    case 2: return Shown(FieldView(rom->Emulator.Name));
    case 3: return Shown(Emus->SystemName(rom->Emulator.SystemIndex));
    case 4: return QString::number(rom->Rating);
    case 5: return Shown(Emus->LanguageName(rom->LanguageIndex));
    case 6: return Shown(Emus->TypeName(rom->TypeIndex));
    case 7: return QString::number(rom->TimesPlayed);
  }
  return {};
}

bool RomListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || index.column() != 0 || index.row() >= static_cast<int>(rows.size()))
    return false;
  QString text = value.toString();
  if (OnEdited) OnEdited(index.row(), text);
  emit dataChanged(index, index);
  return true;
}

QVariant RomListModel::headerData(int section, Qt::Orientation o, int role) const {
  if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
    return QString::fromLatin1(Headers[section]);
  return {};
}

Qt::ItemFlags RomListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractTableModel::flags(index);
  if (index.isValid() && index.column() == 0) f |= Qt::ItemIsEditable;
  return f;
}

int RomListModel::Fill() {
  beginResetModel();
  rows.clear();
  const int n = Emus ? Emus->RomCount() : 0;
  rows.reserve(n);
  for (int i = 0; i < n; ++i) {
    const RomRecord* rom = Emus->GetRom(i);
    if (!rom) continue;
    rows.push_back({i, FileExists(FieldView(rom->FilePath))});
  }
  endResetModel();
  return n;
}

void RomListModel::Clear() {
  beginResetModel();
  rows.clear();
  rows.shrink_to_fit();
  endResetModel();
}

void RomListModel::RemoveRow(int row) {
  if (row < 0 || row >= static_cast<int>(rows.size())) return;
  beginRemoveRows({}, row, row);
  rows.erase(rows.begin() + row);
  // The catalogue moved its later ROMs up by one: their rows follow them.
  for (size_t i = row; i < rows.size(); ++i) --rows[i].position;
  endRemoveRows();
}

int RomListModel::RomPosition(int row) const {
  return row >= 0 && row < static_cast<int>(rows.size()) ? rows[row].position : -1;
}

bool RomListModel::FilePresent(int row) const {
  return row >= 0 && row < static_cast<int>(rows.size()) && rows[row].present;
}

void RomListModel::SetIcons(const QIcon& present, const QIcon& missing) {
  icons[0] = present;
  icons[1] = missing;
}

// ---- TRomListView --------------------------------------------------------------------------

const int TRomListView::DesignWidths[RomListModel::ColumnCount] = {150, 100, 80, 80, 50, 60, 50, 60};

TRomListView::TRomListView(QWidget* parent) : QWidget(parent) {
  setObjectName("List");
  renameTimer = new QTimer(this);
  renameTimer->setSingleShot(true);
  connect(renameTimer, &QTimer::timeout, this, [this] { StartPendingRename(); });
  model = new RomListModel(this);
  selection = new QItemSelectionModel(model, this);
  stack = new QStackedWidget(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(stack);

  iconView = new QListView(stack);
  iconView->setObjectName("ListIconView");
  iconView->setModel(model);
  iconView->setSelectionModel(selection);
  iconView->setUniformItemSizes(true);  // layout of 100,000 rows without asking each one
  iconView->setResizeMode(QListView::Adjust);
  iconView->setWrapping(true);
  iconView->setWordWrap(false);
  iconView->setTextElideMode(Qt::ElideRight);
  iconView->setMovement(QListView::Static);
  BindView(iconView);

  reportView = new QTreeView(stack);
  reportView->setObjectName("ListReportView");
  reportView->setModel(model);
  reportView->setSelectionModel(selection);
  reportView->setRootIsDecorated(false);
  reportView->setItemsExpandable(false);
  reportView->setUniformRowHeights(true);
  reportView->setAllColumnsShowFocus(true);
  QHeaderView* header = reportView->header();
  header->setStretchLastSection(false);
  header->setSectionsClickable(true);
  header->setSectionsMovable(false);
  header->setMinimumSectionSize(1);
  for (int c = 0; c < RomListModel::ColumnCount; ++c) header->resizeSection(c, DesignWidths[c]);
  connect(header, &QHeaderView::sectionClicked, this, [this](int c) {
    if (OnColumnClick) OnColumnClick(c);
  });
  connect(header, &QHeaderView::sectionResized, this, [header](int c, int, int w) {
    if (c == 0 && w < 50) header->resizeSection(0, 50);  // the label column stays readable
  });
  BindView(reportView);

  stack->addWidget(iconView);
  stack->addWidget(reportView);
  connect(selection, &QItemSelectionModel::selectionChanged, this, [this] {
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
  v->setItemDelegate(new HotTrackDelegate(hotTrack, v));
  v->viewport()->installEventFilter(this);
  v->setMouseTracking(true);
  connect(v, &QWidget::customContextMenuRequested, this, [this, v](const QPoint& p) {
    if (OnContextMenu) OnContextMenu(v->viewport()->mapToGlobal(p));
  });
  connect(v, &QAbstractItemView::entered, this, [v, this](const QModelIndex& index) {
    if (hotTrack && index.isValid()) v->viewport()->setCursor(Qt::PointingHandCursor);
  });
  connect(v, &QAbstractItemView::viewportEntered, this, [v] { v->viewport()->unsetCursor(); });
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
    }
  }
  return QWidget::eventFilter(watched, e);
}

void TRomListView::MousePressed(QAbstractItemView* view, const QPoint& at) {
  // The press reaches this filter before the view selects: a press on the row already
  // selected is the start of a rename click.
  renameTimer->stop();
  const QModelIndex i = view->indexAt(at);
  const bool onSelected = i.isValid() && i.column() == 0 && selection->isRowSelected(i.row(), {});
  renameView = view;
  renameIndex = onSelected ? QPersistentModelIndex(i) : QPersistentModelIndex();
}

void TRomListView::MouseReleased(QAbstractItemView* view, const QPoint& at) {
  const bool sameLabel = renameIndex.isValid() && view == renameView && view->indexAt(at) == renameIndex;
  if (!sameLabel || hotTrack) {  // while hot tracking a click launches
    renameIndex = QPersistentModelIndex();
    return;
  }
  renameTimer->start(QApplication::doubleClickInterval());
}

void TRomListView::CancelPendingRename() {
  renameTimer->stop();
  renameIndex = QPersistentModelIndex();
}

void TRomListView::StartPendingRename() {
  const QModelIndex i = renameIndex;
  renameIndex = QPersistentModelIndex();
  if (!i.isValid() || !renameView || renameView != CurrentView() || QApplication::activeModalWidget()) return;
  if (renameView->indexWidget(i) || !selection->isRowSelected(i.row(), {})) return;
  renameView->edit(i);
}

QAbstractItemView* TRomListView::CurrentView() const {
  return stack->currentWidget() == iconView ? static_cast<QAbstractItemView*>(iconView) : reportView;
}

void TRomListView::SetViewStyle(int value) {
  style = value;
  if (value >= 0 && value <= 2) {
    ApplyIconStyle();
    stack->setCurrentWidget(iconView);
  } else {
    stack->setCurrentWidget(reportView);
  }
  int row = SelectedRow();
  if (row >= 0) CurrentView()->scrollTo(model->index(row, 0));
}

void TRomListView::ApplyIconStyle() {
  const QFontMetrics fm(ListFont());
  switch (style) {
    case 0:  // big icons: 32 x 32 above the label, in rows
      iconView->setViewMode(QListView::IconMode);
      iconView->setFlow(QListView::LeftToRight);
      iconView->setIconSize({32, 32});
      iconView->setGridSize({std::max(76, fm.averageCharWidth() * 12), 36 + fm.height() * 2});
      break;
    case 1:  // small icons: 16 x 16 beside the label, in rows
      iconView->setViewMode(QListView::ListMode);
      iconView->setFlow(QListView::LeftToRight);
      iconView->setIconSize({16, 16});
      iconView->setGridSize({std::max(120, fm.averageCharWidth() * 20), std::max(18, fm.height() + 4)});
      break;
    default:  // list: 16 x 16 beside the label, in columns
      iconView->setViewMode(QListView::ListMode);
      iconView->setFlow(QListView::TopToBottom);
      iconView->setIconSize({16, 16});
      iconView->setGridSize({std::max(150, fm.averageCharWidth() * 24), std::max(18, fm.height() + 4)});
      break;
  }
  iconView->setWrapping(true);
  iconView->setMovement(QListView::Static);
  iconView->setResizeMode(QListView::Adjust);
  iconView->setUniformItemSizes(true);
}

int TRomListView::SelectedRow() const {
  const QModelIndexList rows = selection->selectedRows();
  int first = -1;
  for (const QModelIndex& i : rows)
    if (first < 0 || i.row() < first) first = i.row();
  return first;
}

void TRomListView::SelectRow(int row) {
  if (row < 0 || row >= model->rowCount()) {
    selection->clearSelection();
    return;
  }
  QModelIndex i = model->index(row, 0);
  selection->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  CurrentView()->scrollTo(i);
}

int TRomListView::ColumnWidth(int c) const { return reportView->header()->sectionSize(c); }

void TRomListView::SetColumnWidth(int c, int width) {
  if (c >= 0 && c < RomListModel::ColumnCount) reportView->header()->resizeSection(c, std::max(0, width));
}

void TRomListView::SetHotTrack(bool on) {
  hotTrack = on;
  for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(iconView), static_cast<QAbstractItemView*>(reportView)}) {
    v->viewport()->setAttribute(Qt::WA_Hover, on);
    v->viewport()->unsetCursor();
    v->viewport()->update();
  }
}

QFont TRomListView::ListFont() const { return font(); }

void TRomListView::SetListFont(const QFont& f) {
  setFont(f);  // both views take it from here
  if (style >= 0 && style <= 2) ApplyIconStyle();
}

void TRomListView::SetFontColor(int32_t value) {
  fontColor = value;
  QPalette p = palette();
  // A value with the top bit set names a system colour: the desktop's own text colour.
  p.setColor(QPalette::Text, value < 0 ? QApplication::palette().color(QPalette::Text)
                                       : QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF));
  setPalette(p);
}
