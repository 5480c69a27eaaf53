#pragma once
// TStalkDlg, the Stalker: packs every file of a source folder that matches one of a list of
// masks into a zip archive of its own (game.eu.smc into game.eu.zip), in a destination folder,
// at a chosen compression level. Modal; created once at start-up and reused, so the folders and
// the filter list stay from one showing to the next.
//
// Callers (the main window's "Import ROMs..." command) call ShowModal(). Tests find the controls
// by object name (they carry the names below) and call the handlers as a user's action would.

#include <QDialog>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "zip/ZipArchiver.h"

class QPushButton;
class QGroupBox;
class QListWidget;
class QLabel;
class QComboBox;
class QProgressBar;
class QShowEvent;
class FolderEdit;
class FlatButton;
class StatusPanels;
class BarProgress;
struct PackRun;

class QHBoxLayout;

class TStalkDlg : public QDialog {
    Q_OBJECT
public:
    explicit TStalkDlg(QWidget* parent = nullptr);
    ~TStalkDlg() override;

    // Controls, named as on the form.
    QPushButton* BtnGo;    // "&GO!", default button: starts a run
    QPushButton* BtnStop;  // "&Close" / "&Stop": Esc; closes or asks to stop
    QPushButton* BitBtn1;  // help, topic "stalkdlg"
    QGroupBox* GroupBox1;  // "Source Folder:"
    FolderEdit* Source;
    QGroupBox* GroupBox2;               // "Destination Folder:"
    FolderEdit* Dest;                   // its folder dialog may create a new folder
    QGroupBox* GroupBox3;               // "Filters:"
    QListWidget* Ext;                   // masks, one per line (*.nes)
    FlatButton* SpeedButton3;           // add a typed mask
    FlatButton* SpeedButton4;           // remove the selected mask
    FlatButton* SpeedButton5;           // add a mask for a file picked in the open dialog
    QLabel* Label1;                     // "Compr. Lev:"
    QComboBox* CL;                      // "0" .. "9", editable
    QProgressBar* ProgressBar1;         // whole run, 0-100
    QProgressBar* ProgressBar2;         // current file, 0-100
    StatusPanels* StatusBar1;           // run messages, one panel
    std::unique_ptr<TZipArchiver> Zip;  // the dialog's own zip component

    // How many files are packed at once, each on a thread of its own: one per processor.
    unsigned WorkerCount = std::max(1u, std::thread::hardware_concurrency());

    // Shows the dialog modally and returns when it has closed.
    int ShowModal();

    // Handlers, as bound on the form.
    void FormShow();
    void BtnGoClick();
    void BtnStopClick();
    // Asked when the dialog is about to close; false keeps it open (a run is on).
    bool FormClose();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void BitBtn1Click();
    // The zip component's progress event (ptFileBegin, ptBytesDone; others change nothing).
    void ZipProgress(TZipArchiver* Sender, ProgressType ProgrType, const std::string& FileName,
                     std::int32_t FileSize);

    // The run's state, readable by tests.
    bool Running() const { return running_; }
    bool StopRequested() const { return stop_; }
    // The compression level a run uses for the current text of CL.
    int CompressionLevel() const;

    // Pure parts of a run, public so they can be checked without a window.
    // The archive name for a file name without folder: up to and including its last dot,
    // then "zip"; a name without a dot keeps the whole name ("README" gives "README.zip").
    static std::string ArchiveName(const std::string& fileName);
    // The filter line a file picked with SpeedButton5 becomes: its name alone when it lies in
    // the source folder, else its full path (a line beginning with '/' is searched as given).
    static std::string FilterForPickedFile(const std::string& path, const std::string& sourceFolder);
    // The run's file list: for each mask in order, the plain files it matches (the source folder
    // followed by the mask, or the mask itself when it begins with '/'), in name order, as full
    // paths; a file matched by two masks is listed twice.
    static std::vector<std::string> CollectFiles(const std::string& sourceFolder,
                                                 const std::vector<std::string>& masks);

protected:
    void showEvent(QShowEvent* e) override;

public slots:
    void reject() override;  // Esc, the title-bar close and BtnStop all end in BtnStopClick

private:
    void BuildLayout();
    QHBoxLayout* BuildButtonRow();
    QGroupBox* BuildFilterBox();
    void ConnectHandlers();
    void SetRunning(bool on);
    void AskStop();
    // Packs the files on WorkerCount threads until the last or a confirmed stop, in the running
    // state, the overall bar showing the files done and the file bar the file begun last;
    // returns "name: message" for each file that got no archive, in list order. The dialog's
    // thread shows the workers' reports and boxes meanwhile, and takes the clicks on Stop.
    std::vector<std::string> PackAll(const std::vector<std::string>& files, const std::string& dest);
    // Starts the workers, each with a zip component of its own set as the dialog's is, and shows
    // their reports until the last has ended.
    void RunWorkers(PackRun& run);
    // A worker's loop: the next archive's files, one by one, until none is left or a stop.
    void PackOnWorker(PackRun& run, TZipArchiver& zip, unsigned worker);
    // Hands one file to a component; false when it got no archive. An archive of the run
    // itself is left as it is.
    static bool PackFile(TZipArchiver& zip, const std::string& file, const std::string& archive);
    // On the dialog's thread: a worker's progress event, and a file a worker has finished.
    void WorkerProgress(unsigned worker, ProgressType type, const std::string& name, std::int32_t size);
    void FileHandedBack();
    void ReportNotPacked(const std::vector<std::string>& notPacked, std::size_t listed);
    void SetStatus(const std::string& text);
    void SetBars(int overall, int current);
    std::vector<std::string> Masks() const;

    bool stop_ = false;  // a stop was confirmed; the run ends after the files in progress
    bool running_ = false;
    PackRun* packRun_ = nullptr;  // the run in progress
    // The two bars as the progress seam sees them: the whole run in files, the file being
    // packed in bytes (fed by the zip component's progress event).
    std::unique_ptr<BarProgress> runBar_;
    std::unique_ptr<BarProgress> fileBar_;
    bool fileBegun_ = false;
    std::int64_t bytesDone_ = 0;  // of the file being packed; 64-bit, so x 100 cannot overflow
};

// The one Stalker of the run (created at start-up).
extern TStalkDlg* StalkDlg;
