#pragma once

#include <QFont>
#include <QHashFunctions>
#include <QString>
#include <QTextLayout>
#include <memory>
#include <tuple>
#include <unordered_map>

class QPainter;
class QStyle;
class QStyleOptionViewItem;

// Paints and measures list cells whose one line of text is laid out once per text, font and
// width, and kept. The style lays a cell's text out twice on every paint (to place it, then to
// draw it) and again to measure it, and each layout shapes the text anew, while a list repeats
// its systems, emulators and numbers row after row and paints the same rows again as it
// scrolls. The text lands where the style puts it.
class CellTextPainter {
public:
    // Paints the cell (an option the delegate has filled from the model) as the style would:
    // the style draws all but the text. Returns false, having painted nothing, where this could
    // not place the text as the style does: wrapped text, a check box, a selected, focused or
    // edited cell, right to left, text centred, or a style that draws cells its own way.
    bool Paint(QPainter* painter, const QStyleOptionViewItem& cell);
    // The style's size of the cell, kept per text, font and picture for one line of text.
    QSize SizeHint(const QStyleOptionViewItem& cell);

    // Laid-out texts, and sizes, kept at most; a longer scroll starts the store again.
    static constexpr int Kept = 1000;

private:
    // Keys are compared and hashed by their fields, as Tie() gives them.
    struct TiedHash {
        template <class K>
        size_t operator()(const K& k) const {
            return std::apply([](const auto&... field) { return qHashMulti(0, field...); }, k.Tie());
        }
    };
    struct Key {
        QString text;
        QFont font;
        int width;
        int alignment;
        int elide;
        bool operator==(const Key&) const = default;
        auto Tie() const { return std::tie(text, font, width, alignment, elide); }
    };
    // The text laid out in a line of the cell's width, and what is drawn in its place where it
    // does not fit.
    struct Laid {
        QTextLayout whole;
        std::unique_ptr<QTextLayout> elided;
    };
    const Laid* LaidOut(const Key& key);

    struct SizeKey {
        QString text;
        QFont font;
        int features;
        int pictureWidth, pictureHeight;
        int position;
        bool operator==(const SizeKey&) const = default;
        auto Tie() const { return std::tie(text, font, features, pictureWidth, pictureHeight, position); }
    };

    std::unordered_map<Key, std::unique_ptr<Laid>, TiedHash> laid_;
    std::unordered_map<SizeKey, QSize, TiedHash> sizes_;
};
