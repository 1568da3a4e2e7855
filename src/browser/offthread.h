#pragma once

#include "platform/background.h"

#include <QObject>

#include <utility>

namespace quorbit {

// How long a folder's listing may take before the window says its drive is not answering.
constexpr int notAnsweringMs = 1000;

// Runs work() on a thread of `jobs` and hands its result to done() on
// `receiver`'s thread, where the window's objects live; dropped when the
// receiver is gone by then. Header only, so that a widget outside the browser
// needs no more than its header.
template <class Work, class Done>
void runOffThread(platform::DetachedJobs& jobs, QObject* receiver, Work work, Done done)
{
    jobs.run(std::move(work), [receiver, done = std::move(done)](auto result) {
        QMetaObject::invokeMethod(
            receiver, [done, result = std::move(result)]() mutable { done(std::move(result)); }, Qt::QueuedConnection);
    });
}

} // namespace quorbit
