// The Qt form of the zip seam: what its boxes show and answer, pumping and the busy cursor.
#include "zip/QtZipUi.h"
#include "zip/ZipArchiver.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Acts on the next modal window once the box is up.
void OnNextModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* w = QApplication::activeModalWidget();
        ASSERT_NE(w, nullptr);
        act(w);
    });
}

}  // namespace

TEST(QtZipUi, MessageBoxShowsTextButtonsAndAnswers) {
    QtZipUi ui;
    QString title, text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    OnNextModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttons = box->standardButtons();
        icon = box->icon();
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        box->button(QMessageBox::Cancel)->click();
    });
    ZipUi::Answer a = ui.MessageBox("Confirm", "There is already a file x.zip", ZipUi::Buttons::YesNoCancel,
                                    ZipUi::Icon::Warning, ZipUi::Answer::No);
    EXPECT_EQ(a, ZipUi::Answer::Cancel);
    EXPECT_EQ(title, "Confirm");
    EXPECT_EQ(text, "There is already a file x.zip");
    EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(icon, QMessageBox::Warning);

    // The component's plain box: the application's title, OK, no icon.
    QApplication::setApplicationDisplayName("Tarnwick");
    OnNextModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    SetZipUi(&ui);
    TZipArchiver zip;
    zip.ShowZipMessage(10102);
    SetZipUi(nullptr);
    EXPECT_EQ(title, "Tarnwick");
    EXPECT_EQ(text, "Error - no zip file specified!");
    EXPECT_EQ(buttons, QMessageBox::Ok);
}

TEST(QtZipUi, PasswordBoxIsHiddenAndCancelKeepsTheValue) {
    QtZipUi ui;
    QLineEdit::EchoMode mode = QLineEdit::Normal;
    OnNextModal([&](QWidget* w) {
        auto* dlg = qobject_cast<QInputDialog*>(w);
        ASSERT_NE(dlg, nullptr);
        mode = dlg->textEchoMode();
        EXPECT_EQ(dlg->labelText(), "Enter Password");
        dlg->setTextValue("s3cret");
        dlg->accept();
    });
    std::string value;
    EXPECT_TRUE(ui.InputBox("Password", "Enter Password", value, true));
    EXPECT_EQ(value, "s3cret");
    EXPECT_EQ(mode, QLineEdit::Password);

    OnNextModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    EXPECT_FALSE(ui.InputBox("Password", "Enter Password", value, true));
    EXPECT_EQ(value, "s3cret");
}

TEST(QtZipUi, PumpingRunsQueuedEventsAndTheCursorNests) {
    QtZipUi ui;
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    ui.ProcessMessages();
    EXPECT_TRUE(ran);

    ui.SetBusyCursor(true);
    ui.SetBusyCursor(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui.SetBusyCursor(false);
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    ui.SetBusyCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ui.SetBusyCursor(false);  // one Off too many does nothing
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
