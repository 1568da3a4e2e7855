#pragma once

#include <QComboBox>
#include <QString>

namespace quorbit {

// The file-type drop-down above the file list. Its entries come from a filter
// text "description|masks|description|masks..."; each shows its description
// and keeps its mask text (such as "*.html;*.htm") as item data.
class TFilterComboBox : public QComboBox {
    Q_OBJECT

public:
    // Starts with the filter "All files (*.*)|*.*".
    explicit TFilterComboBox(QWidget* parent = nullptr);

    // Rebuilds the entries from `filter`, selects the first and emits changed();
    // a filter equal to the current one without regard to case changes nothing.
    void setFilter(const QString& filter);
    // The filter text the entries were built from.
    QString filter() const { return m_filter; }

    // The chosen entry's mask text; "*.*" when there are no entries. With none
    // chosen, chooses the last entry first, without emitting changed().
    QString mask();

signals:
    // The user picked an entry, or setFilter() rebuilt the entries.
    void changed();

private:
    QString m_filter;
};

} // namespace quorbit
