#pragma once
// TSplashWnd: the borderless loading window shown while the windows are created.

#include <QWidget>

class QFrame;
class QLabel;
class QProgressBar;

class TSplashWnd : public QWidget {
    Q_OBJECT
public:
    explicit TSplashWnd(QWidget* parent = nullptr);

    QFrame* Panel1;
    QLabel* Label2;          // "Tarnwick 2.0"
    QLabel* Label1;          // "Tarnwick is Loading..."
    QProgressBar* Progress;  // 0..100, advanced by 10 per created window
    QLabel* Msg;             // "Initializing program..."

    void Advance(int step = 10);
};

// The splash of the run while it exists; the main window's first showing destroys it and
// clears this reference.
extern TSplashWnd* SplashWnd;
