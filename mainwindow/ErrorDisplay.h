#pragma once
// The application's standard error display: a failure that escapes an event handler is shown
// in a box with its text, and the program goes on.

#include <QApplication>
#include <exception>
#include <string>

// The box: caption "Tarnwick", stop icon, OK, the failure's own text.
void ShowException(const std::string& text);

// Runs a handler; a failure that escapes it is shown by ShowException.
template <class F>
void Guarded(F&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowException(e.what());
    } catch (...) {
        ShowException("Unknown error");
    }
}

// The application object: its event dispatcher catches what escapes any event handler.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* e) override;
    // How many events are being handled, one inside another: 1 while the event loop handles one
    // event, more while a handler below pumps events (a dialog, a wait, a long work).
    static int DispatchDepth();
};
