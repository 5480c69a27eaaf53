#include "toolkit/RadioGroup.h"

#include <QVBoxLayout>

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
    auto* column = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        b->setObjectName(QString("Item%1").arg(i));
        group_->addButton(b, i);
        column->addWidget(b);
    }
    column->addStretch(1);
}

int RadioGroup::ItemIndex() const {
    return group_->checkedId();
}

void RadioGroup::SetItemIndex(int i) {
    if (QAbstractButton* b = group_->button(i)) {
        b->setChecked(true);
        return;
    }
    // Exclusive groups refuse to uncheck their last button; lift it for the moment.
    group_->setExclusive(false);
    for (QAbstractButton* b : group_->buttons()) b->setChecked(false);
    group_->setExclusive(true);
}

QRadioButton* RadioGroup::Item(int i) const {
    return qobject_cast<QRadioButton*>(group_->button(i));
}

int RadioGroup::Count() const {
    return static_cast<int>(group_->buttons().size());
}
