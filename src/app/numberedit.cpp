#include "app/numberedit.h"

#include <QLineEdit>

#include <algorithm>

namespace quorbit {

NumberEdit::NumberEdit(QWidget* parent)
    : QAbstractSpinBox(parent)
{
    lineEdit()->setMaxLength(5);
    setText(QString::number(minimum));
    setAccelerated(true);
}

QString NumberEdit::text() const
{
    return lineEdit()->text();
}

void NumberEdit::setText(const QString& text)
{
    lineEdit()->setText(text);
}

int NumberEdit::arrowPosition() const
{
    bool isNumber = false;
    const int typed = text().trimmed().toInt(&isNumber);
    return isNumber ? std::clamp(typed, minimum, maximum) : m_lastPosition;
}

void NumberEdit::stepBy(int steps)
{
    m_lastPosition = std::clamp(arrowPosition() + steps, minimum, maximum);
    setText(QString::number(m_lastPosition));
}

QAbstractSpinBox::StepEnabled NumberEdit::stepEnabled() const
{
    const int position = arrowPosition();
    StepEnabled enabled = StepNone;
    if (position < maximum) {
        enabled |= StepUpEnabled;
    }
    if (position > minimum) {
        enabled |= StepDownEnabled;
    }
    return enabled;
}

QValidator::State NumberEdit::validate(QString& input, int&) const
{
    return input.size() <= 5 ? QValidator::Acceptable : QValidator::Invalid;
}

} // namespace quorbit
