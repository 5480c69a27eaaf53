#include "stalker/Stalkmain.h"

#include <algorithm>

#include <QCoreApplication>
#include <QComboBox>
#include <QBoxLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>

#include "catalogue/Progress.h"
#include "catalogue/Prompter.h"
#include "catalogue/Useful.h"
#include "dialogs/Help.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "stalker/StalkPack.h"
#include "toolkit/FileEdit.h"
#include "toolkit/FlatButton.h"
#include "toolkit/Pictures.h"
#include "toolkit/StatusPanels.h"

TStalkDlg* StalkDlg = nullptr;

namespace {

const char* const kRefusal = "You must specify at least the source\ndirectory and almost one filter!";
const char* const kStopQuestion = "After doing this file you really\nwant to stop the session?";
constexpr int kDefaultLevel = 9;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const char* caption) {
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, const QIcon& glyph) {
    auto* button = new QPushButton(glyph, caption, parent);
    button->setObjectName(name);
    return button;
}

// A folder box: the group with its one folder field.
FolderEdit* MakeFolderEdit(QGroupBox* box, const char* name) {
    auto* edit = new FolderEdit(box);
    edit->setObjectName(name);
    // As wide as the box the layout gives it, not as its text would like.
    edit->setSizePolicy(QSizePolicy::Ignored, edit->sizePolicy().verticalPolicy());
    edit->setMinimumWidth(150);
    auto* inside = new QVBoxLayout(box);
    inside->setContentsMargins(4, 0, 4, 2);
    inside->addWidget(edit);
    return edit;
}

// One of the flat buttons in the column right of the filter list.
FlatButton* MakeSpeedButton(QGroupBox* box, const char* name, const QIcon& glyph, const char* hint) {
    auto* button = new FlatButton(glyph, hint, box);
    button->setObjectName(name);
    return button;
}

QProgressBar* MakeBar(QWidget* parent, const char* name) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setFixedHeight(14);
    return bar;
}

}  // namespace

// One of the dialog's bars as a piece of work on the progress seam: a share of its total, a
// text in the status bar, and the dialog's stop flag as the answer to "stop?".
class BarProgress : public Progress {
public:
    BarProgress(QProgressBar* bar, StatusPanels* status, const bool& stop)
        : bar_(bar), status_(status), stop_(stop) {}
    void Begin(const std::string& text, std::int64_t all) override {
        total_ = all;
        bar_->setValue(0);
        ShowText(text);
    }
    void Advance(std::int64_t done, const std::string& text) override {
        if (total_ > 0)
            bar_->setValue(static_cast<int>(std::clamp<std::int64_t>(done * 100 / total_, 0, 100)));
        ShowText(text);
    }
    bool Cancelled() override { return stop_; }
    void End() override {}

private:
    void ShowText(const std::string& text) {
        if (!text.empty()) status_->SetPanel(0, Q(text));
    }
    QProgressBar* bar_;
    StatusPanels* status_;
    const bool& stop_;
    std::int64_t total_ = 0;
};

TStalkDlg::TStalkDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      Zip(std::make_unique<TZipArchiver>()) {
    setObjectName("StalkDlg");
    setWindowTitle("Stalker Engine 0.7");
    setModal(true);
    BuildLayout();
    runBar_ = std::make_unique<BarProgress>(ProgressBar1, StatusBar1, stop_);
    fileBar_ = std::make_unique<BarProgress>(ProgressBar2, StatusBar1, stop_);
    ConnectHandlers();
    Zip->SFXOptions = SFXOpts{SFXCheckSize};
    Zip->SFXCaption = "Self-extracting Archive";
    Zip->OnProgress = [this](TZipArchiver* sender, ProgressType type, const std::string& name,
                             std::int32_t size) { ZipProgress(sender, type, name, size); };
}

TStalkDlg::~TStalkDlg() {
    if (StalkDlg == this) StalkDlg = nullptr;
}

// The button row with the level choice; the two folder boxes beside the filter box; the two
// bars and the status bar. Laid out by size hints, so larger text never cuts a control, and
// fixed at 401 x 186 where everything fits in that, as it does at the usual font size.
void TStalkDlg::BuildLayout() {
    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(4, 4, 4, 0);
    all->setSpacing(2);
    all->addLayout(BuildButtonRow());
    GroupBox1 = MakeGroup(this, "GroupBox1", "Source Folder:");
    Source = MakeFolderEdit(GroupBox1, "Source");
    GroupBox2 = MakeGroup(this, "GroupBox2", "Destination Folder:");
    Dest = MakeFolderEdit(GroupBox2, "Dest");
    Dest->AllowNewFolder = true;
    auto* folders = new QVBoxLayout;
    folders->addWidget(GroupBox1);
    folders->addWidget(GroupBox2);
    auto* middle = new QHBoxLayout;
    middle->addLayout(folders, 228);
    middle->addWidget(BuildFilterBox(), 161);
    all->addLayout(middle, 1);
    ProgressBar1 = MakeBar(this, "ProgressBar1");
    ProgressBar2 = MakeBar(this, "ProgressBar2");
    all->addWidget(ProgressBar1);
    all->addWidget(ProgressBar2);
    StatusBar1 = new StatusPanels({0}, this);
    StatusBar1->setObjectName("StatusBar1");
    all->addWidget(StatusBar1);
    setFixedSize(all->sizeHint().expandedTo(QSize(401, 186)));
}

