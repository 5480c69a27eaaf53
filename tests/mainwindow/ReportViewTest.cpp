// The report view over 100,000 rows, as a user drives it: scrolling to a far row, clicking it,
// the keys that move through the list, columns that follow the header, and a paint that draws
// only the rows on screen. And its cells' text, laid out once and kept, painted as the style
// paints it.
#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTest>
#include <gtest/gtest.h>

#include "mainwindow/CellText.h"
#include "mainwindow/ReportView.h"

namespace {

// Rows computed when asked, as the ROM list's are; row 500's name is far longer than the rest.
class Rows : public QAbstractTableModel {
public:
    int count = 100000;
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : count; }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole) return {};
        if (index.row() == 500 && index.column() == 0) return QString(80, QChar('W'));
        return QString("r%1c%2").arg(index.row()).arg(index.column());
    }
    void Shrink(int rows) {
        beginRemoveRows({}, rows, count - 1);
        count = rows;
        endRemoveRows();
    }
};

class CountingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& i) const override {
        rows.insert(i.row());
        QStyledItemDelegate::paint(p, o, i);
    }
    mutable QSet<int> rows;
};

class Report : public ::testing::Test {
protected:
    void SetUp() override {
        view_.setModel(&model_);
        view_.setSelectionBehavior(QAbstractItemView::SelectRows);
        view_.setSelectionMode(QAbstractItemView::SingleSelection);
        view_.setItemDelegate(delegate_);
        view_.SetRowHeight(20);
        for (int c = 0; c < 3; ++c) view_.horizontalHeader()->resizeSection(c, 100);
        view_.resize(250, 300);
        view_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view_));
        view_.setFocus();
    }
    QModelIndex At(int row, int column = 0) const { return model_.index(row, column); }
    bool Shown(int row) const { return view_.viewport()->rect().contains(view_.visualRect(At(row))); }
    int CurrentRow() const { return view_.currentIndex().row(); }

    Rows model_;
    TReportView view_;
    CountingDelegate* delegate_ = new CountingDelegate(&view_);
};

}  // namespace

TEST_F(Report, AFarRowIsScrolledToClickedAndPaintedAlone) {
    view_.scrollTo(At(70000));
    ASSERT_TRUE(Shown(70000));
    const QPoint label = view_.visualRect(At(70000)).center();
    EXPECT_EQ(view_.indexAt(label), At(70000));
    EXPECT_EQ(view_.indexAt(label + QPoint(100, 0)), At(70000, 1));

    delegate_->rows.clear();
    view_.viewport()->repaint();
    const int perPage = view_.viewport()->height() / 20;
    EXPECT_LE(delegate_->rows.size(), perPage + 1);  // the rows on screen, not the list
    EXPECT_TRUE(delegate_->rows.contains(70000));

    QTest::mouseClick(view_.viewport(), Qt::LeftButton, {}, label);
    EXPECT_TRUE(view_.selectionModel()->isRowSelected(70000, {}));
    EXPECT_EQ(view_.selectionModel()->selectedRows().size(), 1);

    // Past the last row, or below it, there is no row to hit.
    view_.scrollTo(At(99999));
    EXPECT_FALSE(view_.indexAt(view_.visualRect(At(99999)).center() + QPoint(0, 20)).isValid());
    EXPECT_FALSE(view_.indexAt({view_.horizontalHeader()->length() + 5, 5}).isValid());
}

TEST_F(Report, KeysMoveTheCurrentRowAndKeepItOnScreen) {
    const int perPage = view_.viewport()->height() / 20;
    EXPECT_EQ(CurrentRow(), 0);  // taking the focus made the first row current
    QTest::keyClick(&view_, Qt::Key_Down);
    EXPECT_EQ(CurrentRow(), 1);
    QTest::keyClick(&view_, Qt::Key_Up);
    QTest::keyClick(&view_, Qt::Key_Up);  // stays on the first row
    EXPECT_EQ(CurrentRow(), 0);

    QTest::keyClick(&view_, Qt::Key_End);
    EXPECT_EQ(CurrentRow(), 99999);
    EXPECT_TRUE(Shown(99999));
    EXPECT_EQ(view_.verticalScrollBar()->value(), view_.verticalScrollBar()->maximum());
    EXPECT_EQ(view_.visualRect(At(view_.verticalScrollBar()->value())).top(), 0);  // no row cut at the top
    QTest::keyClick(&view_, Qt::Key_PageUp);
    EXPECT_EQ(CurrentRow(), 99999 - perPage);
    EXPECT_TRUE(Shown(CurrentRow()));
    EXPECT_TRUE(view_.selectionModel()->isRowSelected(CurrentRow(), {}));
    QTest::keyClick(&view_, Qt::Key_Home);
    EXPECT_EQ(CurrentRow(), 0);
    EXPECT_EQ(view_.verticalScrollBar()->value(), 0);
}

TEST_F(Report, ColumnsFollowTheHeaderAndFitTheRowsShown) {
    QHeaderView* header = view_.horizontalHeader();
    header->resizeSection(0, 160);
    EXPECT_EQ(view_.visualRect(At(0, 1)).left(), 160);
    view_.scrollTo(At(0, 2));  // the third column lies past the view's right edge
    EXPECT_GT(view_.horizontalScrollBar()->value(), 0);
    EXPECT_EQ(header->offset(), view_.horizontalScrollBar()->value());
    EXPECT_EQ(view_.visualRect(At(0, 1)).left(), 160 - header->offset());

    // Fitted to the rows shown: the long name of row 500 counts only once it is on screen.
    header->setResizeContentsPrecision(view_.viewport()->height() / 20 + 1);
    view_.resizeColumnToContents(0);
    const int narrow = header->sectionSize(0);
    view_.scrollTo(At(500), QAbstractItemView::PositionAtTop);
    view_.resizeColumnToContents(0);
    EXPECT_GT(header->sectionSize(0),
              narrow + QFontMetrics(view_.font()).horizontalAdvance(QString(40, 'W')));
}

