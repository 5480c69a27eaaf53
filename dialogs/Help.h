#pragma once
// The help window: HLP/Tarnwick.html of the program folder in a text browser, opened at the
// contents (top of the page) or at a topic's anchor ("addemu", "emulist", "romprop",
// "optdlg", "scandlg", "stalkdlg").

#include <QDialog>
#include <string>

class QTextBrowser;

class THelpWnd : public QDialog {
    Q_OBJECT
public:
    explicit THelpWnd(QWidget* parent = nullptr);

    QTextBrowser* Browser;  // object name "Browser"

    // Shows the window (not modal) at the topic; an empty topic shows the contents.
    void ShowTopic(const std::string& topic);
    const std::string& CurrentTopic() const { return topic_; }
    // Path of the help page: the program folder followed by HLP/Tarnwick.html.
    static std::string HelpFile();

private:
    std::string topic_;
};

// The help window of the run, created on first use.
THelpWnd* HelpWindow();
// What the dialogs' Help buttons and the main window's Contents command call.
void ShowHelpContents();
void ShowHelpTopic(const std::string& topic);
