#pragma once
// A captioned group of radio buttons in a column, one of them selected, addressed by position.
#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QStringList>

class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

    // Position of the selected item, -1 when none.
    int ItemIndex() const;
    // Selects item i; a position outside the items clears the selection.
    void SetItemIndex(int i);
    QRadioButton* Item(int i) const;
    int Count() const;

private:
    QButtonGroup* group_;
};
