#include "browser/shellnotification.h"

#include <QSet>

namespace quorbit {

TStShellNotification::TStShellNotification(QObject* parent)
    : QObject(parent)
{
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &TStShellNotification::receive);
}

void TStShellNotification::setWatchFolders(const QStringList& folders)
{
    const QStringList watched = m_watcher.directories();
    const QSet<QString> wanted(folders.begin(), folders.end());
    QStringList gone;
    for (const QString& folder : watched) {
        if (!wanted.contains(folder)) {
            gone << folder;
        }
    }
    if (!gone.isEmpty()) {
        m_watcher.removePaths(gone);
    }
    QStringList added;
    for (const QString& folder : folders) {
        if (!watched.contains(folder) && !folder.isEmpty()) {
            added << folder;
        }
    }
    if (!added.isEmpty()) {
        m_watcher.addPaths(added); // a folder that cannot be watched is simply not reported
    }
    // Reports about folders no longer watched die with the watch.
    std::erase_if(m_waiting, [&](const QString& folder) { return !wanted.contains(folder); });
}

void TStShellNotification::receive(const QString& folder)
{
    if (m_maxNotifications > 0 && static_cast<int>(m_waiting.size()) > m_maxNotifications) {
        return;
    }
    m_waiting.push_back(folder);
    if (m_waiting.size() == 1) {
        QMetaObject::invokeMethod(this, &TStShellNotification::workOff, Qt::QueuedConnection);
    }
}

void TStShellNotification::workOff()
{
    while (!m_waiting.empty()) {
        const QString folder = m_waiting.front();
        m_waiting.pop_front();
        emit shellEvent(folder);
    }
}

} // namespace quorbit
