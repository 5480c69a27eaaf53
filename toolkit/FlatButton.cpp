#include "toolkit/FlatButton.h"

FlatButton::FlatButton(const QIcon& picture, const QString& hint, QWidget* parent) : QToolButton(parent) {
    setIcon(picture);
    setIconSize(QSize(16, 16));
    setAutoRaise(true);
    setToolTip(hint);
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(24, 24);
}
