#include "app/numberedit.h"

#include <QLineEdit>

#include <algorithm>

namespace quorbit {

NumberEdit::NumberEdit(QWidget* parent)
    : QAbstractSpinBox(parent)
{
    lineEdit()->setMaxLength(5);
    setText(QString::number(defaultLeast));
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

void NumberEdit::setLeast(int least)
{
    m_least = least;
    m_lastPosition = std::clamp(m_lastPosition, m_least, maximum);
}

int NumberEdit::arrowPosition() const
{
    bool isNumber = false;
    const int typed = text().trimmed().toInt(&isNumber);
    return isNumber ? std::clamp(typed, m_least, maximum) : m_lastPosition;
}

void NumberEdit::stepBy(int steps)
{
    m_lastPosition = std::clamp(arrowPosition() + steps, m_least, maximum);
    setText(QString::number(m_lastPosition));
}

QAbstractSpinBox::StepEnabled NumberEdit::stepEnabled() const
{
    const int position = arrowPosition();
    StepEnabled enabled = StepNone;
    if (position < maximum) {
        enabled |= StepUpEnabled;
    }
    if (position > m_least) {
        enabled |= StepDownEnabled;
    }
    return enabled;
}

QValidator::State NumberEdit::validate(QString& input, int&) const
{
    const bool refusedSign = m_least >= 0 && input.contains(QLatin1Char('-'));
    return input.size() <= 5 && !refusedSign ? QValidator::Acceptable : QValidator::Invalid;
}

} // namespace quorbit
