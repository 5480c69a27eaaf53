#include "dialogs/Romadd.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "catalogue/Emusystem.h"
#include "catalogue/Useful.h"
#include "dialogs/FormParts.h"
#include "mainwindow/Settings.h"
#include "platform/Paths.h"

TRomAddDlg* RomAddDlg = nullptr;

TRomAddDlg::TRomAddDlg(QWidget* parent) : QDialog(parent) {
    Edit1 = new FileEdit;
    Edit1->setObjectName("Edit1");
    GroupBox1 = FormParts::GroupAround(this, "GroupBox1", tr("ROM"), Edit1);
    ComboBox1 = new QComboBox;
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setEditable(false);
    GroupBox2 = FormParts::GroupAround(this, "GroupBox2", tr("Emulator"), ComboBox1);
    BitBtn1 = FormParts::OkButton(this, "BitBtn1");
    BitBtn2 = FormParts::CancelButton(this, "BitBtn2");

    auto* left = new QVBoxLayout;
    left->addWidget(GroupBox1);
    left->addWidget(GroupBox2);
    left->addStretch(1);
    auto* all = new QHBoxLayout(this);
    all->addLayout(left, 1);
    all->addLayout(FormParts::ButtonColumn({BitBtn1, BitBtn2}));

    connect(BitBtn1, &QPushButton::clicked, this, &TRomAddDlg::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    setObjectName("RomAddDlg");
    setWindowTitle(tr("Add ROM..."));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    // A resizable frame: only its height is held to what the controls need.
    resize(sizeHint().expandedTo(QSize(315, 131)));
}

void TRomAddDlg::showEvent(QShowEvent* e) {
    FormShow();
    QDialog::showEvent(e);
}

void TRomAddDlg::FormShow() {
    ComboBox1->clear();
    const int32_t count = ::Emus ? ::Emus->EmuCount() : 0;
    for (int32_t i = 0; i < count; ++i) ComboBox1->addItem(FormParts::Shown(::Emus->GetEmu(i)->Name));
    ComboBox1->setCurrentIndex(count > 0 ? 0 : -1);
    Edit1->setFocus();
}

void TRomAddDlg::BitBtn1Click() {
    const EmulatorRecord* emu = ::Emus ? ::Emus->GetEmu(ComboBox1->currentIndex()) : nullptr;
    if (!emu) {
        ErrorBox("You must choose an Emulator!");
        return;
    }
    const std::string path = Edit1->text().toStdString();
    auto rom = NewRomRecord();
    // A cut path would name another file; a cut name is only a shorter label.
    if (!FitsField(rom->FilePath, path)) {
        ErrorBox("The path is too long: at most 255 bytes can be stored.");
        return;
    }
    rom->Emulator = *emu;
    SetFieldText(rom->Name, FileNamePart(path));
    SetFieldText(rom->FilePath, path);
    rom->TimesPlayed = 0;
    rom->LanguageIndex = 0;
    rom->TypeIndex = Settings.DefaultType;
    rom->Rating = Settings.DefaultRating;
    ::Emus->AddRom(std::move(rom));
    ::Emus->Stats().RecordAdded({path}, NowSeconds());
    ::Emus->SortRoms();
    accept();
}