QHBoxLayout* TStalkDlg::BuildButtonRow() {
    BtnGo = MakeButton(this, "BtnGo", "&GO!", Pictures::Ok());
    BtnGo->setDefault(true);
    BtnStop = MakeButton(this, "BtnStop", "&Close", Pictures::Cancel());
    BitBtn1 = MakeButton(this, "BitBtn1", "&Help", Pictures::Help());

    Label1 = new QLabel("Compr. Lev:", this);
    Label1->setObjectName("Label1");
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    CL = new QComboBox(this);
    CL->setObjectName("CL");
    CL->setEditable(true);
    CL->setInsertPolicy(QComboBox::NoInsert);
    // Room for one digit, as the box never holds more.
    CL->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    CL->setMinimumContentsLength(2);
    for (int level = 0; level <= 9; ++level) CL->addItem(QString::number(level));
    Label1->setBuddy(CL);

    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    for (QWidget* w :
         {static_cast<QWidget*>(BtnGo), static_cast<QWidget*>(BtnStop), static_cast<QWidget*>(BitBtn1)})
        row->addWidget(w);
    row->addStretch(1);
    row->addWidget(Label1);
    row->addWidget(CL);
    return row;
}

QGroupBox* TStalkDlg::BuildFilterBox() {
    GroupBox3 = MakeGroup(this, "GroupBox3", "Filters:");
    Ext = new QListWidget(GroupBox3);
    Ext->setObjectName("Ext");
    Ext->setSelectionMode(QAbstractItemView::SingleSelection);
    // The list's own hint is a large square; it takes the room the folder boxes leave.
    Ext->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Ext->setMinimumSize(100, 40);
    SpeedButton3 = MakeSpeedButton(GroupBox3, "SpeedButton3", Pictures::Add(), "Add a filter");
    SpeedButton4 =
        MakeSpeedButton(GroupBox3, "SpeedButton4", Pictures::Remove(), "Remove the selected filter");
    SpeedButton5 = MakeSpeedButton(GroupBox3, "SpeedButton5", style()->standardIcon(QStyle::SP_DirOpenIcon),
                                   "Add a filter for a chosen file");
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(0);
    for (FlatButton* b : {SpeedButton3, SpeedButton4, SpeedButton5}) buttons->addWidget(b);
    buttons->addStretch(1);
    auto* inside = new QHBoxLayout(GroupBox3);
    inside->setContentsMargins(4, 0, 4, 2);
    inside->addWidget(Ext, 1);
    inside->addLayout(buttons);
    return GroupBox3;
}

void TStalkDlg::ConnectHandlers() {
    connect(BtnGo, &QPushButton::clicked, this, [this] { BtnGoClick(); });
    connect(BtnStop, &QPushButton::clicked, this, [this] { BtnStopClick(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(SpeedButton3, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });
    connect(SpeedButton4, &QToolButton::clicked, this, [this] { SpeedButton4Click(); });
    connect(SpeedButton5, &QToolButton::clicked, this, [this] { SpeedButton5Click(); });
}

int TStalkDlg::ShowModal() {
    return exec();
}

void TStalkDlg::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (e->spontaneous()) return;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    FormShow();
}

void TStalkDlg::FormShow() {
    CL->setCurrentIndex(CL->findText("9"));
}

// ---- Filters -----------------------------------------------------------------------------------

void TStalkDlg::SpeedButton3Click() {
    auto mask = CurrentPrompter().InputBox("Add Extension", "", "");
    if (mask && !mask->empty()) Ext->addItem(Q(*mask));
}

void TStalkDlg::SpeedButton4Click() {
    const QList<QListWidgetItem*> picked = Ext->selectedItems();
    if (picked.isEmpty()) return;
    delete Ext->takeItem(Ext->row(picked.front()));
}

void TStalkDlg::SpeedButton5Click() {
    const std::string source = Source->text().toStdString();
    auto file = CurrentPrompter().OpenFileName("Open", "All files (*.*)|*.*", source);
    if (!file || file->empty()) return;
    Ext->addItem(Q(FilterForPickedFile(*file, source)));
}

void TStalkDlg::BitBtn1Click() {
    ShowHelpTopic("stalkdlg");
}

std::vector<std::string> TStalkDlg::Masks() const {
    std::vector<std::string> masks;
    for (int i = 0; i < Ext->count(); ++i) masks.push_back(Ext->item(i)->text().toStdString());
    return masks;
}

std::string TStalkDlg::FilterForPickedFile(const std::string& path, const std::string& sourceFolder) {
    const std::string file = AbsolutePath(path);
    if (!sourceFolder.empty() && FolderPart(file) == WithTrailingSlash(AbsolutePath(sourceFolder)))
        return FileNamePart(file);
    return file;
}

// ---- The run -----------------------------------------------------------------------------------

int TStalkDlg::CompressionLevel() const {
    const int index = CL->findText(CL->currentText().trimmed(), Qt::MatchExactly);
    return index >= 0 ? index : kDefaultLevel;
}

std::string TStalkDlg::ArchiveName(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos) return fileName + ".zip";
    return fileName.substr(0, dot + 1) + "zip";
}

