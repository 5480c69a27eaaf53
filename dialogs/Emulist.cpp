#include "dialogs/Emulist.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <string>

#include "catalogue/Emusystem.h"
#include "catalogue/Useful.h"
#include "dialogs/Emuadd.h"
#include "dialogs/FormParts.h"
#include "dialogs/Help.h"
#include "toolkit/Pictures.h"

TEmuListDlg* EmuListDlg = nullptr;

namespace {

// A ROM belongs to the emulator whose Name equals its copy's Name, byte for byte.
bool Linked(const RomRecord& rom, std::string_view emuName) {
    return FieldView(rom.Emulator.Name) == emuName;
}

}  // namespace

TEmuListDlg::TEmuListDlg(QWidget* parent) : QDialog(parent) {
    Emus = new QListWidget(this);
    Emus->setObjectName("Emus");
    Emus->setSelectionMode(QAbstractItemView::SingleSelection);
    BitBtn3 = FormParts::Button(this, "BitBtn3", tr("&Add"), Pictures::Add());
    BitBtn4 = FormParts::Button(this, "BitBtn4", tr("&Remove"), Pictures::Remove());
    BitBtn5 = FormParts::Button(this, "BitBtn5", tr("&Properties..."), Pictures::Properties());
    BitBtn2 = FormParts::HelpButton(this, "BitBtn2");
    BitBtn1 = FormParts::OkButton(this, "BitBtn1");
    StatusBar = new StatusPanels({70, 40, 0}, this);
    StatusBar->setObjectName("StatusBar");
    StatusBar->SetPanel(0, tr("Emulators:"));

    auto* top = new QHBoxLayout;
    top->addWidget(Emus, 1);
    top->addLayout(FormParts::ButtonColumn({BitBtn3, BitBtn4, BitBtn5, BitBtn2, BitBtn1}));
    auto* all = new QVBoxLayout(this);
    all->addLayout(top, 1);
    all->addWidget(StatusBar);

    connect(BitBtn3, &QPushButton::clicked, this, &TEmuListDlg::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TEmuListDlg::BitBtn4Click);
    connect(BitBtn5, &QPushButton::clicked, this, &TEmuListDlg::BitBtn5Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TEmuListDlg::BitBtn2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Emus, &QListWidget::itemDoubleClicked, this, &TEmuListDlg::BitBtn5Click);

    FormParts::FixFrame(this, "EmuListDlg", tr("Emulators List"), 270, 209);
}

void TEmuListDlg::showEvent(QShowEvent* e) {
    FormShow();
    QDialog::showEvent(e);
}

void TEmuListDlg::FormShow() {
    RefreshList();
}

void TEmuListDlg::RefreshList() {
    Emus->clear();
    const int32_t count = ::Emus ? ::Emus->EmuCount() : 0;
    for (int32_t i = 0; i < count; ++i) Emus->addItem(FormParts::Shown(::Emus->GetEmu(i)->Name));
    StatusBar->SetPanel(1, QString::number(count));
}

void TEmuListDlg::SetStatus(const QString& text) {
    StatusBar->SetPanel(2, text);
}

void TEmuListDlg::RefreshMainList() {
    SetStatus(tr("Refreshing main List..."));
    if (FillRomList) FillRomList();
}

void TEmuListDlg::BitBtn3Click() {
    if (!AddDlg || !::Emus) return;
    AddDlg->PrepareNew();
    if (AddDlg->exec() != QDialog::Accepted || !AddDlg->NewEmu) return;
    ::Emus->AddEmu(std::move(AddDlg->NewEmu));
    ::Emus->SortEmus();
    RefreshList();
}

void TEmuListDlg::BitBtn4Click() {
    const int row = Emus->currentRow();
    if (!::Emus || row < 0 || !Emus->item(row)->isSelected() || !::Emus->GetEmu(row)) return;
    const std::string name = FieldText(::Emus->GetEmu(row)->Name);
    if (QuestionBox("Do you want to delete the all the ROMs\npreviously linked to this Emulator?")) {
        // Slots are only emptied here, so positions stay put until the one pack at the end.
        for (int32_t i = 0; i < ::Emus->RomCount(); ++i) {
            SetStatus(tr("Deleting ROMs..."));
            const RomRecord* rom = ::Emus->GetRom(i);
            if (rom && Linked(*rom, name)) ::Emus->MarkRomRemoved(i);
        }
        ::Emus->PackRoms();
    }
    ::Emus->DeleteEmu(row);
    RefreshMainList();
    RefreshList();
    SetStatus("");
}

void TEmuListDlg::BitBtn5Click() {
    const int row = Emus->currentRow();
    if (!AddDlg || !::Emus || row < 0 || !Emus->item(row)->isSelected()) return;
    EmulatorRecord* emu = ::Emus->GetEmu(row);
    if (!emu) return;
    AddDlg->PrepareFrom(*emu);
    if (AddDlg->exec() != QDialog::Accepted || !AddDlg->NewEmu) return;
    const std::unique_ptr<EmulatorRecord> changed = std::move(AddDlg->NewEmu);
    // The emulator's own record still holds the old name: it finds the ROMs to carry over.
    const std::string oldName = FieldText(emu->Name);
    if (QuestionBox("Do you want to update the changes to all \nthe ROMs linked to this Emulator?")) {
        for (int32_t i = 0; i < ::Emus->RomCount(); ++i) {
            RomRecord* rom = ::Emus->GetRom(i);
            if (rom && Linked(*rom, oldName)) rom->Emulator = *changed;
        }
    }
    *emu = *changed;
    SetStatus(tr("Sorting Emus..."));
    ::Emus->SortEmus();
    RefreshMainList();
    RefreshList();
    SetStatus("");
}

void TEmuListDlg::BitBtn2Click() {
    ShowHelpTopic("emulist");
}
