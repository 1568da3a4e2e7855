#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// Renames and moves that the browser's views do for the user. None ever
// replaces an existing entry; a taken name is reported instead.
namespace quorbit {

// Renames `name` in `folder` to `newName`. Empty when it was renamed, else
// the sentence that tells the user why not.
QString renameEntry(const QString& folder, const QString& name, const QString& newName);

// Moves the entries at `urls` into `folder`, or copies them with `copy`
// (files only). One sentence for each entry that was not moved or copied.
QStringList dropEntries(const QList<QUrl>& urls, const QString& folder, bool copy);

} // namespace quorbit
