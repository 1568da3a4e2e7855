#pragma once

#include "rename/entrypreview.h"
#include "rename/renamerun.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace quorbit {

// Works out on a thread of its own what a rename run with the window's choices
// would do, so the list shows the new names while the user is still choosing.
// Requests in quick succession make one preview; a request calls off the
// preview under way, and a result a later request has outdated is dropped.
class RenamePreview : public QObject {
    Q_OBJECT

public:
    // What a preview reads, taken on the window's thread when it starts.
    struct Job {
        // Nothing when no operation is chosen; its generator is a copy of the program's.
        std::optional<RunSettings> settings;
        TagNameSource tagNames; // its own: a source's tag readers serve one thread
    };

    struct Result {
        ListPreview entries; // of the chosen folder; empty when no run could start
        // What the run would do in all the folders it visits, with sub-folders on.
        struct Counts {
            std::size_t renamed = 0;
            std::size_t notRenamed = 0;
            int folderCount = 0;
        };
        std::optional<Counts> subfolderCounts;
        std::string patternError; // ICU's word on a regular expression that does not compile
    };

    // `takeJob` is asked for the job each time a preview starts.
    explicit RenamePreview(std::function<Job()> takeJob, QObject* parent = nullptr);
    // Calls off the preview under way and waits for its thread.
    ~RenamePreview() override;

    // A preview is wanted; it starts once the requests pause.
    void request();
    // No preview is wanted now: the one waiting or under way is called off.
    void cancel();

signals:
    // The preview of the latest request.
    void ready(const std::shared_ptr<Result>& result);

private:
    void start();
    void work();
    // The preview of `job`; nothing when it was called off.
    std::shared_ptr<Result> preview(const Job& job) const;

    std::function<Job()> m_takeJob;
    QTimer m_pause;
    std::uint64_t m_generation = 0; // the latest request's; the window's thread only
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<std::pair<std::uint64_t, Job>> m_pending; // under m_mutex
    bool m_quit = false; // under m_mutex
    // Set under m_mutex; the preview under way reads it as it goes.
    std::atomic<bool> m_cancelled{false};
    std::thread m_worker;
};

} // namespace quorbit
