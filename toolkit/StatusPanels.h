#pragma once
// A status bar made of fixed panels addressed by number, each holding one text. Setting a new
// text repaints the bar at once so that it shows while a long loop runs, unless the caller is
// about to return to the event loop anyway.
#include <QLabel>
#include <QStatusBar>
#include <QString>
#include <vector>

class StatusPanels : public QStatusBar {
    Q_OBJECT
public:
    // widths: one entry per panel, in pixels; 0 makes the panel take the room that is left.
    StatusPanels(const std::vector<int>& widths, QWidget* parent = nullptr);

    int PanelCount() const { return static_cast<int>(panels_.size()); }
    QString Panel(int i) const;
    // Now paints the window's pending changes at once; Later leaves them to the event loop. A
    // synchronous paint also paints everything else waiting, such as a list just refilled.
    enum class Paint { Now, Later };
    // Sets panel i's text; a position outside the bar is ignored.
    void SetPanel(int i, const QString& text, Paint paint = Paint::Now);
    // Widens panel i to show its whole text; it never gets narrower than it was made.
    void WidenToFit(int i);

private:
    std::vector<QLabel*> panels_;
    std::vector<int> widths_;  // as made; 0 for the panel that takes the rest
};
