#include "catalogue/Scan.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "catalogue/Emusystem.h"
#include "catalogue/Prompter.h"
#include "dialogs/FormParts.h"
#include "dialogs/Help.h"
#include "platform/Files.h"
#include "toolkit/Pictures.h"

TScanDlg* ScanDlg = nullptr;

TScanDlg::TScanDlg(QWidget* parent) : QDialog(parent) {
    BuildPlaceBoxes();
    BuildFilterBox();
    BuildLayout();
    ConnectHandlers();
    FormParts::FixFrame(this, "ScanDlg", tr("Scan"), 360, 320);
}

void TScanDlg::BuildPlaceBoxes() {
    Emus = new QComboBox;
    Emus->setObjectName("Emus");
    Emus->setEditable(false);
    GroupBox2 = FormParts::GroupAround(this, "GroupBox2", tr("Emulator:"), Emus);
    Dir = new FolderEdit;
    Dir->setObjectName("Dir");
    GroupBox3 = FormParts::GroupAround(this, "GroupBox3", tr("Folder:"), Dir);
}

void TScanDlg::BuildFilterBox() {
    GroupBox1 = new QGroupBox(tr("Filters:"), this);
    GroupBox1->setObjectName("GroupBox1");
    Extensions = new QListWidget(GroupBox1);
    Extensions->setObjectName("Extensions");
    // Two columns: items run down the first column, then wrap into the second.
    Extensions->setFlow(QListView::TopToBottom);
    Extensions->setWrapping(true);
    Extensions->setResizeMode(QListView::Adjust);
    Extensions->setUniformItemSizes(true);
    Extensions->setGridSize(QSize(120, 18));
    Extensions->setMinimumHeight(80);
    Extensions->setMaximumHeight(120);
    SpeedButton1 = new FlatButton(Pictures::Add(), tr("Add a filter"), GroupBox1);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton2 = new FlatButton(Pictures::Remove(), tr("Remove the selected filter"), GroupBox1);
    SpeedButton2->setObjectName("SpeedButton2");
    Check = new QCheckBox(tr("&Check for duplicates"), GroupBox1);
    Check->setObjectName("Check");
    SubDirs = new QCheckBox(tr("Include &subfolders"), GroupBox1);
    SubDirs->setObjectName("SubDirs");
    auto* side = new QVBoxLayout;
    side->addWidget(SpeedButton1);
    side->addWidget(SpeedButton2);
    side->addStretch(1);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(Extensions, 1);
    listRow->addLayout(side);
    auto* filters = new QVBoxLayout(GroupBox1);
    filters->addLayout(listRow, 1);
    filters->addWidget(Check);
    filters->addWidget(SubDirs);
}

void TScanDlg::BuildLayout() {
    BitBtn2 = FormParts::OkButton(this, "BitBtn2");
    BitBtn1 = FormParts::CancelButton(this, "BitBtn1");
    BitBtn3 = FormParts::HelpButton(this, "BitBtn3");

    auto* left = new QVBoxLayout;
    left->addWidget(GroupBox2);
    left->addWidget(GroupBox3);
    left->addWidget(GroupBox1, 1);
    auto* all = new QHBoxLayout(this);
    all->addLayout(left, 1);
    all->addLayout(FormParts::ButtonColumn({BitBtn2, BitBtn1, BitBtn3}));
}

void TScanDlg::ConnectHandlers() {
    connect(SpeedButton1, &QToolButton::clicked, this, &TScanDlg::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TScanDlg::SpeedButton2Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TScanDlg::BitBtn2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn3, &QPushButton::clicked, this, &TScanDlg::BitBtn3Click);
}

void TScanDlg::showEvent(QShowEvent* e) {
    FormShow();
    QDialog::showEvent(e);
}

void TScanDlg::FormShow() {
    Emus->clear();
    if (::Emus)
        for (int32_t i = 0; i < ::Emus->EmuCount(); ++i)
            Emus->addItem(FormParts::Shown(::Emus->GetEmu(i)->Name));
    Emus->setCurrentIndex(Emus->count() > 0 ? 0 : -1);
    Extensions->clear();
    Extensions->addItem("*.ZIP");
    Extensions->setCurrentRow(0);
    Check->setChecked(true);
}

void TScanDlg::SpeedButton1Click() {
    auto answer = CurrentPrompter().InputBox("Extension", "Extension:", "");
    if (answer && !answer->empty()) Extensions->addItem(QString::fromStdString(PatternOf(*answer)));
}

void TScanDlg::SpeedButton2Click() {
    const QList<QListWidgetItem*> selected = Extensions->selectedItems();
    if (!selected.isEmpty()) delete selected.first();
}

void TScanDlg::BitBtn2Click() {
    if (Emus->currentIndex() >= 0 && Extensions->count() > 0) {
        accept();
        return;
    }
    CurrentPrompter().MessageBox("Error", "You must provide at least a file extension and an emulator",
                                 BoxIcon::None, BoxButtons::Ok);
}

void TScanDlg::BitBtn3Click() {
    ShowHelpTopic("scandlg");
}

std::vector<std::string> TScanDlg::Filters() const {
    std::vector<std::string> filters;
    for (int i = 0; i < Extensions->count(); ++i)
        filters.push_back(Extensions->item(i)->text().toStdString());
    return filters;
}

std::optional<ScanResult> TScanDlg::ScanSelected(Progress& progress) {
    const EmulatorRecord* emu = ::Emus ? ::Emus->GetEmu(Emus->currentIndex()) : nullptr;
    if (!emu) return std::nullopt;
    return ::Emus->ScanFolder(*emu, Dir->text().toStdString(), Filters(), Check->isChecked(),
                              SubDirs->isChecked(), progress);
}
