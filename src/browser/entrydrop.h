#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "browser/browsertexts.h"
#include "platform/background.h"

#include <functional>
#include <string>

class QObject;

// Renames and moves that the browser's views do for the user. Names and
// folders are the bytes the file system holds. None ever replaces an existing
// entry; a taken name is reported instead.
namespace quorbit {

// Renames `name` in `folder` to `newName`. Empty when it was renamed, else
// the sentence, in `texts`' words, that tells the user why not.
QString renameEntry(const std::string& folder, const std::string& name, const std::string& newName,
                    const BrowserTexts& texts);

// Moves the entries at the file URLs `urls` into `folder`, or copies them with
// `copy` (files only). One sentence for each entry that was not moved or copied.
QStringList dropEntries(const QList<QUrl>& urls, const std::string& folder, bool copy, const BrowserTexts& texts);

// dropEntries on a thread of `jobs`, as a drive may take long to answer.
// `failed` is called on `receiver`'s thread with the sentences, one a line,
// when an entry was not moved or copied.
void dropEntriesAside(platform::DetachedJobs& jobs, QObject* receiver, const QList<QUrl>& urls,
                      const std::string& folder, bool copy, const BrowserTexts& texts,
                      std::function<void(const QString& text)> failed);

} // namespace quorbit
