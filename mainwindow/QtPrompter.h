#pragma once
// The Prompter seam done with Qt's boxes and dialogs: QMessageBox, QInputDialog, QFileDialog,
// and a font dialog with a colour choice.

#include <QSortFilterProxyModel>
#include <QString>
#include <functional>

#include "catalogue/Prompter.h"

class QtPrompter : public Prompter {
public:
    int MessageBox(const std::string& caption, const std::string& text, BoxIcon icon, BoxButtons buttons,
                   int defaultButton = 0) override;
    std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& defaultText, bool masked = false) override;
    std::optional<std::string> OpenFileName(const std::string& caption, const std::string& filter,
                                            const std::string& initialPath) override;
    std::optional<std::string> SaveFileName(const std::string& caption, const std::string& filter,
                                            const std::string& initialPath,
                                            const std::string& defaultSuffix) override;
    std::optional<std::string> FolderName(const std::string& caption, const std::string& initialFolder,
                                          bool allowNew) override;
    bool ChooseFont(FontChoice& font) override;
};

// "Programs (*.exe)|*.exe|All Files (*.*)|*.*" as a Qt name filter list. Patterns match
// without regard to letter case, and "*.*" matches every name, as the platform's dialogs did.
QString QtNameFilters(const std::string& pipeFilter);

// Where a file or folder dialog opens for the current value of a field: the value itself when it
// names an existing file or folder, else its folder when that exists, else the home folder.
QString DialogStart(const std::string& current);

// Shows only folders and files with the execute bit while `active` says so (the "Executables"
// choice of a file dialog); everything otherwise. Sits over the dialog's QFileSystemModel.
class ExecutableFilesOnly : public QSortFilterProxyModel {
public:
    std::function<bool()> active;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;
};

// Installs one QtPrompter for the rest of the run.
void UseQtPrompter();