TEST_F(Report, FewerRowsShortenTheScrollRange) {
    view_.scrollTo(At(99999));
    model_.Shrink(10);  // ten rows fit on the page: nothing to scroll
    EXPECT_EQ(view_.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(view_.verticalScrollBar()->value(), 0);
    EXPECT_TRUE(Shown(9));
    EXPECT_FALSE(view_.indexAt(view_.visualRect(At(9)).center() + QPoint(0, 20)).isValid());
}

namespace {

class CellText : public ::testing::Test {
protected:
    QStyleOptionViewItem Cell(const QString& text, int width, Qt::Alignment across = Qt::AlignLeft) {
        QStyleOptionViewItem o;
        o.initFrom(&host_);
        o.widget = &host_;
        o.rect = QRect(3, 2, width, 22);
        o.text = text;
        o.features = QStyleOptionViewItem::HasDisplay;
        o.displayAlignment = across | Qt::AlignVCenter;
        o.textElideMode = Qt::ElideRight;
        o.decorationPosition = QStyleOptionViewItem::Left;
        o.decorationAlignment = Qt::AlignCenter;
        o.decorationSize = QSize(16, 16);
        return o;
    }
    static void WithPicture(QStyleOptionViewItem& o) {
        o.icon = QApplication::style()->standardIcon(QStyle::SP_DriveCDIcon);
        o.features |= QStyleOptionViewItem::HasDecoration;
    }
    template <class Paint>
    static QImage Painted(const QStyleOptionViewItem& o, Paint paint) {
        QImage image(o.rect.right() + 4, o.rect.bottom() + 4, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter p(&image);
        paint(p);
        return image;
    }
    QImage ByStyle(const QStyleOptionViewItem& o) {
        return Painted(
            o, [&](QPainter& p) { host_.style()->drawControl(QStyle::CE_ItemViewItem, &o, &p, &host_); });
    }
    QImage ByCellText(const QStyleOptionViewItem& o, bool* painted = nullptr) {
        return Painted(o, [&](QPainter& p) {
            const bool done = text_.Paint(&p, o);
            if (painted) *painted = done;
        });
    }

    QListView host_;
    CellTextPainter text_;
};

TEST_F(CellText, PaintsAndMeasuresEveryKindOfCellAsTheStyleDoes) {
    const QString longName = "Legend of the Mystical Ninja (Europe) (Rev 1) [!]";
    std::vector<std::pair<const char*, QStyleOptionViewItem>> cells = {
        {"a name", Cell("Super Mario World", 150)},
        {"a number on the right", Cell("42", 50, Qt::AlignRight)},
        {"a path cut at its end", Cell("/home/player/roms/snes/" + longName + ".zip", 100)},
        {"a name cut in its middle", Cell(longName, 90)},
        {"a name beside its picture", Cell("Chrono Trigger", 150)},
        {"a cut name beside its picture", Cell(longName, 120)},
        {"hot tracked, underlined", Cell("F-Zero", 80)},
        {"in a list that selects the picture too", Cell("Pilotwings", 80)},
        {"in a window not active", Cell("7", 40, Qt::AlignRight)},
        {"not in Latin letters", Cell(QString::fromUtf8("ドラゴンクエスト V (Japan)"), 110)},
    };
    cells[3].second.textElideMode = Qt::ElideMiddle;
    WithPicture(cells[4].second);
    WithPicture(cells[5].second);
    cells[6].second.font.setUnderline(true);
    cells[7].second.showDecorationSelected = !cells[7].second.showDecorationSelected;
    cells[8].second.state &= ~QStyle::State_Active;
    for (const auto& [what, cell] : cells) {
        const QImage expected = ByStyle(cell);
        bool painted = false;
        EXPECT_EQ(ByCellText(cell, &painted), expected) << what;
        EXPECT_TRUE(painted) << what;
        EXPECT_EQ(ByCellText(cell), expected) << what << ", painted again from what was kept";
        const QSize size = host_.style()->sizeFromContents(QStyle::CT_ItemViewItem, &cell, QSize(), &host_);
        EXPECT_EQ(text_.SizeHint(cell), size) << what;
        EXPECT_EQ(text_.SizeHint(cell), size) << what << ", measured again from what was kept";
    }
}

TEST_F(CellText, LeavesToTheStyleTheCellsItCannotPlace) {
    std::vector<std::pair<const char*, QStyleOptionViewItem>> cells = {
        {"selected", Cell("Metroid", 80)},
        {"with the focus", Cell("Metroid", 80)},
        {"wrapped", Cell("Metroid", 80)},
        {"right to left", Cell("Metroid", 80)},
        {"centred", Cell("Metroid", 80, Qt::AlignHCenter)},
        {"with a check box", Cell("Metroid", 80)},
        {"with no room", Cell("Metroid", 6)},
    };
    cells[0].second.state |= QStyle::State_Selected;
    cells[1].second.state |= QStyle::State_HasFocus;
    cells[2].second.features |= QStyleOptionViewItem::WrapText;
    cells[3].second.direction = Qt::RightToLeft;
    cells[5].second.features |= QStyleOptionViewItem::HasCheckIndicator;
    for (const auto& [what, cell] : cells) {
        bool painted = true;
        EXPECT_EQ(ByCellText(cell, &painted), Painted(cell, [](QPainter&) {})) << what;
        EXPECT_FALSE(painted) << what;
    }
}

}  // namespace
