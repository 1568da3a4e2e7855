#include "browser/shelllistview.h"

#include "browser/bytepaths.h"
#include "browser/offthread.h"
#include "browser/shellnotification.h"
#include "platform/files.h"
#include "platform/trash.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QStackedLayout>
#include <QTreeView>
#include <QUrl>

#include <algorithm>
#include <sys/stat.h>
#include <utility>

namespace quorbit {

namespace {

const int columnWidths[NewNameColumn + 1] = {175, 75, 125, 125, 60, 175};

// Whether a row's name is being edited: the editor lives on the view's viewport.
bool isEditing(const QAbstractItemView* view)
{
    const QWidget* focus = QApplication::focusWidget();
    return focus && focus->parentWidget() == view->viewport();
}

// The report view, which repaints only the changed rows in sight. Qt unites
// the rectangle of every changed cell, which takes a third of a second for a
// million rows of five columns, and then repaints at most a screenful.
class ReportView : public QTreeView {
public:
    using QTreeView::QTreeView;

    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) override
    {
        const QModelIndex firstInSight = indexAt(QPoint(0, 0));
        if (!firstInSight.isValid()) {
            return; // no row in sight: nothing to repaint, and no editor is open
        }
        const QModelIndex lastInSight = indexAt(QPoint(0, viewport()->height() - 1));
        const int lastRow = lastInSight.isValid() ? lastInSight.row() : model()->rowCount() - 1;
        const int top = std::max(topLeft.row(), firstInSight.row());
        const int bottom = std::min(bottomRight.row(), lastRow);
        if (top <= bottom) {
            QTreeView::dataChanged(topLeft.siblingAtRow(top), bottomRight.siblingAtRow(bottom), roles);
        }
    }
};

} // namespace

TStShellListView::TStShellListView(QWidget* parent)
    : QWidget(parent)
    , m_model(new ShellListModel(this))
    , m_report(new ReportView(this))
    , m_stack(new QStackedLayout(this))
    , m_watcher(new TStShellNotification(this))
{
    setObjectName(QStringLiteral("StShellListView1"));
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_report->setModel(m_model);
    setUpView(m_report);
    m_report->setRootIsDecorated(false);
    m_report->setItemsExpandable(false);
    // Rows of one height let the view place 100,000 rows without measuring them.
    m_report->setUniformRowHeights(true);
    m_report->setAllColumnsShowFocus(true);
    m_report->header()->setSectionsClickable(true);
    m_report->header()->setSortIndicatorShown(true);
    m_report->header()->setSortIndicator(listing::NameColumn, Qt::AscendingOrder);
    for (int column = 0; column <= NewNameColumn; ++column) {
        m_report->setColumnWidth(column, columnWidths[column]);
    }
    // Shown beside the name it replaces, where the narrow pane still shows it.
    m_report->header()->moveSection(NewNameColumn, listing::NameColumn + 1);
    m_stack->setCurrentWidget(m_report);
    setFocusProxy(m_report);

    connect(m_report->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        // The new names follow the rows; they give no order of their own.
        if (column != NewNameColumn) {
            m_model->ColClick(column);
        }
        if (m_model->isSorting()) {
            currentView()->viewport()->setCursor(Qt::BusyCursor);
        }
        m_report->header()->setSortIndicator(m_model->clickedColumn(),
                                             m_model->ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    });
    connect(m_report->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    emit selectItem(m_model->itemOfRow(current.row()).name, true);
                }
            });
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const int row = selectedRow();
        m_rememberedName = row < 0 ? std::string() : m_model->itemOfRow(row).name;
        m_rememberedRow = row;
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, &TStShellListView::restoreSelection);
    connect(m_model, &ShellListModel::listFilled, this, [this] {
        m_lastListingMs = m_sinceListing.elapsed();
        m_sinceListing.start();
        m_report->header()->setSortIndicator(m_model->clickedColumn(),
                                             m_model->ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
        unsetBusyCursor();
    });
    connect(m_model, &ShellListModel::rowsSorted, this, &TStShellListView::unsetBusyCursor);
    m_watcher->setMaxNotifications(5);
    m_model->setWatchBeforeListing(
        [watch = m_watcher->folderWatch()](const std::string& folder) { watch->watchWanted({folder}); });
    connect(m_model, &ShellListModel::notAnsweringChanged, this, &TStShellListView::showNotAnswering);
    connect(m_watcher, &TStShellNotification::shellEvent, this, &TStShellListView::onShellEvent);
    m_relistTimer.setSingleShot(true);
    connect(&m_relistTimer, &QTimer::timeout, this, [this] { RefreshList(true); });
}

TStShellListView::~TStShellListView() = default;

