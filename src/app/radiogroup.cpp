#include "app/radiogroup.h"

#include "app/mnemonics.h"

#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace quorbit {

RadioGroup::RadioGroup(const QString& objectName, const QString& title, const QStringList& entries, QWidget* parent)
    : QGroupBox(title, parent)
{
    setObjectName(objectName);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    for (int position = 0; position < entries.size(); ++position) {
        auto* button = new QRadioButton(entries[position], this);
        button->setObjectName(objectName + QStringLiteral("Item%1").arg(position));
        m_buttons.addButton(button, position);
        layout->addWidget(button);
    }
    layout->addStretch();
    // Follows the checked button however it got checked: a click, a key, a
    // screen reader's toggle action or setChecked.
    connect(&m_buttons, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) {
            emit itemClicked(id);
        }
    });
}

int RadioGroup::count() const
{
    return static_cast<int>(m_buttons.buttons().size());
}

int RadioGroup::itemIndex() const
{
    return m_buttons.checkedId();
}

void RadioGroup::setItemIndex(int index)
{
    index = std::clamp(index, -1, count() - 1);
    if (index == itemIndex()) {
        return;
    }
    if (index < 0) {
        // An exclusive group keeps one button checked; none is only reached this way.
        m_buttons.setExclusive(false);
        m_buttons.checkedButton()->setChecked(false);
        m_buttons.setExclusive(true);
        emit itemClicked(index);
    } else {
        m_buttons.button(index)->setChecked(true); // tells itemClicked through idToggled
    }
}

void RadioGroup::setItemText(int index, const QString& text)
{
    if (QAbstractButton* button = m_buttons.button(index)) {
        button->setText(text);
    }
}

QString RadioGroup::itemText(int index) const
{
    const QAbstractButton* button = m_buttons.button(index);
    return button ? withoutMnemonic(button->text()) : QString();
}

void RadioGroup::setItemToolTip(int index, const QString& text)
{
    if (QAbstractButton* button = m_buttons.button(index)) {
        button->setToolTip(text);
    }
}

QString RadioGroup::itemToolTip(int index) const
{
    const QAbstractButton* button = m_buttons.button(index);
    return button ? button->toolTip() : QString();
}

} // namespace quorbit
