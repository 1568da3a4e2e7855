#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

namespace quorbit {

// A titled group of radio buttons in one column, with one entry or none
// selected, addressed by position as the settings and language files do.
class RadioGroup : public QGroupBox {
    Q_OBJECT

public:
    RadioGroup(const QString& objectName, const QString& title, const QStringList& entries, QWidget* parent = nullptr);

    int count() const;
    // The selected entry's position; -1 when none is.
    int itemIndex() const;
    // Selects the entry at `index` by the stored-value rule: below -1 selects
    // none, past the last entry selects the last. Emits itemClicked when the
    // selection changes, as a click would.
    void setItemIndex(int index);
    void setItemText(int index, const QString& text);
    // The entry's caption as shown, without its mnemonic's "&".
    QString itemText(int index) const;
    void setItemToolTip(int index, const QString& text);
    QString itemToolTip(int index) const;

signals:
    // The selection changed, by a click, a key, an accessibility action or
    // setItemIndex; once a change, never for a click on the selected entry.
    void itemClicked(int index);

private:
    QButtonGroup m_buttons;
};

} // namespace quorbit
