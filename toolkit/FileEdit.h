#pragma once
// An edit with a browse button beside it. FileEdit's button asks for a file to open, FolderEdit's
// for a folder; the answer replaces the text. The user may also type. Both dialogs go through
// the Prompter, so a test answers them from a script.
#include <QLineEdit>
#include <QString>
#include <QToolButton>
#include <QWidget>

class BrowseEdit : public QWidget {
    Q_OBJECT
public:
    explicit BrowseEdit(QWidget* parent = nullptr);

    QString text() const { return Edit->text(); }
    void setText(const QString& t) { Edit->setText(t); }
    void clear() { Edit->clear(); }
    void setMaxLength(int n) { Edit->setMaxLength(n); }

    QLineEdit* Edit;      // the text itself
    QToolButton* Button;  // the browse button

public slots:
    // Asks the Prompter; an answer that is not empty replaces the text.
    void ButtonClick();

signals:
    void textChanged(const QString&);

protected:
    // The Prompter's answer for the browse button; empty when the user cancelled.
    virtual QString Browse() = 0;
};

class FileEdit : public BrowseEdit {
    Q_OBJECT
public:
    explicit FileEdit(QWidget* parent = nullptr);
    // "Description|patterns|Description|patterns...", patterns separated by ';'.
    QString Filter;

protected:
    QString Browse() override;
};

class FolderEdit : public BrowseEdit {
    Q_OBJECT
public:
    explicit FolderEdit(QWidget* parent = nullptr);
    bool AllowNewFolder = false;  // lets the picker create a folder

protected:
    QString Browse() override;
};
