#include "catalogue/Splash.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

TSplashWnd* SplashWnd = nullptr;

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QColor& colour) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setAttribute(Qt::WA_TranslucentBackground);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, colour);
    l->setPalette(p);
    return l;
}

}  // namespace

TSplashWnd::TSplashWnd(QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::SplashScreen) {
    setObjectName("SplashWnd");
    setFixedSize(315, 160);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(0, 0, 315, 160);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);
    Panel1->setAutoFillBackground(true);
    QPalette black = Panel1->palette();
    black.setColor(QPalette::Window, Qt::black);
    Panel1->setPalette(black);

    Label2 = MakeLabel(Panel1, "Label2", "Tarnwick " TARNWICK_VERSION, Qt::red);
    QFont title("Comic Sans MS");
    title.setPixelSize(32);
    title.setBold(true);
    Label2->setFont(title);
    Label2->setAlignment(Qt::AlignCenter);

    Label1 = MakeLabel(Panel1, "Label1", "Tarnwick is Loading...", Qt::white);
    QFont small("MS Sans Serif");
    small.setPixelSize(11);
    Label1->setFont(small);
    Label1->setAlignment(Qt::AlignCenter);

    Progress = new QProgressBar(Panel1);
    Progress->setObjectName("Progress");
    Progress->setRange(0, 100);
    Progress->setValue(0);
    Progress->setTextVisible(false);
    Progress->setFixedSize(289, 21);

    Msg = MakeLabel(Panel1, "Msg", "Initializing program...", Qt::white);
    Msg->setFixedWidth(289);

    auto* layout = new QVBoxLayout(Panel1);
    layout->setContentsMargins(13, 8, 13, 10);
    layout->addWidget(Label2);
    layout->addWidget(Label1);
    layout->addStretch();
    layout->addWidget(Progress, 0, Qt::AlignHCenter);
    layout->addWidget(Msg, 0, Qt::AlignHCenter);

    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

void TSplashWnd::Advance(int step) {
    Progress->setValue(std::min(100, Progress->value() + step));
}
