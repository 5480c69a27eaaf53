#include "mainwindow/ErrorDisplay.h"

#include "catalogue/Prompter.h"

void ShowException(const std::string& text) {
    CurrentPrompter().MessageBox("Tarnwick", text, BoxIcon::Stop, BoxButtons::Ok);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

namespace {
int dispatchDepth = 0;
}  // namespace

bool TApplication::notify(QObject* receiver, QEvent* e) {
    struct Depth {
        Depth() { ++dispatchDepth; }
        ~Depth() { --dispatchDepth; }
    } depth;
    bool handled = false;
    Guarded([&] { handled = QApplication::notify(receiver, e); });
    return handled;
}

int TApplication::DispatchDepth() {
    return dispatchDepth;
}
