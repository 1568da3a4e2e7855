#include "app/commandthread.h"

#include <QMetaObject>
#include <QProgressBar>
#include <QWidget>

#include <utility>

namespace quorbit {

CommandProgress::CommandProgress(QWidget& strip, QProgressBar& bar, const std::atomic<bool>& stopRequested)
    : m_strip(&strip)
    , m_bar(&bar)
    , m_stopRequested(stopRequested)
{
}

void CommandProgress::showProgress()
{
    QMetaObject::invokeMethod(m_strip, &QWidget::show, Qt::QueuedConnection);
}

void CommandProgress::setProgressPosition(int position)
{
    if (std::exchange(m_position, position) != position) {
        QMetaObject::invokeMethod(
            m_bar, [bar = m_bar, position] { bar->setValue(position); }, Qt::QueuedConnection);
    }
}

void CommandProgress::hideProgress()
{
    QMetaObject::invokeMethod(m_strip, &QWidget::hide, Qt::QueuedConnection);
}

} // namespace quorbit
