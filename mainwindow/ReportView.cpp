#include "mainwindow/ReportView.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>

TReportView::TReportView(QWidget* parent) : QAbstractItemView(parent) {
    header_ = new QHeaderView(Qt::Horizontal, this);
    header_->setObjectName("ListReportHeader");
    connect(header_, &QHeaderView::sectionResized, this, [this] { ColumnsChanged(); });
    connect(header_, &QHeaderView::sectionMoved, this, [this] { ColumnsChanged(); });
    connect(header_, &QHeaderView::sectionCountChanged, this, [this] { ColumnsChanged(); });
}

void TReportView::setModel(QAbstractItemModel* model) {
    for (const QMetaObject::Connection& c : modelConnections_) disconnect(c);
    modelConnections_.clear();
    QAbstractItemView::setModel(model);
    header_->setModel(model);
    if (model) {
        // The rows' number sets the scroll range; nothing else about them is kept.
        const auto rowsChanged = [this] { RowsChanged(); };
        modelConnections_ = {connect(model, &QAbstractItemModel::modelReset, this, rowsChanged),
                             connect(model, &QAbstractItemModel::rowsInserted, this, rowsChanged),
                             connect(model, &QAbstractItemModel::rowsRemoved, this, rowsChanged),
                             connect(model, &QAbstractItemModel::layoutChanged, this, rowsChanged)};
    }
    ColumnsChanged();  // a new model brings new columns as well as new rows
}

void TReportView::SetRowHeight(int height) {
    rowHeight_ = std::max(1, height);
    RowsChanged();
}

void TReportView::RowsChanged() {
    // Only the scroll range follows the rows. The header stays as it is: working out its size
    // again would shape its labels' text on every keystroke of a search.
    UpdateRowRange();
    viewport()->update();
}

void TReportView::UpdateRowRange() {
    QScrollBar* vertical = verticalScrollBar();  // in rows: the last ones end flush with the bottom
    vertical->setSingleStep(1);
    vertical->setPageStep(RowsPerPage());
    vertical->setRange(0, std::max(0, RowCount() - RowsPerPage()));
}

void TReportView::ColumnsChanged() {
    updateGeometries();
    updateEditorGeometries();
    viewport()->update();
}

int TReportView::RowCount() const {
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int TReportView::RowAt(int y) const {
    const qint64 row = (qint64{y} + verticalOffset()) / rowHeight_;
    return static_cast<int>(std::clamp<qint64>(row, 0, std::max(0, RowCount() - 1)));
}

int TReportView::RowsPerPage() const {
    return std::max(1, viewport()->height() / rowHeight_);
}

QRect TReportView::RowRect(int row) const {
    const qint64 top = qint64{row} * rowHeight_ - verticalOffset();
    return {-horizontalOffset(), static_cast<int>(std::clamp<qint64>(top, -rowHeight_, viewport()->height())),
            header_->length(), rowHeight_};
}

QRect TReportView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.parent() != rootIndex() || header_->isSectionHidden(index.column()))
        return {};
    const QRect row = RowRect(index.row());
    return {header_->sectionViewportPosition(index.column()), row.top(), header_->sectionSize(index.column()),
            rowHeight_};
}

QModelIndex TReportView::indexAt(const QPoint& point) const {
    if (!model() || point.y() < 0) return {};
    const qint64 row = (qint64{point.y()} + verticalOffset()) / rowHeight_;
    const int column = header_->logicalIndexAt(point.x());
    if (row >= RowCount() || column < 0) return {};
    return model()->index(static_cast<int>(row), column, rootIndex());
}

void TReportView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid() || index.model() != model()) return;
    // The scroll bar counts whole rows, so a row at the top is never cut.
    const int row = index.row(), page = RowsPerPage();
    int first = verticalScrollBar()->value();
    switch (hint) {
        case PositionAtTop:
            first = row;
            break;
        case PositionAtBottom:
            first = row - page + 1;
            break;
        case PositionAtCenter:
            first = row - page / 2;
            break;
        case EnsureVisible:
            if (row < first)
                first = row;
            else if (row >= first + page)
                first = row - page + 1;
            break;
    }
    verticalScrollBar()->setValue(std::clamp(first, 0, verticalScrollBar()->maximum()));
    ScrollToColumn(index.column());
}

void TReportView::ScrollToColumn(int column) {
    const int left = header_->sectionPosition(column), right = left + header_->sectionSize(column);
    const int value = horizontalScrollBar()->value(), width = viewport()->width();
    if (left < value)
        horizontalScrollBar()->setValue(left);
    else if (right > value + width)
        horizontalScrollBar()->setValue(std::min(left, right - width));
}

QModelIndex TReportView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    const int rows = RowCount(), columns = model() ? model()->columnCount(rootIndex()) : 0;
    if (rows == 0 || columns == 0) return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid()) return model()->index(0, 0, rootIndex());
    int row = current.row(), column = current.column();
    switch (action) {
        case MoveUp:
        case MovePrevious:
            --row;
            break;
        case MoveDown:
        case MoveNext:
            ++row;
            break;
        case MoveLeft:
            --column;
            break;
        case MoveRight:
            ++column;
            break;
        case MovePageUp:
            row -= RowsPerPage();
            break;
        case MovePageDown:
            row += RowsPerPage();
            break;
        case MoveHome:
            row = 0;
            break;
        case MoveEnd:
            row = rows - 1;
            break;
    }
    return model()->index(std::clamp(row, 0, rows - 1), std::clamp(column, 0, columns - 1), rootIndex());
}

