#pragma once
// The report style of the ROM list: one row per ROM under a header of columns. Every row has the
// same height, so a row's place is its number times that height: nothing is kept per row, and a
// list of 100,000 ROMs is laid out and shown as fast as an empty one. (A table view keeps a
// section per row in its row header: building them is most of what showing a large list costs.)
#include <QAbstractItemView>

class QHeaderView;

class TReportView : public QAbstractItemView {
    Q_OBJECT
public:
    explicit TReportView(QWidget* parent = nullptr);

    QHeaderView* horizontalHeader() const { return header_; }
    int RowHeight() const { return rowHeight_; }
    void SetRowHeight(int height);
    // Widens or narrows a column to its header and the rows from the top one shown, as many as
    // the header's resize contents precision (all rows when it is negative or zero).
    void resizeColumnToContents(int column);

    void setModel(QAbstractItemModel* model) override;
    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    int sizeHintForColumn(int column) const override;
    void doItemsLayout() override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void paintEvent(QPaintEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void RowsChanged();
    void UpdateRowRange();
    void ColumnsChanged();
    int RowCount() const;
    int RowAt(int y) const;  // the row at a viewport height, clamped to the rows there are
    int RowsPerPage() const;
    // In viewport coordinates, across every column; a row far off screen lies just beyond its edge.
    QRect RowRect(int row) const;
    void PaintRow(QPainter& painter, const QStyleOptionViewItem& base, int row, const QRect& area);
    void ScrollToColumn(int column);
    QHeaderView* header_;
    QList<QMetaObject::Connection> modelConnections_;
    int rowHeight_ = 20;
    bool inGeometries_ = false;
};
