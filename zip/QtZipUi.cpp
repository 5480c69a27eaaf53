// The zip seam on Qt: its boxes are the program's own Qt boxes (QtPrompter), events are pumped
// in place.
#include "zip/QtZipUi.h"

#include <QApplication>
#include <QCursor>

#include "mainwindow/QtPrompter.h"

namespace {

BoxButtons ToBox(ZipUi::Buttons b) {
    switch (b) {
        case ZipUi::Buttons::Ok:
            return BoxButtons::Ok;
        case ZipUi::Buttons::OkCancel:
            return BoxButtons::OkCancel;
        case ZipUi::Buttons::YesNo:
            return BoxButtons::YesNo;
        case ZipUi::Buttons::YesNoCancel:
            return BoxButtons::YesNoCancel;
        case ZipUi::Buttons::RetryCancel:
            return BoxButtons::RetryCancel;
    }
    return BoxButtons::Ok;
}

BoxIcon ToBox(ZipUi::Icon i) {
    switch (i) {
        case ZipUi::Icon::None:
            return BoxIcon::None;
        case ZipUi::Icon::Information:
            return BoxIcon::Information;
        case ZipUi::Icon::Warning:
            return BoxIcon::Exclamation;
        case ZipUi::Icon::Error:
        case ZipUi::Icon::Stop:
            return BoxIcon::Stop;
        case ZipUi::Icon::Question:
            return BoxIcon::Question;
    }
    return BoxIcon::None;
}

int ToBox(ZipUi::Answer a) {
    switch (a) {
        case ZipUi::Answer::Ok:
            return BoxOk;
        case ZipUi::Answer::Cancel:
            return BoxCancel;
        case ZipUi::Answer::Yes:
            return BoxYes;
        case ZipUi::Answer::No:
            return BoxNo;
        case ZipUi::Answer::Retry:
            return BoxRetry;
        case ZipUi::Answer::Failed:
            break;
    }
    return 0;
}

ZipUi::Answer FromBox(int answer) {
    switch (answer) {
        case BoxOk:
            return ZipUi::Answer::Ok;
        case BoxYes:
            return ZipUi::Answer::Yes;
        case BoxNo:
            return ZipUi::Answer::No;
        case BoxRetry:
            return ZipUi::Answer::Retry;
        default:
            return ZipUi::Answer::Cancel;
    }
}

// An empty caption means the application's title.
std::string Caption(const std::string& caption) {
    if (!caption.empty()) return caption;
    QString title = QApplication::applicationDisplayName();
    return title.isEmpty() ? std::string("Tarnwick") : title.toStdString();
}

}  // namespace

ZipUi::Answer QtZipUi::MessageBox(const std::string& caption, const std::string& text, Buttons buttons,
                                  Icon icon, Answer defaultButton) {
    QtPrompter boxes;
    return FromBox(
        boxes.MessageBox(Caption(caption), text, ToBox(icon), ToBox(buttons), ToBox(defaultButton)));
}

bool QtZipUi::InputBox(const std::string& caption, const std::string& prompt, std::string& value,
                       bool hidden) {
    QtPrompter boxes;
    std::optional<std::string> answer = boxes.InputBox(Caption(caption), prompt, value, hidden);
    if (answer) value = *answer;
    return answer.has_value();
}

void QtZipUi::ProcessMessages() {
    QApplication::processEvents(QEventLoop::AllEvents);
}

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
