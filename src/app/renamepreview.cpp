#include "app/renamepreview.h"

#include "platform/background.h"

namespace quorbit {

namespace {

// Long enough to take a typed word as one request, short enough to feel immediate.
constexpr int pauseMs = 100;

PreviewMark markOf(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Unchanged:
        return PreviewMark::Unchanged;
    case Verdict::Renamed:
        return PreviewMark::WillRename;
    case Verdict::Taken:
        return PreviewMark::Taken;
    case Verdict::SharedTarget:
        return PreviewMark::WantedTwice;
    case Verdict::Unsafe:
    case Verdict::Failed: // only a move fails, never a plan
        return PreviewMark::Unsafe;
    case Verdict::RefusedCharacter:
        return PreviewMark::RefusedCharacter;
    case Verdict::TooLong:
        return PreviewMark::TooLong;
    case Verdict::InvalidPattern:
        return PreviewMark::InvalidPattern;
    case Verdict::PatternTooSlow:
        return PreviewMark::PatternTooSlow;
    }
    return PreviewMark::Unsafe;
}

} // namespace

RenamePreview::RenamePreview(std::function<Job()> takeJob, QObject* parent)
    : QObject(parent)
    , m_takeJob(std::move(takeJob))
    , m_worker([this] { work(); })
{
    m_pause.setSingleShot(true);
    m_pause.setInterval(pauseMs);
    connect(&m_pause, &QTimer::timeout, this, &RenamePreview::start);
}

RenamePreview::~RenamePreview()
{
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
        m_cancelled = true;
    }
    m_wake.notify_one();
    m_worker.join();
}

void RenamePreview::request()
{
    cancel();
    m_pause.start();
}

void RenamePreview::cancel()
{
    ++m_generation;
    m_pause.stop();
    const std::lock_guard lock(m_mutex);
    m_pending.reset();
    m_cancelled = true;
}

void RenamePreview::start()
{
    Job job = m_takeJob();
    {
        const std::lock_guard lock(m_mutex);
        m_pending.emplace(m_generation, std::move(job));
    }
    m_wake.notify_one();
}

void RenamePreview::work()
{
    platform::yieldToWindow();
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return m_quit || m_pending; });
        if (m_quit) {
            return;
        }
        const auto [generation, job] = std::move(*m_pending);
        m_pending.reset();
        m_cancelled = false;
        lock.unlock();
        if (std::shared_ptr<Result> result = preview(job)) {
            // The thread is joined before this object goes, and a call still
            // queued then goes with it.
            QMetaObject::invokeMethod(
                this,
                [this, generation, result] {
                    if (generation == m_generation) {
                        emit ready(result);
                    }
                },
                Qt::QueuedConnection);
        }
        // The plan the preview was made from is freed by now.
        platform::returnFreedMemory();
        lock.lock();
    }
}

std::shared_ptr<RenamePreview::Result> RenamePreview::preview(const Job& job) const
{
    auto result = std::make_shared<Result>();
    if (!job.settings) {
        return result;
    }
    std::optional<RunPreview> planned = RenameRun::preview(*job.settings, job.tagNames, &m_cancelled);
    if (m_cancelled) {
        return nullptr;
    }
    if (!planned) {
        return result;
    }
    const FolderPlan& shown = planned->shown;
    std::size_t nameBytes = 0;
    std::size_t newNameBytes = 0;
    for (const PlannedEntry& entry : shown.entries()) {
        nameBytes += entry.name.size();
        newNameBytes += entry.newName.size();
    }
    result->entries.reserve(shown.size(), nameBytes, newNameBytes);
    for (const PlannedEntry& entry : shown.entries()) {
        result->entries.add(entry.name, entry.newName, markOf(entry.verdict), entry.photoWithoutDate);
    }
    result->patternError = std::move(planned->patternError);
    if (job.settings->subfolders) {
        result->subfolderCounts = Result::Counts{planned->renamed, planned->notRenamed, planned->folderCount};
    }
    return result;
}

} // namespace quorbit
