#pragma once
// The Qt form of the zip component's seam: QMessageBox, QInputDialog, processEvents and the
// override cursor. Call UseQtZipUi() once after the QApplication exists.
#include "zip/ZipUi.h"

class QtZipUi : public ZipUi {
public:
    Answer MessageBox(const std::string& caption, const std::string& text, Buttons buttons, Icon icon,
                      Answer defaultButton) override;
    bool InputBox(const std::string& caption, const std::string& prompt, std::string& value,
                  bool hidden) override;
    void ProcessMessages() override;
    void SetBusyCursor(bool on) override;
};

// Installs one process-wide QtZipUi as the zip component's seam (CurrentZipUi).
void UseQtZipUi();
