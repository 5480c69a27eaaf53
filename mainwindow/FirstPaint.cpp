#include "mainwindow/FirstPaint.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QPointer>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Sees the first paint event go by and queues its work, which then runs once the event loop has
// finished painting; it then lets go of the widgets and goes.
class FirstPaintWatch : public QObject {
public:
    FirstPaintWatch(std::initializer_list<QWidget*> widgets, std::function<void()> then)
        : QObject(qApp), then_(std::move(then)) {
        for (QWidget* w : widgets) {
            watched_.emplace_back(w);
            w->installEventFilter(this);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && then_) {
            QMetaObject::invokeMethod(qApp, std::exchange(then_, nullptr), Qt::QueuedConnection);
            for (const QPointer<QWidget>& w : watched_)
                if (w) w->removeEventFilter(this);
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> then_;
    std::vector<QPointer<QWidget>> watched_;
};

}  // namespace

void AfterFirstPaint(std::initializer_list<QWidget*> widgets, std::function<void()> then) {
    new FirstPaintWatch(widgets, std::move(then));
}

bool StartupMeasureAsked(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--measure-startup") == 0) return true;
    return false;
}

void EndAfterFirstPaint(QAbstractItemView* report, QAbstractItemView* icons) {
    AfterFirstPaint({report->viewport(), icons->viewport()}, [] {
        std::fflush(nullptr);
        _exit(0);  // no close: nothing is written
    });
}
