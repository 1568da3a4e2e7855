#include "browser/shellnotification.h"

#include <QSocketNotifier>

#include <algorithm>

namespace quorbit {

TStShellNotification::TStShellNotification(QObject* parent)
    : QObject(parent)
    , m_watch(std::make_shared<files::FolderWatch>())
{
    if (m_watch->isOpen()) {
        m_reports = std::make_unique<QSocketNotifier>(m_watch->descriptor(), QSocketNotifier::Read);
        connect(m_reports.get(), &QSocketNotifier::activated, this, [this] {
            for (const std::string& folder : m_watch->takeChanged()) {
                receive(folder);
            }
        });
    }
}

TStShellNotification::~TStShellNotification() = default;

void TStShellNotification::setWatchFolders(const std::vector<std::string>& folders)
{
    expectFolders(folders);
    // Folders are listed before their watch is in place: a change made between
    // the two is reported once the watch is there, so they are listed again.
    m_jobs.run([watch = m_watch, folders] { return watch->watchWanted(folders); },
               [this](std::vector<std::string> begun) {
                   QMetaObject::invokeMethod(
                       this,
                       [this, begun = std::move(begun)] {
                           for (const std::string& folder : begun) {
                               receive(folder);
                           }
                       },
                       Qt::QueuedConnection);
               });
}

void TStShellNotification::expectFolders(const std::vector<std::string>& folders)
{
    m_watched = folders;
    m_watch->want(folders);
    // Reports about folders no longer watched die with the watch.
    std::erase_if(m_waiting, [this](const std::string& folder) { return !expected(folder); });
}

bool TStShellNotification::expected(const std::string& folder) const
{
    return std::find(m_watched.begin(), m_watched.end(), folder) != m_watched.end();
}

void TStShellNotification::receive(const std::string& folder)
{
    if (!expected(folder) || (m_maxNotifications > 0 && static_cast<int>(m_waiting.size()) > m_maxNotifications)) {
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
        const std::string folder = m_waiting.front();
        m_waiting.pop_front();
        emit shellEvent(folder);
    }
}

} // namespace quorbit
