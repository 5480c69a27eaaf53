// The zip seam on Qt: boxes parented to the active window, events pumped in place.
#include "zip/QtZipUi.h"

#include <QApplication>
#include <QCursor>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace {

QMessageBox::StandardButtons ToQt(ZipUi::Buttons b) {
    switch (b) {
    case ZipUi::Buttons::Ok: return QMessageBox::Ok;
    case ZipUi::Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case ZipUi::Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case ZipUi::Buttons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case ZipUi::Buttons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButton ToQt(ZipUi::Answer a) {
    switch (a) {
    case ZipUi::Answer::Ok: return QMessageBox::Ok;
    case ZipUi::Answer::Cancel: return QMessageBox::Cancel;
    case ZipUi::Answer::Yes: return QMessageBox::Yes;
    case ZipUi::Answer::No: return QMessageBox::No;
    case ZipUi::Answer::Retry: return QMessageBox::Retry;
    case ZipUi::Answer::Failed: break;
    }
    return QMessageBox::NoButton;
}

QMessageBox::Icon ToQt(ZipUi::Icon i) {
    switch (i) {
    case ZipUi::Icon::None: return QMessageBox::NoIcon;
    case ZipUi::Icon::Information: return QMessageBox::Information;
    case ZipUi::Icon::Warning: return QMessageBox::Warning;
    case ZipUi::Icon::Error:
    case ZipUi::Icon::Stop: return QMessageBox::Critical;
    case ZipUi::Icon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

ZipUi::Answer FromQt(int button) {
    switch (button) {
    case QMessageBox::Ok: return ZipUi::Answer::Ok;
    case QMessageBox::Yes: return ZipUi::Answer::Yes;
    case QMessageBox::No: return ZipUi::Answer::No;
    case QMessageBox::Retry: return ZipUi::Answer::Retry;
    default: return ZipUi::Answer::Cancel;
    }
}

QString Caption(const std::string& caption) {
    if (!caption.empty()) return QString::fromStdString(caption);
    QString title = QApplication::applicationDisplayName();
    return title.isEmpty() ? QStringLiteral("Tarnwick") : title;
}

}  // namespace

ZipUi::Answer QtZipUi::MessageBox(const std::string& caption, const std::string& text, Buttons buttons,
                                  Icon icon, Answer defaultButton) {
    QMessageBox box(ToQt(icon), Caption(caption), QString::fromStdString(text), ToQt(buttons),
                    QApplication::activeWindow());
    box.setObjectName("ZipMessageBox");
    box.setDefaultButton(ToQt(defaultButton));
    return FromQt(box.exec());
}

bool QtZipUi::InputBox(const std::string& caption, const std::string& prompt, std::string& value,
                       bool hidden) {
    bool ok = false;
    QString answer = QInputDialog::getText(QApplication::activeWindow(), Caption(caption),
                                           QString::fromStdString(prompt),
                                           hidden ? QLineEdit::Password : QLineEdit::Normal,
                                           QString::fromStdString(value), &ok);
    if (ok) value = answer.toStdString();
    return ok;
}

void QtZipUi::ProcessMessages() { QApplication::processEvents(QEventLoop::AllEvents); }

void QtZipUi::SetBusyCursor(bool on) {
    if (on)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void UseQtZipUi() {
    static QtZipUi ui;
    SetZipUi(&ui);
}
