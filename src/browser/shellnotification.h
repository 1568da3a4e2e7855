#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>

#include <deque>

namespace quorbit {

// Change reports for watched folders, delivered on the main thread in the
// order they came, once the current event handler is done. At most
// maxNotifications + 1 reports wait; later ones are dropped until the queue
// is worked off, so a burst of changes gives a bounded number of reactions and
// the last report waiting always gives one more.
class TStShellNotification : public QObject {
    Q_OBJECT

public:
    explicit TStShellNotification(QObject* parent = nullptr);

    // Watches exactly `folders` from now on; an empty list stops watching.
    void setWatchFolders(const QStringList& folders);
    // 0 for no limit.
    void setMaxNotifications(int limit) { m_maxNotifications = limit; }

    // Takes a report as the platform would deliver it.
    void receive(const QString& folder);

signals:
    // Something in `folder` was created, deleted, renamed or changed.
    void shellEvent(const QString& folder);

private:
    void workOff();

    QFileSystemWatcher m_watcher;
    std::deque<QString> m_waiting;
    int m_maxNotifications = 0;
};

} // namespace quorbit
