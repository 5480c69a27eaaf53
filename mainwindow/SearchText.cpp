#include "mainwindow/SearchText.h"

#include <QStringList>
#include <algorithm>

#include "platform/Text.h"

namespace {

bool IsMark(QChar c) {
    const QChar::Category k = c.category();
    return k == QChar::Mark_NonSpacing || k == QChar::Mark_SpacingCombining || k == QChar::Mark_Enclosing;
}

QString Folded(const QString& text) {
    QString decomposed = text.normalized(QString::NormalizationForm_D);
    decomposed.removeIf(IsMark);
    return decomposed.toCaseFolded();
}

}  // namespace

void AppendSearchForm(std::string& out, std::string_view bytes) {
    // Most names are plain ASCII, which needs no decomposition: lower-casing is its whole fold.
    if (std::all_of(bytes.begin(), bytes.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        const size_t at = out.size();
        out.append(bytes);
        std::transform(out.begin() + at, out.end(), out.begin() + at, [](char c) { return AsciiLower(c); });
        return;
    }
    out.append(Folded(QString::fromStdString(DisplayText(bytes))).toStdString());
}

std::string SearchForm(std::string_view bytes) {
    std::string out;
    AppendSearchForm(out, bytes);
    return out;
}

std::vector<std::string> SearchWords(const QString& typed) {
    std::vector<std::string> words;
    for (const QString& word : typed.simplified().split(QChar(' '), Qt::SkipEmptyParts)) {
        const std::string folded = Folded(word).toStdString();
        if (!folded.empty()) words.push_back(folded);
    }
    return words;
}
