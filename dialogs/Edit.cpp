#include "dialogs/Edit.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <cerrno>

#include "catalogue/Useful.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Text.h"

TEditWnd* EditWnd = nullptr;

namespace {

// Keys that type a character (Enter, Tab and Backspace included); Delete and Esc type none.
bool TypesCharacter(const QKeyEvent* k) {
  const QString text = k->text();
  if (text.isEmpty()) return false;
  const QChar c = text.front();
  return c != QChar(0x7f) && c != QChar(0x1b);
}

}  // namespace

TEditWnd::TEditWnd(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint) {
  setObjectName("EditWnd");
  setWindowTitle("EditWnd");
  resize(544, 375);
  setSizeGripEnabled(true);
  Edit = new QPlainTextEdit(this);
  Edit->setObjectName("Edit");
  QFont mono("Courier New", 10);
  mono.setStyleHint(QFont::TypeWriter);
  Edit->setFont(mono);
  Edit->setLineWrapMode(QPlainTextEdit::NoWrap);
  Edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Edit->installEventFilter(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Edit);
}

int TEditWnd::ShowModal() {
  FormShow();
  return exec();
}

void TEditWnd::FormShow() {
  loadFailed = false;
  std::optional<std::string> bytes = ReadWholeFile(FileName);
  if (bytes) {
    QStringList lines;
    for (const std::string& line : SplitTextLines(*bytes)) lines << QString::fromStdString(DisplayText(line));
    Edit->setPlainText(lines.join('\n'));
  } else {
    const int error = errno;
    Edit->clear();
    if (FileExists(FileName)) {
      // The file is there but cannot be read: nothing may be written over it from here.
      loadFailed = true;
      Edit->setReadOnly(true);
      ErrorBox("Cannot read the file " + FileName + ":\n" + ErrorText(error));
    } else {
      ErrorBox("The file " + FileName + " does not exist." +
               (Edit->isReadOnly() ? "" : "\nIt will be created if you save your text."));
    }
  }
  Modified = false;
}

bool TEditWnd::eventFilter(QObject* watched, QEvent* e) {
  if (watched == Edit && e->type() == QEvent::KeyPress && TypesCharacter(static_cast<QKeyEvent*>(e)))
    Modified = true;  // also while read-only, though nothing changes then
  return QDialog::eventFilter(watched, e);
}

bool TEditWnd::SaveToFile() {
  // One line per text line; an empty text is an empty file.
  const QString text = Edit->toPlainText();
  std::vector<std::string> lines;
  if (!text.isEmpty())
    for (const QString& line : text.split('\n')) lines.push_back(line.toStdString());
  if (WriteTextLines(FileName, lines)) return true;
  ErrorBox("Cannot write the file " + FileName + ":\n" + ErrorText(errno));
  return false;
}

bool TEditWnd::FormCloseQuery() {
  if (Modified && !Edit->isReadOnly()) {
    if (QuestionBox("Do you want to save changes?")) {
      if (!SaveToFile()) return false;  // stays open and marked: closing again asks again
    } else {
      Modified = false;
    }
  }
  if (loadFailed) {
    Edit->setReadOnly(false);
    loadFailed = false;
  }
  return true;
}

// The close button and the system menu end here too (the dialog's close turns into reject).
void TEditWnd::reject() {
  if (FormCloseQuery()) QDialog::reject();
}
