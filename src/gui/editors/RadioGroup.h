#pragma once

#include <QGroupBox>
#include <QStringList>

class QAbstractButton;
class QButtonGroup;

namespace tessaro {

// A titled group of exclusive choices, filled column by column; the choice is its 0-based item position.
class RadioGroup : public QGroupBox {
public:
    RadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent = nullptr);

    int count() const;
    // -1 when no item is chosen.
    int itemIndex() const;
    void setItemIndex(int index);
    QAbstractButton* button(int index) const;

private:
    QButtonGroup* m_buttons;
};

}  // namespace tessaro
