#pragma once
// Clicks as a user makes them: the window tests find an action or a button by its object name
// and trigger it through the application's event dispatcher, so a control that is missing,
// hidden, disabled or carried by no widget fails the test instead of running its handler.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace trigger_detail {

// Receives one event and runs a call in it, so the call goes through QApplication::notify
// (TApplication's error display) as a real click's handler does.
class DispatchedCall : public QObject {
public:
    explicit DispatchedCall(std::function<void()> call) : call_(std::move(call)) {}
    bool event(QEvent* e) override {
        if (e->type() != QEvent::User) return QObject::event(e);
        call_();
        return true;
    }

private:
    std::function<void()> call_;
};

inline void ThroughDispatcher(std::function<void()> call) {
    DispatchedCall target(std::move(call));
    QEvent e(QEvent::User);
    QCoreApplication::sendEvent(&target, &e);
}

// The windows a user can reach: the modal one while it is up, else every top-level window.
inline std::vector<QWidget*> ReachableWindows() {
    if (QWidget* modal = QApplication::activeModalWidget()) return {modal};
    std::vector<QWidget*> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!qobject_cast<QMenu*>(w)) windows.push_back(w);
    return windows;
}

// Whether a widget would be seen once its window is shown (tests often keep windows hidden).
inline bool Shown(const QWidget* w) {
    return w->isVisibleTo(w->window()) || w->isVisible();
}

// Whether some widget carries the action: a menu (opened on demand, so its own visibility is not
// asked), or a tool bar, tool button or window that is shown.
inline bool Carried(QAction* action) {
    for (QObject* o : action->associatedObjects()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w && (qobject_cast<QMenu*>(w) || Shown(w))) return true;
    }
    return false;
}

inline std::string Fault(QAction* a) {
    if (!a->isEnabled()) return "is disabled";
    if (!a->isVisible()) return "is hidden";
    if (!Carried(a)) return "is in no menu, tool bar or window";
    return "";
}

inline std::string Fault(QAbstractButton* b) {
    if (!b->isEnabled()) return "is disabled";
    if (!Shown(b)) return "is hidden";
    return "";
}

}  // namespace trigger_detail

namespace trigger_detail {

inline bool TriggerAmong(const std::string& name, const std::vector<QWidget*>& windows) {
    const QString qname = QString::fromStdString(name);
    std::vector<QAction*> actions;
    std::vector<QAbstractButton*> buttons;
    for (QWidget* w : windows) {
        for (QAction* a : w->findChildren<QAction*>(qname)) actions.push_back(a);
        for (QAbstractButton* b : w->findChildren<QAbstractButton*>(qname)) buttons.push_back(b);
    }
    if (actions.size() + buttons.size() != 1) {
        ADD_FAILURE() << "Trigger(\"" << name << "\"): "
                      << (actions.empty() && buttons.empty() ? "no action or button of that name"
                                                             : "more than one control of that name");
        return false;
    }
    const std::string fault = actions.empty() ? Fault(buttons[0]) : Fault(actions[0]);
    if (!fault.empty()) {
        ADD_FAILURE() << "Trigger(\"" << name << "\"): the control " << fault;
        return false;
    }
    if (actions.empty())
        ThroughDispatcher([b = buttons[0]] { b->click(); });
    else
        ThroughDispatcher([a = actions[0]] { a->trigger(); });
    return true;
}

}  // namespace trigger_detail

// Triggers the action or clicks the button named name in the windows a user can reach (the
// modal window while one is up). Fails the test and answers false when no such control is
// there, when more than one is, or when it is disabled or hidden; an action must also be
// carried by a menu, a shown tool bar or button, or a shown window (for its shortcut).
inline bool Trigger(const std::string& name) {
    return trigger_detail::TriggerAmong(name, trigger_detail::ReachableWindows());
}

// The same within one window, for tests that keep several windows with like-named controls.
// A window behind another's modal one cannot be clicked.
inline bool Trigger(QWidget& window, const std::string& name) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != window.window()) {
        ADD_FAILURE() << "Trigger(\"" << name << "\"): another window is modal";
        return false;
    }
    return trigger_detail::TriggerAmong(name, {&window});
}
