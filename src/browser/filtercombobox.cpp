#include "browser/filtercombobox.h"

#include "listing/filtertext.h"

namespace quorbit {

TFilterComboBox::TFilterComboBox(QWidget* parent)
    : QComboBox(parent)
{
    setEditable(false);
    setAccessibleName(QStringLiteral("File type"));
    // Only the user's choices count as changes: the index also moves when the
    // entries are rebuilt or mask() chooses one, and those report themselves.
    connect(this, &QComboBox::activated, this, &TFilterComboBox::changed);
    setFilter(QStringLiteral("All files (*.*)|*.*"));
}

void TFilterComboBox::setFilter(const QString& filter)
{
    if (filter.compare(m_filter, Qt::CaseInsensitive) == 0) {
        return;
    }
    m_filter = filter;
    clear();
    for (const listing::FilterEntry& entry : listing::parseFilter(filter.toStdString())) {
        addItem(QString::fromStdString(entry.description), QString::fromStdString(entry.maskText));
    }
    setCurrentIndex(0);
    emit changed();
}

QString TFilterComboBox::mask()
{
    if (currentIndex() < 0 && count() > 0) {
        setCurrentIndex(count() - 1);
    }
    if (currentIndex() < 0) {
        return QStringLiteral("*.*");
    }
    return currentData().toString();
}

} // namespace quorbit