std::vector<std::string> TStalkDlg::CollectFiles(const std::string& sourceFolder,
                                                 const std::vector<std::string>& masks) {
    std::vector<std::string> files;
    for (const std::string& mask : masks) {
        const std::string spec = SlashPath(mask.starts_with('/') ? mask : sourceFolder + mask);
        const std::string folder = FolderPart(spec);
        for (const std::string& name : FindFiles(folder, FileNamePart(spec), FindPlainFiles))
            files.push_back(folder + name);
    }
    return files;
}

void TStalkDlg::BtnGoClick() {
    if (running_) return;
    stop_ = false;
    if (Source->text().isEmpty() || Ext->count() == 0) {
        ErrorBox(kRefusal);
        return;
    }
    const std::string source = WithTrailingSlash(Source->text().toStdString());
    if (!FolderExists(source)) {
        ErrorBox("The source folder does not exist:\n" + Source->text().toStdString());
        return;
    }
    SetBars(0, 0);
    const std::string dest = Dest->text().isEmpty() ? source : WithTrailingSlash(Dest->text().toStdString());
    Zip->AddCompLevel = CompressionLevel();
    const std::vector<std::string> files = CollectFiles(source, Masks());
    const std::vector<std::string> notPacked = PackAll(files, dest);
    // A stopped run leaves the bars where it stopped.
    if (!stop_) SetBars(100, 100);
    SetStatus(stop_ ? "Aborted by user" : "Done");
    stop_ = false;
    ReportNotPacked(notPacked, files.size());
}

std::vector<std::string> TStalkDlg::PackAll(const std::vector<std::string>& files, const std::string& dest) {
    SetRunning(true);
    struct BackToIdle {
        TStalkDlg* dlg;
        ~BackToIdle() {
            dlg->packRun_ = nullptr;
            dlg->SetRunning(false);
        }
    } backToIdle{this};

    // Full paths, made here: no worker depends on the current folder.
    PackRun run;
    for (const std::string& file : files)
        run.Add(AbsolutePath(file), AbsolutePath(dest + ArchiveName(FileNamePart(file))));
    ProgressRun overall(*runBar_, "", static_cast<std::int64_t>(files.size()));
    run.overall = &overall;
    packRun_ = &run;
    RunWorkers(run);

    if (stop_) overall.Report(static_cast<std::int64_t>(run.done));
    std::vector<std::string> notPacked;
    for (const std::string& failure : run.failures)
        if (!failure.empty()) notPacked.push_back(failure);
    return notPacked;
}