int TReportView::horizontalOffset() const {
    return horizontalScrollBar()->value();
}

int TReportView::verticalOffset() const {
    return static_cast<int>(std::min<qint64>(qint64{verticalScrollBar()->value()} * rowHeight_, INT_MAX));
}

bool TReportView::isIndexHidden(const QModelIndex& index) const {
    return header_->isSectionHidden(index.column());
}

void TReportView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    if (!selectionModel() || RowCount() == 0) return;
    const QRect r = rect.normalized();
    const int columns = model()->columnCount(rootIndex());
    int left = header_->logicalIndexAt(r.left()), right = header_->logicalIndexAt(r.right());
    if (left < 0) left = 0;
    if (right < 0) right = columns - 1;
    const QItemSelection chosen(model()->index(RowAt(r.top()), std::min(left, right), rootIndex()),
                                model()->index(RowAt(r.bottom()), std::max(left, right), rootIndex()));
    selectionModel()->select(chosen, command);
}

QRegion TReportView::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.parent() != rootIndex()) continue;
        // Clamped to just beyond the viewport: a range may cover 100,000 rows.
        const QRect top = RowRect(range.top()), bottom = RowRect(range.bottom());
        const int left = header_->sectionViewportPosition(range.left());
        const int right =
            header_->sectionViewportPosition(range.right()) + header_->sectionSize(range.right());
        region += QRect(QPoint(left, top.top()), QPoint(right - 1, bottom.bottom()));
    }
    return region;
}

void TReportView::paintEvent(QPaintEvent* event) {
    if (!model()) return;
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QRect area = event->rect();
    const qint64 end = qint64{RowCount()} * rowHeight_ - verticalOffset();  // below the last row
    for (int row = RowAt(area.top()); row < RowCount(); ++row) {
        const QRect rect = RowRect(row);
        if (rect.top() > area.bottom() || rect.top() >= end) break;
        PaintRow(painter, option, row, area);
    }
}

void TReportView::PaintRow(QPainter& painter, const QStyleOptionViewItem& base, int row, const QRect& area) {
    const QModelIndex current = currentIndex();
    const bool focus = hasFocus() || viewport()->hasFocus();
    const int first = std::max(0, header_->visualIndexAt(area.left()));
    int last = header_->visualIndexAt(area.right());
    if (last < 0) last = header_->count() - 1;
    for (int visual = first; visual <= last; ++visual) {
        const int column = header_->logicalIndex(visual);
        if (header_->isSectionHidden(column)) continue;
        const QModelIndex index = model()->index(row, column, rootIndex());
        QStyleOptionViewItem option(base);
        option.rect = visualRect(index);
        if (selectionModel() && selectionModel()->isSelected(index)) option.state |= QStyle::State_Selected;
        if (option.state & QStyle::State_Enabled) {
            const bool enabled = model()->flags(index) & Qt::ItemIsEnabled;
            if (!enabled) option.state &= ~QStyle::State_Enabled;
            option.palette.setCurrentColorGroup(enabled ? QPalette::Normal : QPalette::Disabled);
        }
        if (focus && index == current) option.state |= QStyle::State_HasFocus;
        style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &option, &painter, this);
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

// Rows are placed by arithmetic, so a layout is only the scroll ranges and the header. The view's
// own would also repaint the rows, after a change of rows has asked for its paint already: every
// keystroke of a search would paint the list twice.
void TReportView::doItemsLayout() {
    updateGeometries();
}

void TReportView::updateGeometries() {
    if (inGeometries_) return;  // the margins below resize the viewport, which comes back here
    inGeometries_ = true;
    const int headerHeight = header_->isHidden() ? 0 : header_->sizeHint().height();
    // The same margins again would lay out and repaint the scroll bars: the layout posted by each
    // change of rows comes here from the paint of the frame, and would ask for a second paint.
    if (viewportMargins() != QMargins(0, headerHeight, 0, 0)) setViewportMargins(0, headerHeight, 0, 0);
    const QRect area = viewport()->geometry();
    header_->setGeometry(area.left(), area.top() - headerHeight, area.width(), headerHeight);
    UpdateRowRange();
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setSingleStep(std::max(1, rowHeight_));
    horizontal->setPageStep(std::max(1, area.width()));
    horizontal->setRange(0, std::max(0, header_->length() - area.width()));
    header_->setOffset(horizontal->value());
    inGeometries_ = false;
    QAbstractItemView::updateGeometries();
}

void TReportView::scrollContentsBy(int dx, int dy) {
    header_->setOffset(horizontalScrollBar()->value());
    viewport()->scroll(dx, dy * rowHeight_);
}

int TReportView::sizeHintForColumn(int column) const {
    const int rows = RowCount();
    if (!model() || rows == 0) return -1;
    ensurePolished();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int precision = header_->resizeContentsPrecision();
    const int first = RowAt(0), count = precision > 0 ? precision : rows;
    int hint = 0;
    for (int row = first; row < rows && row - first < count; ++row) {
        const QModelIndex index = model()->index(row, column, rootIndex());
        hint = std::max(hint, itemDelegateForIndex(index)->sizeHint(option, index).width());
    }
    return hint;
}

void TReportView::resizeColumnToContents(int column) {
    const int header = header_->isHidden() ? 0 : header_->sectionSizeHint(column);
    header_->resizeSection(column, std::max(sizeHintForColumn(column), header));
}
