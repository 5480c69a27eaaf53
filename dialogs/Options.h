#pragma once
// TOptionsDlg, the options dialog: the user settings for editing, the list font, and the three
// lookup list files opened in the text editor window.
//
// How the main window uses it (OptionsExecute):
//     if (OptionsDlg->exec() == QDialog::Accepted && OptionsDlg->TakeBack()) {
//         // Settings now hold the dialog's values; apply Settings.HotTrack to the list view
//         if (OptionsDlg->ListsChanged) FillRomList();
//     }
// At start-up the main window gives the dialog the way to its list view's font:
//     OptionsDlg->GetListFont = [this] { return <List's font and colour as a FontChoice>; };
//     OptionsDlg->SetListFont = [this](const FontChoice& f) { <apply f to List>; };
// The font button applies a chosen font through SetListFont at once, whatever closes the
// dialog. OK refuses a rating that is not a whole number from 0 to 100 and keeps the dialog
// open. The controls are loaded from Settings at every showing.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <functional>

#include "catalogue/Prompter.h"
#include "toolkit/RadioGroup.h"

class TOptionsDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOptionsDlg(QWidget* parent = nullptr);

    QTabWidget* PageControl1;
    QWidget* TabSheet1;     // "General"
    RadioGroup* MsgMode;    // "Lamer Mode" (item 0) / "Expert Mode" (item 1)
    QCheckBox* Log;         // "Log To File"
    QCheckBox* Verify;      // "Verify ROM existance before execution"
    QSpinBox* StartRating;  // default rating, 0 to 100
    QComboBox* StartType;   // default type: position in the Types list
    QWidget* TabSheet2;     // "Visualization"
    QCheckBox* SNP;         // "Remember &Size && Position"
    QCheckBox* HotT;        // "Enable &Hot Track"
    QCheckBox* Remember;    // "Remember columns &width"
    QPushButton* Button4;   // "&Change..." (font)
    QWidget* TabSheet3;     // "Advanced"
    QPushButton* Button1;   // "&Types List..."
    QPushButton* Button2;   // "&Systems List..."
    QPushButton* Button3;   // "&Languages List..."
    QPushButton* BitBtn1;   // OK
    QPushButton* BitBtn2;   // Cancel
    QPushButton* BitBtn3;   // Help

    // Set when a list file was saved from the editor during this showing.
    bool ListsChanged = false;
    // The main ROM list view's font: read and set by the font button; set by the main window.
    std::function<FontChoice()> GetListFont;
    std::function<void(const FontChoice&)> SetListFont;

    // Copies the controls into Settings (Message Mode, Log, column widths switch, rating, type,
    // size and position, Validate, HotTrack). A rating text that is not a whole number from 0 to
    // 100 is refused with a message and nothing is copied; then the answer is false.
    bool TakeBack();

public slots:
    void FormShow();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void BitBtn1Click();
    void BitBtn3Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    // The constructor's parts: each page's controls and layout, the button column, the handlers.
    void BuildGeneralPage();
    void BuildVisualizationPage();
    void BuildAdvancedPage();
    void BuildButtons();
    void ConnectHandlers();
    void EditList(const char* caption, const char* file);
    bool RatingValid(int32_t& rating);
    // Refills StartType from a Types list saved from the editor.
    void ReloadTypes();
    bool typesRead_ = false;  // an unread Types list keeps the default type as it was
};

// The one options dialog of the run, created at start-up.
extern TOptionsDlg* OptionsDlg;
