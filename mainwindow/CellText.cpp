#include "mainwindow/CellText.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QWidget>

namespace {

// The styles whose cells are drawn by the common item view drawing, which places text as below.
bool DrawsCellsAsCommon(const QStyle* style) {
    const QString name = style->name();
    return name.compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("windows"), Qt::CaseInsensitive) == 0;
}

// Cells of one line of text, left to right, in such a style: measured and placed as below.
bool OneLine(const QStyleOptionViewItem& cell) {
    return !(cell.features & QStyleOptionViewItem::WrapText) && cell.direction == Qt::LeftToRight &&
           (cell.decorationPosition == QStyleOptionViewItem::Left ||
            cell.decorationPosition == QStyleOptionViewItem::Right) &&
           cell.widget && DrawsCellsAsCommon(cell.widget->style());
}

bool Placeable(const QStyleOptionViewItem& cell) {
    const Qt::Alignment across = QStyle::visualAlignment(cell.direction, cell.displayAlignment) &
                                 (Qt::AlignHorizontal_Mask & ~Qt::AlignAbsolute);
    return OneLine(cell) && (cell.features & QStyleOptionViewItem::HasDisplay) && !cell.text.isEmpty() &&
           !(cell.features & QStyleOptionViewItem::HasCheckIndicator) &&
           !(cell.state & (QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_Editing)) &&
           (across == Qt::AlignLeft || across == Qt::AlignRight) && !cell.text.contains(QChar(0x9c));
}

// Where the style puts a cell's text: the cell less its picture, less a margin at either end.
QRect TextArea(const QStyleOptionViewItem& cell, const QStyle* style) {
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &cell, cell.widget) + 1;
    QRect area = cell.rect;
    if ((cell.features & QStyleOptionViewItem::HasDecoration) && !cell.decorationSize.isEmpty()) {
        const int picture = cell.decorationSize.width() + 2 * margin;
        if (cell.decorationPosition == QStyleOptionViewItem::Left)
            area.setLeft(area.left() + picture);
        else
            area.setRight(area.right() - picture);
    }
    const int textMargin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, cell.widget) + 1;
    return area.adjusted(textMargin, 0, -textMargin, 0);
}

// Lays the text out in one line of the width; false where it takes more than one.
bool LayOut(QTextLayout& layout, const QFont& font, Qt::Alignment alignment, int width) {
    layout.setFont(font);
    QTextOption option;
    option.setWrapMode(QTextOption::ManualWrap);
    option.setTextDirection(Qt::LeftToRight);
    option.setAlignment(alignment);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, 0));
    }
    const bool one = line.isValid() && !layout.createLine().isValid();
    layout.endLayout();
    return one;
}

}  // namespace

const CellTextPainter::Laid* CellTextPainter::LaidOut(const Key& key) {
    if (const auto found = laid_.find(key); found != laid_.end()) return found->second.get();
    if (laid_.size() >= Kept) laid_.clear();
    auto laid = std::make_unique<Laid>();
    laid->whole.setText(key.text);
    const Qt::Alignment alignment = QStyle::visualAlignment(Qt::LeftToRight, Qt::Alignment(key.alignment));
    bool placed = LayOut(laid->whole, key.font, alignment, key.width);
    if (placed && laid->whole.lineAt(0).naturalTextWidth() > key.width) {
        // What the style draws instead: the text elided to the width, from the line's left end.
        laid->elided = std::make_unique<QTextLayout>(
            QFontMetricsF(key.font).elidedText(key.text, Qt::TextElideMode(key.elide), key.width));
        placed = LayOut(*laid->elided, key.font, Qt::AlignLeft | Qt::AlignAbsolute, key.width);
    }
    if (!placed) laid.reset();  // kept as not placeable, so it is not laid out again
    return laid_.emplace(key, std::move(laid)).first->second.get();
}

bool CellTextPainter::Paint(QPainter* painter, const QStyleOptionViewItem& cell) {
    if (!Placeable(cell)) return false;
    const QStyle* style = cell.widget->style();
    const QRect area = TextArea(cell, style);
    if (area.width() < 1) return false;
    const Laid* laid =
        LaidOut({cell.text, cell.font, area.width(), int(cell.displayAlignment), int(cell.textElideMode)});
    if (!laid) return false;

    QStyleOptionViewItem rest(cell);
    rest.text.clear();
    rest.features &= ~QStyleOptionViewItem::HasDisplay;
    style->drawControl(QStyle::CE_ItemViewItem, &rest, painter, cell.widget);

    const QPalette::ColorGroup group = !(cell.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (cell.state & QStyle::State_Active) ? QPalette::Normal
                                                                             : QPalette::Inactive;
    const QTextLine line = laid->whole.lineAt(0);
    const QRect place = QStyle::alignedRect(Qt::LeftToRight, cell.displayAlignment,
                                            QSize(area.width(), int(line.height())), area);
    painter->save();
    painter->setClipRect(cell.rect);
    painter->setPen(cell.palette.color(group, QPalette::Text));
    if (!laid->elided) {
        line.draw(painter, place.topLeft());
    } else {
        const QTextLine shown = laid->elided->lineAt(0);
        const qreal baseline = place.top() + line.ascent();
        shown.draw(painter, QPointF(place.left() + line.x(), baseline - shown.ascent()));
    }
    painter->restore();
    return true;
}

QSize CellTextPainter::SizeHint(const QStyleOptionViewItem& cell) {
    const QStyle* style = cell.widget ? cell.widget->style() : QApplication::style();
    const auto measure = [&] {
        return style->sizeFromContents(QStyle::CT_ItemViewItem, &cell, QSize(), cell.widget);
    };
    if (!OneLine(cell)) return measure();
    const QSize picture = cell.features & QStyleOptionViewItem::HasDecoration ? cell.decorationSize : QSize();
    SizeKey key{cell.text,       cell.font,        int(cell.features),
                picture.width(), picture.height(), int(cell.decorationPosition)};
    if (const auto found = sizes_.find(key); found != sizes_.end()) return found->second;
    if (sizes_.size() >= Kept) sizes_.clear();
    return sizes_.emplace(std::move(key), measure()).first->second;
}
