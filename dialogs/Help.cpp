#include "dialogs/Help.h"

#include <QApplication>
#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/Files.h"
#include "platform/Paths.h"

THelpWnd::THelpWnd(QWidget* parent) : QDialog(parent, Qt::Window) {
    setObjectName("HelpWnd");
    setWindowTitle("Tarnwick Help");
    setAttribute(Qt::WA_QuitOnClose, false);  // an open help page does not keep the program running
    resize(640, 520);
    Browser = new QTextBrowser(this);
    Browser->setObjectName("Browser");
    Browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Browser);
}

std::string THelpWnd::HelpFile() {
    return ProgramFile("HLP\\Tarnwick.html");
}

void THelpWnd::ShowTopic(const std::string& name) {
    topic_ = name;
    const std::string file = HelpFile();
    if (FileExists(file)) {
        QUrl url = QUrl::fromLocalFile(QString::fromStdString(file));
        if (!topic_.empty()) url.setFragment(QString::fromStdString(topic_));
        Browser->setSource(url);
        if (topic_.empty())
            Browser->verticalScrollBar()->setValue(0);  // the contents open the page
        else
            Browser->scrollToAnchor(QString::fromStdString(topic_));
    } else {
        Browser->setHtml(
            QString("<h3>Help is not available</h3><p>The help file <tt>%1</tt> was not found.</p>")
                .arg(QString::fromStdString(file).toHtmlEscaped()));
    }
    // A window opened from a modal dialog belongs to it, so it takes input while that dialog is up.
    QWidget* owner = QApplication::activeModalWidget();
    if (owner != this && parentWidget() != owner) {
        const bool wasVisible = isVisible();
        setParent(owner, Qt::Window);
        if (wasVisible) show();
    }
    show();
    raise();
    activateWindow();
}

THelpWnd* HelpWindow() {
    static THelpWnd* window = nullptr;
    if (!window) {
        window = new THelpWnd;
        QObject::connect(window, &QObject::destroyed, [] { window = nullptr; });
        qAddPostRoutine([] { delete window; });
    }
    return window;
}

void ShowHelpContents() {
    HelpWindow()->ShowTopic("");
}

void ShowHelpTopic(const std::string& topic) {
    HelpWindow()->ShowTopic(topic);
}