void TStShellListView::unsetBusyCursor()
{
    if (!m_model->isListing() && !m_model->isSorting()) {
        currentView()->viewport()->unsetCursor();
    }
}

void TStShellListView::setUpView(QAbstractItemView* view)
{
    view->setAccessibleName(m_model->texts().filesName);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    view->setDragDropMode(QAbstractItemView::DragDrop);
    view->setDefaultDropAction(Qt::MoveAction);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    view->installEventFilter(this);
    connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) { openRow(index.row()); });
    connect(view, &QWidget::customContextMenuRequested, this, &TStShellListView::showMenu);
    m_stack->addWidget(view);
}

QAbstractItemView* TStShellListView::currentView() const
{
    return m_style == ViewStyle::Report ? static_cast<QAbstractItemView*>(m_report) : m_icons;
}

void TStShellListView::FillList(const std::string& folder)
{
    if (folder != m_model->folder()) {
        m_rememberedName.clear();
        m_rememberedRow = -1;
    }
    currentView()->viewport()->setCursor(Qt::BusyCursor);
    m_sinceListing.start();
    m_watcher->expectFolders({folder});
    m_model->listFolder(folder, true);
}

void TStShellListView::folderMoved(const std::string& folder)
{
    m_watcher->expectFolders({folder});
    m_model->folderMoved(folder);
}

void TStShellListView::Refresh()
{
    FillList(m_model->folder());
}

void TStShellListView::RefreshList(bool relist)
{
    if (relist) {
        m_sinceListing.start();
        m_model->listFolder(m_model->folder(), false);
    } else {
        m_model->redisplay();
    }
}

void TStShellListView::SetFileFilter(const QString& maskText)
{
    m_model->SetFileFilter(maskText);
}

void TStShellListView::SetFiltered(bool on)
{
    m_model->SetFiltered(on);
}

void TStShellListView::setFollowChanges(bool follow)
{
    m_followChanges = follow;
    if (follow && std::exchange(m_changedUnseen, false)) {
        onShellEvent();
    }
}

void TStShellListView::onShellEvent()
{
    if (!m_followChanges) {
        m_changedUnseen = true;
        return;
    }
    if (isEditing(currentView()) || m_relistTimer.isActive()) {
        return;
    }
    // A listing every report would keep a large folder listing without end
    // while another program works in it; the pause grows with the folder.
    const qint64 pause = std::clamp<qint64>(2 * m_lastListingMs, 20, 2000);
    const qint64 since = m_sinceListing.isValid() ? m_sinceListing.elapsed() : pause;
    m_relistTimer.start(static_cast<int>(std::max<qint64>(0, pause - since)));
}

void TStShellListView::restoreSelection()
{
    if (m_rememberedName.empty() || m_model->rowCount() == 0) {
        return;
    }
    const std::vector<listing::ShellItem>& shown = m_model->GetShellItems();
    // The entry itself first: the first name that merely contains its name
    // ("xa.mp3" for "a.mp3") may come before it, and the tag panel would then
    // show another file.
    std::size_t found = listing::findItem(shown, m_rememberedName, 0, true);
    if (found == shown.size()) {
        found = listing::findItem(shown, m_rememberedName, 0, false);
    }
    const int row = found < shown.size() ? m_model->rowOfEntry(static_cast<int>(found))
                                         : std::min(m_rememberedRow, m_model->rowCount() - 1);
    selectRow(row);
}

