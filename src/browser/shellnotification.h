#pragma once

#include "platform/background.h"
#include "platform/folderwatch.h"

#include <QObject>

#include <deque>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;

namespace quorbit {

// Change reports for watched folders, delivered on the main thread in the
// order they came, once the current event handler is done. At most
// maxNotifications + 1 reports wait; later ones are dropped until the queue
// is worked off, so a burst of changes gives a bounded number of reactions and
// the last report waiting always gives one more. Folders are their bytes.
class TStShellNotification : public QObject {
    Q_OBJECT

public:
    explicit TStShellNotification(QObject* parent = nullptr);
    ~TStShellNotification() override;

    // Watches exactly `folders` from now on, each added on a thread of its
    // own; an empty list stops watching.
    void setWatchFolders(const std::vector<std::string>& folders);
    // Watches of folders other than `folders` end, and reports about them are
    // dropped, from now on, for a thread of its own to tell folderWatch() to
    // watch them (watchWanted): a folder of a million entries takes the kernel
    // a third of a second to watch, one on a drive that stopped answering as
    // long as the drive takes.
    void expectFolders(const std::vector<std::string>& folders);
    // The kernel's watches; shared, so another thread may outlive this object.
    std::shared_ptr<files::FolderWatch> folderWatch() const { return m_watch; }
    // 0 for no limit.
    void setMaxNotifications(int limit) { m_maxNotifications = limit; }

    // Takes a report as the platform would deliver it.
    void receive(const std::string& folder);

signals:
    // Something in `folder` was created, deleted, renamed or changed.
    void shellEvent(const std::string& folder);

private:
    void workOff();
    bool expected(const std::string& folder) const;

    std::shared_ptr<files::FolderWatch> m_watch;
    platform::DetachedJobs m_jobs;
    std::unique_ptr<QSocketNotifier> m_reports;
    std::vector<std::string> m_watched;
    std::deque<std::string> m_waiting;
    int m_maxNotifications = 0;
};

} // namespace quorbit
