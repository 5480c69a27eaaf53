#pragma once
// TEditWnd: the plain modal text editor for one file (lookup lists, emulator configuration
// files, and the log shown read-only).
//
// Callers set the caption (setWindowTitle), FileName and, for viewing only, Edit's read-only
// state, then call ShowModal(). Afterwards Modified tells whether the text was saved.
//
// The file is written back as it was found: its own line ends, and the bytes of every line the
// user left as it was (a Windows-1252 line stays Windows-1252).

#include <QDialog>
#include <memory>
#include <string>

class QPlainTextEdit;
class TextFile;

class TEditWnd : public QDialog {
    Q_OBJECT
public:
    explicit TEditWnd(QWidget* parent = nullptr);
    ~TEditWnd() override;

    std::string FileName;  // the file being edited; empty until a caller sets it
    // While shown: the text holds changes not yet saved (any change: typing, Delete, paste, cut,
    // undo, a drop). After closing: set means the text was saved to FileName during the showing.
    bool Modified = false;
    QPlainTextEdit* Edit;  // the text control (object name "Edit")

    // Loads FileName, runs the window modally and returns when it has closed. newLineEnd is the
    // line end of a file that has none yet (the program's own lookup lists use CR LF).
    int ShowModal(const std::string& newLineEnd = "\n");

    // Handlers, callable by tests as a user's action would run them.
    void FormShow();        // replaces the text by the file's lines, clears Modified
    bool FormCloseQuery();  // the save question; false keeps the window open
    void SaveExecute();     // Ctrl+S: writes the text, the window stays open
    bool LoadFailed() const { return loadFailed_; }

public slots:
    void reject() override;  // Esc and the close button end in the same close rules

private:
    bool SaveToFile();
    bool Writable() const;
    std::unique_ptr<TextFile> file_;  // the file as read (or as last saved)
    std::string newFileLineEnd_ = "\n";
    bool saved_ = false;       // the text was written during this showing
    bool loadFailed_ = false;  // the file could not be read: its text is never saved over it
};

// The one editor window of the run (created at start-up).
extern TEditWnd* EditWnd;
