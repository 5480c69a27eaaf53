#pragma once
// The windows' side of the Progress seam: a line of text, a bar and a Stop button at the right
// end of a status bar, shown while long work runs. Meanwhile the windows keep painting, Esc or
// the Stop button asks the work to stop, and every other click and key is dropped, as while an
// emulator runs: the work holds the catalogue, and no command may change it underneath.

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/Progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

class StatusProgress : public QWidget, public Progress {
    Q_OBJECT
public:
    explicit StatusProgress(QWidget* parent = nullptr);
    ~StatusProgress() override;

    QLabel* WorkText;       // what the work says of itself ("120 files looked at, ...")
    QProgressBar* WorkBar;  // how far it has come; a busy bar while the total is not known
    QPushButton* WorkStop;  // "Stop"

    // Whether work is running.
    bool Busy() const { return !levels_.empty(); }
    // Asks the running work to stop at its next step (the Stop button, Esc, closing the window).
    void RequestStop() { stopAsked_ = true; }

    void Begin(const std::string& text, std::int64_t total) override;
    void Advance(std::int64_t done, const std::string& text) override;
    bool Cancelled() override { return stopAsked_; }
    void End() override;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    struct Level {
        std::string text;
        std::int64_t total = 0;
        std::int64_t done = 0;
    };
    void ShowLevel();
    void Pump();

    std::vector<Level> levels_;  // the work and the parts of it now running, outermost first
    bool stopAsked_ = false;
};
