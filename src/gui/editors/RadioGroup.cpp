#include "gui/editors/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

namespace tessaro {

RadioGroup::RadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(title, parent), m_buttons(new QButtonGroup(this)) {
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 4, 4, 4);
    layout->setHorizontalSpacing(6);
    layout->setVerticalSpacing(0);
    const int rows = (int(items.size()) + columns - 1) / columns;
    for (int position = 0; position < int(items.size()); ++position) {
        auto* choice = new QRadioButton(items[position], this);
        m_buttons->addButton(choice, position);
        layout->addWidget(choice, position % rows, position / rows);
    }
}

int RadioGroup::count() const {
    return int(m_buttons->buttons().size());
}

int RadioGroup::itemIndex() const {
    return m_buttons->checkedId();
}

void RadioGroup::setItemIndex(int index) {
    if (QAbstractButton* chosen = m_buttons->button(index)) {
        chosen->setChecked(true);
        return;
    }
    // An exclusive group refuses to uncheck its last button.
    m_buttons->setExclusive(false);
    for (QAbstractButton* choice : m_buttons->buttons()) choice->setChecked(false);
    m_buttons->setExclusive(true);
}

QAbstractButton* RadioGroup::button(int index) const {
    return m_buttons->button(index);
}

}  // namespace tessaro
