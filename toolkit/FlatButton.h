#pragma once
// A small flat button carrying a picture, raised only under the mouse (the dialogs' add, remove
// and previous/next buttons).
#include <QIcon>
#include <QToolButton>

class FlatButton : public QToolButton {
    Q_OBJECT
public:
    FlatButton(const QIcon& picture, const QString& hint, QWidget* parent = nullptr);
};