void TStalkDlg::RunWorkers(PackRun& run) {
    const unsigned workers = static_cast<unsigned>(std::min<std::size_t>(WorkerCount, run.groups.size()));
    std::vector<std::unique_ptr<TZipArchiver>> zips;
    std::vector<std::unique_ptr<WorkerZipUi>> seams;
    for (unsigned w = 0; w < workers; ++w) {
        zips.push_back(std::make_unique<TZipArchiver>());
        seams.push_back(std::make_unique<WorkerZipUi>(this, Zip->Ui()));
        zips[w]->SetUi(seams[w].get());
        CopyAddSettings(*Zip, *zips[w]);
    }
    ZipBusyCursor busy(Zip->Ui());
    std::vector<std::thread> threads;
    for (unsigned w = 0; w < workers; ++w)
        threads.emplace_back([this, &run, zip = zips[w].get(), w] { PackOnWorker(run, *zip, w); });
    // The reports come in through the event queue; each worker's last one says it has ended.
    while (run.workersEnded < workers) {
        Zip->Ui().ProcessMessages();
        if (run.workersEnded < workers) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    for (std::thread& t : threads) t.join();
}

void TStalkDlg::PackOnWorker(PackRun& run, TZipArchiver& zip, unsigned worker) {
    const auto post = [this](auto work) { QMetaObject::invokeMethod(this, work, Qt::QueuedConnection); };
    zip.OnProgress = [&](TZipArchiver*, ProgressType type, const std::string& name, std::int32_t size) {
        post([=, this] { WorkerProgress(worker, type, name, size); });
    };
    zip.OnMessage = [&](TZipArchiver*, int code, const std::string& text) {
        post([=, this] {
            if (Zip->OnMessage) Zip->OnMessage(Zip.get(), code, text);
        });
    };
    for (std::size_t group; !run.halt && (group = run.nextGroup++) < run.groups.size();)
        for (std::size_t k : run.groups[group]) {
            if (run.halt) break;
            if (!PackFile(zip, run.files[k], run.archives[group]))
                run.failures[k] = FileNamePart(run.files[k]) + ": " + zip.LastMessage();
            post([this] { FileHandedBack(); });
        }
    post([&run] { ++run.workersEnded; });
}

bool TStalkDlg::PackFile(TZipArchiver& zip, const std::string& file, const std::string& archive) {
    // A mask such as *.* also lists the archives of an earlier run in the same folder; one of
    // them would be packed into itself, nested one level deeper at every run.
    if (archive == file) return true;
    zip.FSpecArgs.assign(1, file);
    zip.SetFileName(archive);
    zip.Add();
    return zip.SuccessCount() > 0;
}

void TStalkDlg::WorkerProgress(unsigned worker, ProgressType type, const std::string& name,
                               std::int32_t size) {
    if (!packRun_) return;
    if (type == ptFileBegin) packRun_->currentWorker = worker;
    if (worker == packRun_->currentWorker) ZipProgress(Zip.get(), type, name, size);
}

void TStalkDlg::FileHandedBack() {
    if (!packRun_) return;
    // The bar trails by one file while the run goes on: it reaches 100 only at the end.
    ++packRun_->done;
    packRun_->overall->Report(static_cast<std::int64_t>(packRun_->done - 1));
}

// The engine's own complaints (a file gone, a folder that cannot be written) reach only the
// component's message event, never a box; without this summary a run that packed nothing
// would end looking like one that packed everything.
void TStalkDlg::ReportNotPacked(const std::vector<std::string>& notPacked, std::size_t listed) {
    if (notPacked.empty()) return;
    constexpr std::size_t kShown = 10;
    std::string text =
        std::to_string(notPacked.size()) + " of " + std::to_string(listed) + " files were not packed:";
    for (std::size_t i = 0; i < notPacked.size() && i < kShown; ++i) text += "\n" + notPacked[i];
    if (notPacked.size() > kShown) text += "\n... and " + std::to_string(notPacked.size() - kShown) + " more";
    ErrorBox(text);
}

void TStalkDlg::ZipProgress(TZipArchiver*, ProgressType ProgrType, const std::string& FileName,
                            std::int32_t FileSize) {
    switch (ProgrType) {
        case ptFileBegin:
            if (fileBegun_) fileBar_->End();
            fileBegun_ = true;
            bytesDone_ = 0;
            fileBar_->Begin(
                "Processing: " + FileNamePart(FileName) + " (" + std::to_string(FileSize / 1024) + " Kb)",
                FileSize);
            break;
        case ptBytesDone:
            bytesDone_ += FileSize;
            fileBar_->Advance(bytesDone_, "");
            break;
        case ptBatchEnd:
            if (fileBegun_) fileBar_->End();
            fileBegun_ = false;
            break;
        default:
            break;
    }
}

// ---- Stopping and closing ----------------------------------------------------------------------

void TStalkDlg::AskStop() {
    stop_ = QuestionBox(kStopQuestion);
    if (packRun_) packRun_->halt = stop_;
}

void TStalkDlg::BtnStopClick() {
    if (running_) {
        AskStop();
        return;
    }
    if (FormClose()) QDialog::reject();
}

bool TStalkDlg::FormClose() {
    if (running_) {
        AskStop();
        return false;
    }
    Zip->Unload_Zip_Dll();
    return true;
}

void TStalkDlg::reject() {
    BtnStopClick();
}

void TStalkDlg::SetRunning(bool on) {
    running_ = on;
    BtnGo->setEnabled(!on);
    BtnStop->setText(on ? "&Stop" : "&Close");
    // The run has read these; changing them now would only mislead.
    for (QWidget* w : {static_cast<QWidget*>(GroupBox1), static_cast<QWidget*>(GroupBox2),
                       static_cast<QWidget*>(GroupBox3), static_cast<QWidget*>(CL)})
        w->setEnabled(!on);
}

void TStalkDlg::SetStatus(const std::string& text) {
    StatusBar1->SetPanel(0, Q(text));
}

void TStalkDlg::SetBars(int overall, int current) {
    ProgressBar1->setValue(overall);
    ProgressBar2->setValue(current);
}
