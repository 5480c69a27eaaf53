#include "mainwindow/QtPrompter.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "catalogue/Splash.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// Boxes belong to the application: the active window owns them, so every other window is
// disabled while one is up. The start-up splash stays above every window, so it goes first:
// a box under it could not be read.
QWidget* Owner() {
    if (SplashWnd) SplashWnd->hide();
    if (QWidget* m = QApplication::activeModalWidget()) return m;
    return QApplication::activeWindow();
}

QMessageBox::Icon QtIcon(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Exclamation:
            return QMessageBox::Warning;
        case BoxIcon::Question:
            return QMessageBox::Question;
        case BoxIcon::Information:
            return QMessageBox::Information;
        case BoxIcon::Stop:
            return QMessageBox::Critical;
        case BoxIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonPair {
    QMessageBox::StandardButton qt;
    int answer;
};

std::vector<ButtonPair> QtButtons(BoxButtons buttons) {
    switch (buttons) {
        case BoxButtons::Ok:
            return {{QMessageBox::Ok, BoxOk}};
        case BoxButtons::OkCancel:
            return {{QMessageBox::Ok, BoxOk}, {QMessageBox::Cancel, BoxCancel}};
        case BoxButtons::YesNo:
            return {{QMessageBox::Yes, BoxYes}, {QMessageBox::No, BoxNo}};
        case BoxButtons::YesNoCancel:
            return {{QMessageBox::Yes, BoxYes}, {QMessageBox::No, BoxNo}, {QMessageBox::Cancel, BoxCancel}};
        case BoxButtons::RetryCancel:
            return {{QMessageBox::Retry, BoxRetry}, {QMessageBox::Cancel, BoxCancel}};
        case BoxButtons::AbortRetryIgnore:
            return {{QMessageBox::Abort, BoxAbort},
                    {QMessageBox::Retry, BoxRetry},
                    {QMessageBox::Ignore, BoxIgnore}};
    }
    return {{QMessageBox::Ok, BoxOk}};
}

// One pattern such as "*.zip" as "*.[zZ][iI][pP]", so the dialog ignores letter case.
QString CaseFreePattern(QString pattern) {
    pattern = pattern.trimmed();
    if (pattern == "*.*") return "*";
    QString out;
    for (QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            out += QString("[%1%2]").arg(c.toLower(), c.toUpper());
        else
            out += c;
    }
    return out;
}

// A font dialog with the colour choice beside the face, size and effects.
class FontColourDialog : public QDialog {
public:
    explicit FontColourDialog(const FontChoice& start, QWidget* parent)
        : QDialog(parent), colour_(start.Color) {
        setWindowTitle("Font");
        fonts_ = new QFontDialog(this);
        fonts_->setWindowFlags(Qt::Widget);
        fonts_->setOptions(QFontDialog::NoButtons);
        QFont f(QString::fromStdString(start.Name), start.Size);
        f.setBold(start.Bold);
        f.setItalic(start.Italic);
        f.setUnderline(start.Underline);
        f.setStrikeOut(start.StrikeOut);
        fonts_->setCurrentFont(f);
        auto* colourButton = new QPushButton("&Color...", this);
        colourButton->setObjectName("ColorButton");
        swatch_ = new QLabel(this);
        swatch_->setFixedSize(40, 20);
        ShowSwatch();
        connect(colourButton, &QPushButton::clicked, this, [this] {
            QColor c = QColorDialog::getColor(AsQColor(), this, "Color");
            if (c.isValid()) {
                colour_ = c.red() | (c.green() << 8) | (c.blue() << 16);
                ShowSwatch();
            }
        });
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel("Color:", this));
        row->addWidget(swatch_);
        row->addWidget(colourButton);
        row->addStretch();
        row->addWidget(buttons);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(fonts_);
        layout->addLayout(row);
    }
    void Take(FontChoice& font) const {
        QFont f = fonts_->currentFont();
        font.Name = f.family().toStdString();
        font.Size = f.pointSize() > 0 ? f.pointSize() : font.Size;
        font.Bold = f.bold();
        font.Italic = f.italic();
        font.Underline = f.underline();
        font.StrikeOut = f.strikeOut();
        font.Color = colour_;
    }

private:
    QColor AsQColor() const {
        if (colour_ < 0) return palette().color(QPalette::WindowText);
        return QColor(colour_ & 0xFF, (colour_ >> 8) & 0xFF, (colour_ >> 16) & 0xFF);
    }
    void ShowSwatch() {
        swatch_->setAutoFillBackground(true);
        QPalette p = swatch_->palette();
        p.setColor(QPalette::Window, AsQColor());
        swatch_->setPalette(p);
    }
    QFontDialog* fonts_;
    QLabel* swatch_;
    int32_t colour_;
};

}  // namespace

