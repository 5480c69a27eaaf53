#include "dialogs/FormParts.h"

#include <QApplication>
#include <QStyle>
#include <cerrno>
#include <cstring>

#include "catalogue/Useful.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "toolkit/Pictures.h"

namespace FormParts {

QPushButton* Button(QWidget* parent, const char* name, const QString& caption, const QIcon& picture) {
    auto* b = new QPushButton(picture, caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QPushButton* OkButton(QWidget* parent, const char* name, const QString& caption) {
    QPushButton* b = Button(parent, name, caption, Pictures::Ok());
    b->setDefault(true);
    return b;
}

QPushButton* CancelButton(QWidget* parent, const char* name) {
    return Button(parent, name, QObject::tr("Cancel"), Pictures::Cancel());
}

QPushButton* HelpButton(QWidget* parent, const char* name) {
    return Button(parent, name, QObject::tr("&Help"), Pictures::Help());
}

QVBoxLayout* ButtonColumn(std::initializer_list<QWidget*> buttons) {
    auto* column = new QVBoxLayout;
    for (QWidget* b : buttons) column->addWidget(b);
    column->addStretch(1);
    return column;
}

QGroupBox* GroupAround(QWidget* parent, const char* name, const QString& caption, QWidget* control) {
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    (new QVBoxLayout(box))->addWidget(control);
    return box;
}

QLabel* ParametersHint(QWidget* parent) {
    auto* hint = new QLabel(QObject::tr("Placeholders: %ROM% %ROMDIR% %ROMNAME% %EMUDIR%"), parent);
    hint->setObjectName("ParamsHint");
    hint->setToolTip(
        QObject::tr("%ROM%: the ROM goes here instead of after the parameters\n"
                    "%ROMDIR%: the ROM file's folder\n"
                    "%ROMNAME%: the ROM file's name without its extension\n"
                    "%EMUDIR%: the emulator's folder"));
    QFont small = hint->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    hint->setFont(small);
    hint->setForegroundRole(QPalette::PlaceholderText);
    return hint;
}

void FixFrame(QDialog* dlg, const char* name, const QString& caption, int designW, int designH) {
    dlg->setObjectName(name);
    dlg->setWindowTitle(caption);
    dlg->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    dlg->setModal(true);
    dlg->setFixedSize(dlg->sizeHint().expandedTo(QSize(designW, designH)));
}

bool LoadListFile(QComboBox* box, const char* programFile) {
    box->clear();
    const std::string path = LookupFile(programFile);
    auto lines = ReadTextLines(path);
    if (!lines) {
        const int err = errno;
        ErrorBox("Cannot read " + path + ":\n" + std::strerror(err ? err : ENOENT));
        return false;
    }
    for (const std::string& line : *lines) box->addItem(Shown(line));
    return true;
}

void SelectPosition(QComboBox* box, int32_t i) {
    box->setCurrentIndex(i >= 0 && i < box->count() ? i : -1);
}

QString Shown(std::string_view bytes) {
    return QString::fromStdString(DisplayText(bytes));
}

bool WholeNumber(const QString& text, int lo, int hi, int32_t& value) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok, 10);
    if (!ok || n < lo || n > hi) return false;
    value = n;
    return true;
}

}  // namespace FormParts
