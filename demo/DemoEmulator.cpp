// The demo emulator: a stand-in that shows what it was started with (its arguments, its working
// folder, and for each argument that names a file, the file's size and first line), so the demo
// catalogue can be tried without any real emulator. Closing its window ends it, and the front-end
// goes on.
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

QString Describe(const QString& arg) {
    QFileInfo info(arg);
    if (!info.exists()) return QString("  %1").arg(arg);
    if (info.isDir()) return QString("  %1   (a folder)").arg(arg);
    QFile f(arg);
    QString first;
    if (f.open(QIODevice::ReadOnly)) first = QString::fromLatin1(f.readLine(80)).trimmed();
    return QString("  %1   (%2 bytes%3)")
        .arg(arg)
        .arg(info.size())
        .arg(first.isEmpty() ? "" : ", begins \"" + first + "\"");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments();
    QString text =
        "Program:\n  " + args.value(0) + "\n\nWorking folder:\n  " + QDir::currentPath() + "\n\nArguments:\n";
    if (args.size() == 1) text += "  (none)\n";
    for (int i = 1; i < args.size(); ++i) text += Describe(args[i]) + "\n";

    QDialog window;
    window.setWindowTitle("Tarnwick Demo Emulator");
    auto* layout = new QVBoxLayout(&window);
    auto* title = new QLabel("<b>The demo emulator was started.</b> A real emulator would now run the game.");
    layout->addWidget(title);
    auto* report = new QPlainTextEdit(text);
    report->setReadOnly(true);
    report->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(report);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);
    layout->addWidget(buttons);
    window.resize(640, 320);
    window.exec();
    return 0;
}