int QtPrompter::MessageBox(const std::string& caption, const std::string& text, BoxIcon icon,
                           BoxButtons buttons, int defaultButton) {
    QMessageBox box(QtIcon(icon), Q(caption), Q(text), QMessageBox::NoButton, Owner());
    box.setWindowModality(Qt::ApplicationModal);
    const std::vector<ButtonPair> pairs = QtButtons(buttons);
    for (const ButtonPair& p : pairs) {
        QPushButton* b = box.addButton(p.qt);
        if (p.answer == defaultButton || (defaultButton == 0 && &p == &pairs.front()))
            box.setDefaultButton(b);
    }
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (const ButtonPair& p : pairs)
        if (clicked && box.standardButton(clicked) == p.qt) return p.answer;
    // Closed without a button.
    if (buttons == BoxButtons::YesNo) return BoxNo;
    if (buttons == BoxButtons::Ok) return BoxOk;
    return BoxCancel;
}

std::optional<std::string> QtPrompter::InputBox(const std::string& caption, const std::string& prompt,
                                                const std::string& defaultText, bool masked) {
    bool ok = false;
    QString s = QInputDialog::getText(Owner(), Q(caption), Q(prompt),
                                      masked ? QLineEdit::Password : QLineEdit::Normal, Q(defaultText), &ok);
    if (!ok) return std::nullopt;
    return s.toStdString();
}

QString QtNameFilters(const std::string& pipeFilter) {
    const QStringList parts = Q(pipeFilter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts))
            patterns << (p == ExecutablePattern ? QString("*") : CaseFreePattern(p));  // the proxy picks them
        filters << QString("%1 (%2)").arg(parts[i], patterns.join(' '));
    }
    return filters.join(";;");
}

QString DialogStart(const std::string& current) {
    if (!current.empty()) {
        const std::string path = AbsolutePath(current);
        if (FolderExists(path) || FileExists(path)) return Q(path);
        if (FolderExists(FolderPart(path))) return Q(FolderPart(path));
    }
    return QDir::homePath();
}

bool ExecutableFilesOnly::filterAcceptsRow(int row, const QModelIndex& parent) const {
    if (!active || !active()) return true;
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (!files) return true;
    const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
    return info.isDir() || info.isExecutable();
}

std::optional<std::string> QtPrompter::OpenFileName(const std::string& caption, const std::string& filter,
                                                    const std::string& initialPath) {
    QFileDialog d(Owner(), Q(caption), DialogStart(initialPath), QtNameFilters(filter));
    d.setFileMode(QFileDialog::ExistingFile);
    // The executable choice filters on the execute bit, which only Qt's own dialog can do.
    const QStringList labels = Q(filter).split('|');
    const int executables = labels.indexOf(ExecutablePattern);
    if (executables > 0) {
        d.setOption(QFileDialog::DontUseNativeDialog);
        const QString choice = d.nameFilters().value((executables - 1) / 2);
        auto* proxy = new ExecutableFilesOnly;
        proxy->active = [&d, choice] { return d.selectedNameFilter() == choice; };
        d.setProxyModel(proxy);  // the dialog owns it
        QObject::connect(&d, &QFileDialog::filterSelected, proxy, [proxy] { proxy->invalidate(); });
    }
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return std::nullopt;
    return d.selectedFiles().front().toStdString();
}

std::optional<std::string> QtPrompter::SaveFileName(const std::string& caption, const std::string& filter,
                                                    const std::string& initialPath,
                                                    const std::string& defaultSuffix) {
    QFileDialog d(Owner(), Q(caption), Q(initialPath), QtNameFilters(filter));
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setDefaultSuffix(Q(defaultSuffix));
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return std::nullopt;
    return d.selectedFiles().front().toStdString();
}

std::optional<std::string> QtPrompter::FolderName(const std::string& caption,
                                                  const std::string& initialFolder, bool allowNew) {
    QFileDialog d(Owner(), Q(caption), DialogStart(initialFolder));
    d.setFileMode(QFileDialog::Directory);
    d.setOption(QFileDialog::ShowDirsOnly);
    d.setOption(QFileDialog::ReadOnly, !allowNew);  // read-only hides "create folder"
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return std::nullopt;
    std::string folder = d.selectedFiles().front().toStdString();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

bool QtPrompter::ChooseFont(FontChoice& font) {
    FontColourDialog d(font, Owner());
    if (d.exec() != QDialog::Accepted) return false;
    d.Take(font);
    return true;
}

void UseQtPrompter() {
    static QtPrompter prompter;
    SetPrompter(&prompter);
}
