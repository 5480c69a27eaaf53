#include "toolkit/StatusPanels.h"

#include <algorithm>

StatusPanels::StatusPanels(const std::vector<int>& widths, QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    for (int w : widths) {
        auto* panel = new QLabel(this);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setObjectName(QString("Panel%1").arg(panels_.size()));
        if (w > 0) {
            panel->setFixedWidth(w);
            addWidget(panel);
        } else {
            addWidget(panel, 1);
        }
        panels_.push_back(panel);
        widths_.push_back(w);
    }
}

QString StatusPanels::Panel(int i) const {
    if (i < 0 || i >= PanelCount()) return {};
    return panels_[i]->text();
}

void StatusPanels::SetPanel(int i, const QString& text, Paint paint) {
    // The same text again (a loop reporting each step) costs no paint.
    if (i < 0 || i >= PanelCount() || panels_[i]->text() == text) return;
    panels_[i]->setText(text);
    // Long loops do not return to the event loop; paint now so the text is seen.
    if (paint == Paint::Now && isVisible()) repaint();
}

void StatusPanels::WidenToFit(int i) {
    if (i < 0 || i >= PanelCount() || widths_[i] == 0) return;
    QLabel* panel = panels_[i];
    const int needed = panel->fontMetrics().horizontalAdvance(panel->text()) + 2 * panel->frameWidth() + 6;
    panel->setFixedWidth(std::max(widths_[i], needed));
}
