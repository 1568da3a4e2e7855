#include "app/windowplace.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QSplitter>
#include <QTimer>

#include <algorithm>

namespace quorbit {

namespace {

// The splitters whose pane sizes the settings file keeps, in its order.
QList<QSplitter*> keptSplitters(const QMainWindow& window)
{
    return {window.findChild<QSplitter*>(QStringLiteral("Splitter2")),
            window.findChild<QSplitter*>(QStringLiteral("SplitterTags"))};
}

// A place is used only while enough of it shows on some screen to grab it.
bool showsOnAScreen(const QRect& frame)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [&frame](const QScreen* screen) {
        const QRect seen = screen->availableGeometry().intersected(frame);
        return seen.width() >= 100 && seen.height() >= 50;
    });
}

} // namespace

void restoreWindowPlace(QMainWindow& window, const std::optional<settings::WindowGeometry>& stored)
{
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 970, 684);
    if (stored && showsOnAScreen(QRect(stored->left, stored->top, stored->width, stored->height))) {
        window.resize(stored->width, stored->height);
        window.move(stored->left, stored->top); // the frame's corner, as saved
        if (stored->maximized) {
            window.setWindowState(window.windowState() | Qt::WindowMaximized);
        }
    } else {
        const auto fitAndCentre = [&window, available] {
            const QSize frame = window.frameGeometry().size() - window.size();
            window.resize(window.size().boundedTo(available.size() - frame));
            QRect centred = window.frameGeometry();
            centred.moveCenter(available.center());
            window.move(centred.topLeft());
        };
        window.resize(970, 684);
        fitAndCentre();
        // The frame is known only once the window is shown: fit and centre it again by its real size.
        QTimer::singleShot(0, &window, [&window, fitAndCentre] {
            if (window.isVisible() && window.windowState() == Qt::WindowNoState) {
                fitAndCentre();
            }
        });
    }
    // Lay the panes out at this size first, or the splitters would share out a default one.
    window.layout()->activate();
    const std::vector<int> none;
    const std::vector<int>& kept = stored ? stored->splitters : none;
    auto sizes = kept.begin();
    for (QSplitter* splitter : keptSplitters(window)) {
        if (!splitter) {
            continue;
        }
        if (std::distance(sizes, kept.end()) >= splitter->count()) {
            splitter->setSizes(QList<int>(sizes, sizes + splitter->count()));
            sizes += splitter->count();
        } else {
            // A pane squeezed by a small screen would otherwise take back its first size as the window grows;
            // the tag panel starts at its own height rather than folded.
            QList<int> fresh = splitter->sizes();
            if (splitter->orientation() == Qt::Vertical && fresh.size() == 2) {
                // Not laid out yet while hidden: the window's height stands in for the splitter's.
                const int total = std::max(fresh[0] + fresh[1], window.height());
                fresh[1] = std::min(splitter->widget(1)->sizeHint().height(), total / 2);
                fresh[0] = total - fresh[1];
            } else if (fresh.size() == 2) {
                // The folder tree starts with a good part of the width, not its narrowest.
                const int total = fresh[0] + fresh[1];
                fresh[0] = std::max(splitter->widget(0)->minimumWidth(), total / 4);
                fresh[1] = total - fresh[0];
            }
            splitter->setSizes(fresh);
            sizes = kept.end();
        }
    }
}

settings::WindowGeometry windowPlace(const QMainWindow& window)
{
    // The normal size and the frame's corner, so a maximised window comes back maximised over its old place.
    const QRect normal = window.normalGeometry();
    const QPoint frameCorner = normal.topLeft() - (window.geometry().topLeft() - window.frameGeometry().topLeft());
    settings::WindowGeometry place{frameCorner.x(), frameCorner.y(),      normal.width(),
                                   normal.height(), window.isMaximized(), {}};
    for (const QSplitter* splitter : keptSplitters(window)) {
        // A hidden tag panel measures 0; kept, it would come back folded.
        bool allShown = splitter != nullptr;
        for (int index = 0; allShown && index < splitter->count(); ++index) {
            allShown = splitter->widget(index)->isVisibleTo(&window);
        }
        if (!allShown) {
            break;
        }
        const QList<int> sizes = splitter->sizes();
        place.splitters.insert(place.splitters.end(), sizes.begin(), sizes.end());
    }
    return place;
}

} // namespace quorbit
