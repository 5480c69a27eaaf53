#include "toolkit/RadioGroup.h"

#include <QVBoxLayout>

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), Group(new QButtonGroup(this)) {
    auto* column = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        b->setObjectName(QString("Item%1").arg(i));
        Group->addButton(b, i);
        column->addWidget(b);
    }
    column->addStretch(1);
}

int RadioGroup::ItemIndex() const { return Group->checkedId(); }

void RadioGroup::SetItemIndex(int i) {
    if (QAbstractButton* b = Group->button(i)) {
        b->setChecked(true);
        return;
    }
    // Exclusive groups refuse to uncheck their last button; lift it for the moment.
    Group->setExclusive(false);
    for (QAbstractButton* b : Group->buttons()) b->setChecked(false);
    Group->setExclusive(true);
}

QRadioButton* RadioGroup::Item(int i) const {
    return qobject_cast<QRadioButton*>(Group->button(i));
}

int RadioGroup::Count() const { return static_cast<int>(Group->buttons().size()); }
