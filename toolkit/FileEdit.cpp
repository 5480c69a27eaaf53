#include "toolkit/FileEdit.h"

#include <QHBoxLayout>
#include <QStyle>

#include "catalogue/Prompter.h"
#include "platform/Paths.h"

BrowseEdit::BrowseEdit(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    Edit = new QLineEdit(this);
    Edit->setObjectName("Edit");
    Button = new QToolButton(this);
    Button->setObjectName("Button");
    Button->setText("...");
    Button->setToolTip(tr("Browse"));
    row->addWidget(Edit, 1);
    row->addWidget(Button);
    setFocusProxy(Edit);
    connect(Button, &QToolButton::clicked, this, &BrowseEdit::ButtonClick);
    connect(Edit, &QLineEdit::textChanged, this, &BrowseEdit::textChanged);
}

void BrowseEdit::ButtonClick() {
    const QString answer = Browse();
    if (!answer.isEmpty()) Edit->setText(answer);
}

FileEdit::FileEdit(QWidget* parent) : BrowseEdit(parent) {}

QString FileEdit::Browse() {
    const std::string start = Edit->text().toStdString();
    auto name = CurrentPrompter().OpenFileName("Open", Filter.toStdString(), start);
    return name ? QString::fromStdString(*name) : QString();
}

FolderEdit::FolderEdit(QWidget* parent) : BrowseEdit(parent) {}

QString FolderEdit::Browse() {
    const std::string start = Edit->text().toStdString();
    auto folder = CurrentPrompter().FolderName("Select Folder", start, AllowNewFolder);
    return folder ? QString::fromStdString(*folder) : QString();
}
