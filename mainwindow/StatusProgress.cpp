#include "mainwindow/StatusProgress.h"

#include <algorithm>

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "mainwindow/Windows.h"

StatusProgress::StatusProgress(QWidget* parent) : QWidget(parent) {
    setObjectName("WorkProgress");
    WorkText = new QLabel(this);
    WorkText->setObjectName("WorkText");
    WorkBar = new QProgressBar(this);
    WorkBar->setObjectName("WorkBar");
    WorkBar->setTextVisible(false);
    WorkBar->setFixedWidth(120);
    WorkStop = new QPushButton("Stop", this);
    WorkStop->setObjectName("WorkStop");
    WorkStop->setToolTip("Stop (Esc)");
    WorkStop->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(WorkText);
    layout->addWidget(WorkBar);
    layout->addWidget(WorkStop);
    connect(WorkStop, &QPushButton::clicked, this, [this] { RequestStop(); });
    hide();
}

StatusProgress::~StatusProgress() {
    if (Busy()) qApp->removeEventFilter(this);
}

void StatusProgress::Begin(const std::string& text, std::int64_t total) {
    if (levels_.empty()) {
        stopAsked_ = false;
        qApp->installEventFilter(this);
        show();
    }
    levels_.push_back({text, total, 0});
    ShowLevel();
    Pump();
}

void StatusProgress::Advance(std::int64_t done, const std::string& text) {
    if (levels_.empty()) return;
    levels_.back().done = done;
    if (!text.empty()) levels_.back().text = text;
    ShowLevel();
    Pump();
}

void StatusProgress::End() {
    if (levels_.empty()) return;
    levels_.pop_back();
    if (!levels_.empty()) {
        ShowLevel();
        return;
    }
    qApp->removeEventFilter(this);
    hide();
}

void StatusProgress::ShowLevel() {
    const Level& level = levels_.back();
    WorkText->setText(QString::fromStdString(level.text));
    if (level.total > 0) {
        WorkBar->setRange(0, 100);
        WorkBar->setValue(
            static_cast<int>(std::min<std::int64_t>(level.done, level.total) * 100 / level.total));
    } else {
        WorkBar->setRange(0, 0);  // moving to and fro: alive, how far unknown
    }
}

// Paints what changed and delivers what waits, the user's input through the filter below.
void StatusProgress::Pump() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool StatusProgress::eventFilter(QObject* watched, QEvent* e) {
    if (!IsUserInput(e->type())) return false;
    if (e->type() == QEvent::Shortcut) return true;  // sent to actions: no command runs meanwhile
    // The window system's own windows hand each event on to the widget it is for: judge it there.
    if (!watched->isWidgetType()) return false;
    if (e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride) {
        if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
            e->accept();  // an override taken here makes the key arrive as a key press
            if (e->type() == QEvent::KeyPress) RequestStop();
            return true;
        }
    }
    const auto* widget = static_cast<QWidget*>(watched);
    const bool onStop = widget == WorkStop || WorkStop->isAncestorOf(widget);
    // A launch's input block drops every click, the button's own too: a press on it stops there.
    if (onStop && UserInputBlock::Active()) {
        if (e->type() == QEvent::MouseButtonPress) RequestStop();
        return true;
    }
    return !onStop;
}
