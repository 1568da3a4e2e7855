#pragma once

#include <QAbstractSpinBox>

namespace quorbit {

// The number box of the options panel: up to five typed characters (the run
// checks them and names a bad one), and arrows that step between the least
// number the operation takes and 999 from the number typed there. Where that
// least is 0 or more, a minus sign is refused as it is typed.
class NumberEdit : public QAbstractSpinBox {
    Q_OBJECT

public:
    static constexpr int defaultLeast = 1;
    static constexpr int maximum = 999;

    explicit NumberEdit(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    void setLeast(int least);
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;
    QValidator::State validate(QString& input, int& position) const override;

private:
    // Where the arrows stand: the typed number within their range, or their
    // last place when the text is no number.
    int arrowPosition() const;

    int m_least = defaultLeast;
    int m_lastPosition = defaultLeast;
};

} // namespace quorbit
