#include "dialogs/About.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QUrl>
#include <QVBoxLayout>

#include "dialogs/FormParts.h"
#include "toolkit/Pictures.h"

TAboutDlg* AboutDlg = nullptr;

const char* const TAboutDlg::WebAddress = TARNWICK_WEB_ADDRESS;

namespace {

QLabel* Line(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

}  // namespace

TAboutDlg::TAboutDlg(QWidget* parent) : QDialog(parent) {
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    Image1 = new QLabel(Panel1);
    Image1->setObjectName("Image1");
    Image1->setPixmap(Pictures::Emblem(0));
    Image2 = new QLabel(Panel1);
    Image2->setObjectName("Image2");
    Image2->setPixmap(Pictures::Emblem(1));
    Label1 = Line(Panel1, "Label1", "Tarnwick");
    Label1->setFont(QFont("Comic Sans MS", 24, QFont::Bold));
    Label2 = Line(Panel1, "Label2", TARNWICK_VERSION);
    Label2->setFont(QFont("Comic Sans MS", 12));
    Label2->setStyleSheet("color: navy;");
    Label3 = Line(Panel1, "Label3", tr("Written by the Tarnwick developers"));
    Label4 = Line(Panel1, "Label4", tr("For Extended Thanks See The Help File"));
    Label5 = Line(Panel1, "Label5", QString("<a href=\"%1\" style=\"color: blue;\">%1</a>").arg(WebAddress));
    Label5->setTextFormat(Qt::RichText);
    Label5->setOpenExternalLinks(false);
    Label5->setCursor(Qt::PointingHandCursor);
    Label5->setToolTip(tr("Open the web site in your browser"));
    Label5->setVisible(WebAddress[0] != '\0');  // no address is made up while the project has none

    auto* title = new QHBoxLayout;
    title->addWidget(Image1);
    title->addWidget(Label1, 1);
    title->addWidget(Image2);
    auto* inside = new QVBoxLayout(Panel1);
    inside->addLayout(title);
    for (QLabel* l : {Label2, Label3, Label4, Label5}) inside->addWidget(l);

    BitBtn1 = FormParts::OkButton(this, "BitBtn1");
    auto* all = new QVBoxLayout(this);
    all->addWidget(Panel1, 1);
    all->addWidget(BitBtn1, 0, Qt::AlignHCenter);

    connect(Label5, &QLabel::linkActivated, this, &TAboutDlg::Label5Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    FormParts::FixFrame(this, "AboutDlg", tr("About"), 273, 213);
}

void TAboutDlg::Label5Click() {
    // The browser's answer is not looked at: nothing happens here when it fails.
    QDesktopServices::openUrl(QUrl(WebAddress));
}
