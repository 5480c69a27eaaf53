#include "dialogs/Edit.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>
#include <cerrno>

#include "catalogue/Prompter.h"
#include "catalogue/Useful.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/TextFile.h"

TEditWnd* EditWnd = nullptr;

namespace {

// The lines of the text as the user sees them, taken block by block so that no character is
// changed on the way (the document's plain text turns no-break spaces into blanks).
std::vector<std::string> EditedLines(const QPlainTextEdit* edit) {
    std::vector<std::string> lines;
    const QTextDocument* doc = edit->document();
    if (doc->isEmpty()) return lines;  // an empty text is an empty file
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
        lines.push_back(block.text().toStdString());
    return lines;
}

}  // namespace

TEditWnd::TEditWnd(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      file_(std::make_unique<TextFile>("", "\n")) {
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
    // Every change of the text counts, however it was made; undoing back to the text as loaded
    // or saved leaves nothing to save.
    connect(Edit, &QPlainTextEdit::modificationChanged, this, [this](bool changed) { Modified = changed; });
    auto* save = new QAction(this);
    save->setObjectName("Save");
    save->setShortcut(QKeySequence::Save);
    save->setShortcutContext(Qt::WindowShortcut);
    connect(save, &QAction::triggered, this, &TEditWnd::SaveExecute);
    addAction(save);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Edit);
}

TEditWnd::~TEditWnd() = default;

int TEditWnd::ShowModal(const std::string& newLineEnd) {
    newFileLineEnd_ = newLineEnd;
    FormShow();
    return exec();
}

void TEditWnd::FormShow() {
    loadFailed_ = false;
    saved_ = false;
    std::optional<std::string> bytes = ReadWholeFile(FileName);
    if (bytes) {
        file_ = std::make_unique<TextFile>(*bytes, newFileLineEnd_);
        QStringList lines;
        for (const std::string& line : file_->ShownLines()) lines << QString::fromStdString(line);
        Edit->setPlainText(lines.join('\n'));
    } else {
        const int error = errno;
        file_ = std::make_unique<TextFile>("", newFileLineEnd_);
        Edit->clear();
        if (FileExists(FileName)) {
            // The file is there but cannot be read: nothing may be written over it from here.
            loadFailed_ = true;
            Edit->setReadOnly(true);
            ErrorBox("Cannot read the file " + FileName + ":\n" + ErrorText(error));
        } else {
            ErrorBox("The file " + FileName + " does not exist." +
                     (Edit->isReadOnly() ? "" : "\nIt will be created if you save your text."));
        }
    }
    Edit->document()->setModified(false);
    Modified = false;
}

bool TEditWnd::Writable() const {
    return !Edit->isReadOnly() && !loadFailed_;
}

bool TEditWnd::SaveToFile() {
    const std::string bytes = file_->Bytes(EditedLines(Edit));
    if (!WriteFileAtomic(FileName, bytes)) {
        ErrorBox("Cannot write the file " + FileName + ":\n" + ErrorText(errno));
        return false;
    }
    // What was written is now the file that later saves compare with.
    file_ = std::make_unique<TextFile>(bytes, file_->LineEnd());
    saved_ = true;
    Edit->document()->setModified(false);
    return true;
}

void TEditWnd::SaveExecute() {
    if (Writable() && Edit->document()->isModified()) SaveToFile();
}

bool TEditWnd::FormCloseQuery() {
    if (Writable() && Edit->document()->isModified()) {
        switch (CurrentPrompter().MessageBox("Question", "Do you want to save changes?", BoxIcon::Question,
                                             BoxButtons::YesNoCancel)) {
            case BoxYes:
                if (!SaveToFile()) return false;  // stays open and marked: closing again asks again
                break;
            case BoxNo:
                break;
            default:
                return false;  // Cancel: back to the text, nothing lost
        }
    }
    Modified = saved_;
    if (loadFailed_) {
        Edit->setReadOnly(false);
        loadFailed_ = false;
    }
    return true;
}

// The close button and the system menu end here too (the dialog's close turns into reject).
void TEditWnd::reject() {
    if (FormCloseQuery()) QDialog::reject();
}
