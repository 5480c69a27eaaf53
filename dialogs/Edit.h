#pragma once
// TEditWnd: the plain modal text editor for one file (lookup lists, emulator configuration
// files, and the log shown read-only).
//
// Callers set the caption (setWindowTitle), FileName and, for viewing only, Edit's read-only
// state, then call ShowModal(). Afterwards Modified tells whether the text was saved.

#include <QDialog>
#include <string>

class QPlainTextEdit;
class QEvent;

class TEditWnd : public QDialog {
  Q_OBJECT
public:
  explicit TEditWnd(QWidget* parent = nullptr);

  std::string FileName;   // the file being edited; empty until a caller sets it
  bool Modified = false;  // set by typed characters; after closing: set means saved
  QPlainTextEdit* Edit;   // the text control (object name "Edit")

  // Loads FileName, runs the window modally and returns when it has closed.
  int ShowModal();

  // Handlers, callable by tests as a user's action would run them.
  void FormShow();           // replaces the text by the file's lines, clears Modified
  bool FormCloseQuery();     // the save question; false keeps the window open
  bool LoadFailed() const { return loadFailed; }

protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

public slots:
  void reject() override;    // Esc and the close button end in the same close rules

private:
  bool SaveToFile();
  bool loadFailed = false;   // the file could not be read: its text is never saved over it
};

// The one editor window of the run (created at start-up).
extern TEditWnd* EditWnd;