int TStShellListView::selectedRow() const
{
    const QModelIndexList rows = m_report->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TStShellListView::selectRow(int row)
{
    const QModelIndex index = m_model->index(row, 0);
    m_report->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    currentView()->scrollTo(index);
}

void TStShellListView::renameSelected()
{
    const int row = selectedRow();
    if (row >= 0) {
        currentView()->edit(m_model->index(row, 0));
    }
}

void TStShellListView::setViewStyle(ViewStyle viewStyle)
{
    m_style = viewStyle;
    if (viewStyle != ViewStyle::Report) {
        if (!m_icons) {
            // Made when first asked for: until then no second view follows every change of the rows.
            m_icons = new QListView(this);
            m_icons->setModel(m_model);
            m_icons->setSelectionModel(m_report->selectionModel());
            m_icons->setUniformItemSizes(true);
            m_icons->setResizeMode(QListView::Adjust);
            setUpView(m_icons);
        }
        const bool large = viewStyle == ViewStyle::LargeIcons;
        m_icons->setViewMode(large ? QListView::IconMode : QListView::ListMode);
        m_icons->setFlow(viewStyle == ViewStyle::List ? QListView::TopToBottom : QListView::LeftToRight);
        m_icons->setWrapping(true);
        const int extent = style()->pixelMetric(large ? QStyle::PM_IconViewIconSize : QStyle::PM_SmallIconSize);
        m_icons->setIconSize(QSize(extent, extent));
    }
    m_stack->setCurrentWidget(currentView());
    setFocusProxy(currentView());
}

void TStShellListView::openRow(int row)
{
    if (row < 0 || row >= m_model->rowCount()) {
        return;
    }
    const listing::ShellItem& item = m_model->itemOfRow(row);
    const std::string path = m_model->pathOfRow(row);
    if (item.isFolder && S_ISLNK(item.mode)) {
        // The tree shows real folders only; a link is opened where it leads,
        // which its drive may take long to tell.
        runOffThread(
            m_jobs, this, [path] { return files::resolvedPath(path); },
            [this](const std::string& resolved) { emit folderOpened(resolved); });
    } else if (item.isFolder) {
        emit folderOpened(path);
    } else {
        QDesktopServices::openUrl(fileUrl(path));
    }
}

void TStShellListView::copySelectedPath() const
{
    const int row = selectedRow();
    if (row < 0) {
        return;
    }
    // Other programs take the exact bytes from the URL; the text is for reading.
    const std::string path = m_model->pathOfRow(row);
    auto* data = new QMimeData;
    data->setUrls({fileUrl(path)});
    data->setText(displayText(path));
    QGuiApplication::clipboard()->setMimeData(data);
}

void TStShellListView::trashSelected()
{
    const int row = selectedRow();
    if (row < 0) {
        return;
    }
    const std::string path = m_model->pathOfRow(row);
    runOffThread(
        m_jobs, this, [path] { return files::moveToTrash(path); },
        [this, path](bool trashed) {
            if (!trashed) {
                emit m_model->failed(fillIn(m_model->texts().notTrashed, {displayText(path)}));
            }
        });
}

void TStShellListView::showNotAnswering(bool notAnswering)
{
    if (notAnswering && !m_notAnswering) {
        m_notAnswering = new QLabel(this);
        m_notAnswering->setObjectName(QStringLiteral("LabelNotAnswering"));
        m_notAnswering->setFrameShape(QFrame::StyledPanel);
        m_notAnswering->setAutoFillBackground(true);
        m_notAnswering->setMargin(6);
    }
    if (m_notAnswering) {
        m_notAnswering->setText(m_model->texts().notAnswering);
        m_notAnswering->adjustSize();
        m_notAnswering->move((width() - m_notAnswering->width()) / 2, (height() - m_notAnswering->height()) / 2);
        m_notAnswering->raise();
        m_notAnswering->setVisible(notAnswering);
    }
}

void TStShellListView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_notAnswering && m_notAnswering->isVisible()) {
        showNotAnswering(true);
    }
}

void TStShellListView::setTexts(const BrowserTexts& texts)
{
    m_model->setTexts(texts);
    m_report->setAccessibleName(texts.filesName);
    if (m_icons) {
        m_icons->setAccessibleName(texts.filesName);
    }
    if (m_notAnswering) {
        showNotAnswering(m_model->isNotAnswering());
    }
}

void TStShellListView::showMenu(const QPoint& position)
{
    QMenu menu(this);
    const BrowserTexts& texts = m_model->texts();
    const int row = selectedRow();
    if (row >= 0 && currentView()->indexAt(position).isValid()) {
        menu.addAction(texts.open, this, [this, row] { openRow(row); });
        menu.addAction(texts.rename, this, &TStShellListView::renameSelected);
        menu.addAction(texts.copyPath, this, &TStShellListView::copySelectedPath);
        menu.addSeparator();
        menu.addAction(texts.moveToTrash, this, &TStShellListView::trashSelected);
    } else {
        auto* group = new QActionGroup(&menu);
        const std::pair<const QString*, ViewStyle> styles[] = {{&texts.largeIcons, ViewStyle::LargeIcons},
                                                               {&texts.smallIcons, ViewStyle::SmallIcons},
                                                               {&texts.list, ViewStyle::List},
                                                               {&texts.details, ViewStyle::Report}};
        for (const auto& [text, style] : styles) {
            QAction* action = menu.addAction(*text, this, [this, style] { setViewStyle(style); });
            action->setCheckable(true);
            action->setChecked(style == m_style);
            group->addAction(action);
        }
    }
    menu.exec(currentView()->viewport()->mapToGlobal(position));
}

bool TStShellListView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched == currentView() && !isEditing(currentView())) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            openRow(selectedRow());
            return true;
        case Qt::Key_F5:
            Refresh();
            return true;
        case Qt::Key_F2:
            renameSelected();
            return true;
        case Qt::Key_Delete:
            trashSelected();
            return true;
        case Qt::Key_Backspace:
            emit parentRequested();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quorbit
