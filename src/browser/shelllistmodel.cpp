#include "browser/shelllistmodel.h"

#include "browser/bytepaths.h"
#include "browser/entrydrop.h"
#include "browser/fileicons.h"
#include "browser/offthread.h"
#include "platform/background.h"
#include "platform/files.h"
#include "platform/localetext.h"

#include <QDateTime>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QMimeData>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QUrl>

#include <algorithm>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace quorbit {

namespace {

// The marks of the New name column are drawn rather than taken from the style
// or an icon theme, so they read the same everywhere. `draw` works on 16 x 16.
template <class Draw>
QIcon paintedIcon(Draw draw)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(2, 2);
    draw(painter);
    painter.end();
    return QIcon(pixmap);
}

QPen markPen(const QColor& colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// The New name column's icon for `mark`; the icons are drawn when a preview first shows.
QIcon markIcon(PreviewMark mark)
{
    static const QIcon willRename = paintedIcon([](QPainter& painter) {
        painter.setPen(markPen(QColor(0x2e, 0x8b, 0x3a), 2.2));
        painter.drawPolyline(QPolygonF({{3.5, 8.5}, {6.5, 11.5}, {12.5, 4.5}}));
    });
    static const QIcon unchanged = paintedIcon([](QPainter& painter) {
        painter.setPen(markPen(QColor(0x90, 0x90, 0x90), 2));
        painter.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
    });
    static const QIcon willNotRename = paintedIcon([](QPainter& painter) {
        QPainterPath triangle;
        triangle.addPolygon(QPolygonF({{8, 1.5}, {15, 14}, {1, 14}, {8, 1.5}}));
        painter.setPen(markPen(QColor(0xc8, 0x64, 0x00), 1.2));
        painter.setBrush(QColor(0xf0, 0x90, 0x10));
        painter.drawPath(triangle);
        painter.setPen(markPen(Qt::white, 1.8));
        painter.drawLine(QPointF(8, 5.8), QPointF(8, 9.3));
        painter.drawPoint(QPointF(8, 12));
    });
    return mark == PreviewMark::WillRename ? willRename : mark == PreviewMark::Unchanged ? unchanged : willNotRename;
}

} // namespace

TypeNames::TypeNames(const BrowserTexts& texts)
    : m_texts(texts)
{
}

QString TypeNames::text(const listing::ShellItem& item) const
{
    const std::string_view extension = listing::extensionOf(item.name);
    if (item.isFolder || extension.empty()) {
        return plainText(item);
    }
    const QString key = QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size())).toLower();
    auto known = m_known.constFind(key);
    if (known == m_known.constEnd()) {
        const QMimeType type
            = QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + key, QMimeDatabase::MatchExtension);
        known = m_known.insert(key, type.isDefault() ? plainText(item) : type.comment());
    }
    return *known;
}

QString TypeNames::plainText(const listing::ShellItem& item) const
{
    if (item.isFolder) {
        return m_texts.typeFolder;
    }
    const std::string_view extension = listing::extensionOf(item.name);
    return extension.empty() ? m_texts.typeFile : fillIn(m_texts.typeFileOf, {displayText(text::toUpper(extension))});
}

namespace {

// The entries that pass the mask text, in their order; none when it is empty.
std::vector<listing::ShellItem> filtered(const std::vector<listing::ShellItem>& items, const QString& maskText)
{
    return maskText.isEmpty() ? std::vector<listing::ShellItem>() : listing::filterItems(items, maskText.toStdString());
}

// Sorts the entries by `column`, in name order as listed, and gives the ones
// that pass the mask text.
std::vector<listing::ShellItem> sortAndFilter(std::vector<listing::ShellItem>& items, int column,
                                              const TypeNames& types, const QString& maskText)
{
    listing::sortItems(items, column,
                       [&types](const listing::ShellItem& item) { return types.text(item).toStdString(); });
    return filtered(items, maskText);
}

} // namespace

// What the worker hands the window: a folder's entries, sorted and filtered.
struct ShellListModel::Arrangement {
    std::string folder;
    bool listed = false; // listed anew, rather than the shown entries sorted again
    int column = listing::NameColumn;
    QString maskText; // the filter the filtered entries passed; empty when it is off
    std::vector<listing::ShellItem> items;
    std::vector<listing::ShellItem> filtered;
    // For a listing: the entries shown when it started, and whether it found
    // the same names in the same order.
    std::shared_ptr<const std::vector<listing::ShellItem>> shownBefore;
    bool sameNames = false;
};

ShellListModel::ShellListModel(QObject* parent)
    : QAbstractTableModel(parent)
    , m_allItems(std::make_shared<std::vector<listing::ShellItem>>())
{
    m_answerTimer.setSingleShot(true);
    connect(&m_answerTimer, &QTimer::timeout, this, &ShellListModel::watchAnswer);
}

ShellListModel::~ShellListModel() = default;

void ShellListModel::listFolder(const std::string& folder, bool fresh)
{
    m_freshListing = m_freshListing || fresh;
    if (folder != m_folder) {
        // The last folder's rows go at once, rather than stand under the new one.
        beginResetModel();
        m_disposer.dispose(
            std::make_tuple(std::exchange(m_allItems, std::make_shared<std::vector<listing::ShellItem>>()),
                            std::exchange(m_filteredItems, std::make_shared<std::vector<listing::ShellItem>>()),
                            std::exchange(m_preview, {})));
        m_folder = folder;
        m_newFolder = true;
        endResetModel();
        // The job under way was for the folder shown before. A listing of this
        // one still under way, its drive not answering, is waited for rather
        // than asked for again.
        const auto underway = m_listingsUnderway.find(folder);
        m_listing = underway != m_listingsUnderway.end();
        m_awaitedJob = m_listing ? underway->second.job : 0;
        m_sorting = false;
        m_listAgain = false;
        watchAnswer();
        if (m_listing) {
            return;
        }
    }
    if (m_listing || m_sorting) {
        m_listAgain = true; // the work under way is out of date once it is in
        return;
    }
    startListing();
}

void ShellListModel::folderMoved(const std::string& folder)
{
    m_folder = folder;
    listFolder(folder, false);
}

std::uint64_t ShellListModel::runOnWorker(std::function<void(Arrangement&)> work)
{
    const std::uint64_t job = m_awaitedJob = ++m_lastJob;
    runOffThread(
        m_jobs, this,
        [work = std::move(work)]() mutable {
            auto arrangement = std::make_shared<Arrangement>();
            work(*arrangement);
            // What the job holds of the entries goes here and now, never with the last
            // owner on the window's thread; the result has one owner, which the window frees elsewhere.
            work = nullptr;
            // Before the rows go, not while the window takes them: the window's
            // thread would wait for the allocator's lock meanwhile.
            platform::returnFreedMemory();
            return arrangement;
        },
        [this, job](std::shared_ptr<Arrangement> arrangement) { takeArrangement(job, std::move(arrangement)); });
    return job;
}

void ShellListModel::startListing()
{
    m_listing = true;
    m_listAgain = false;
    const int column = m_freshListing ? listing::NameColumn : m_clickedColumn;
    const std::uint64_t job
        = runOnWorker([folder = m_folder, column, types = m_typeNames, maskText = filterOn() ? m_fileFilter : QString(),
                       shownBefore = std::shared_ptr<const std::vector<listing::ShellItem>>(m_allItems),
                       watch = m_watchBeforeListing](Arrangement& arrangement) {
              if (watch) {
                  watch(folder);
              }
              arrangement = {folder, true, column, maskText, listing::listFolder(folder, false).items, {}, shownBefore};
              arrangement.filtered = sortAndFilter(arrangement.items, column, types, maskText);
              arrangement.sameNames = std::equal(
                  arrangement.items.begin(), arrangement.items.end(), shownBefore->begin(), shownBefore->end(),
                  [](const listing::ShellItem& a, const listing::ShellItem& b) { return a.name == b.name; });
          });
    ListingUnderway& underway = m_listingsUnderway[m_folder];
    underway.job = job;
    underway.since.start();
    watchAnswer();
}

void ShellListModel::startSort()
{
    m_sorting = true;
    runOnWorker([folder = m_folder, column = m_clickedColumn, types = m_typeNames,
                 maskText = filterOn() ? m_fileFilter : QString(),
                 shown = std::shared_ptr<const std::vector<listing::ShellItem>>(m_allItems)](Arrangement& arrangement) {
        arrangement = {folder, false, column, maskText, *shown, {}, {}, false};
        arrangement.filtered = sortAndFilter(arrangement.items, column, types, maskText);
    });
}

void ShellListModel::watchAnswer()
{
    const auto underway = m_listing ? m_listingsUnderway.find(m_folder) : m_listingsUnderway.end();
    const qint64 left
        = underway == m_listingsUnderway.end() ? notAnsweringMs : notAnsweringMs - underway->second.since.elapsed();
    const bool notAnswering = underway != m_listingsUnderway.end() && left <= 0;
    if (underway != m_listingsUnderway.end() && !notAnswering) {
        m_answerTimer.start(static_cast<int>(left));
    } else {
        m_answerTimer.stop();
    }
    if (std::exchange(m_notAnswering, notAnswering) != notAnswering) {
        emit notAnsweringChanged(notAnswering);
    }
}

void ShellListModel::takeArrangement(std::uint64_t job, std::shared_ptr<Arrangement> arrangement)
{
    if (const auto underway = m_listingsUnderway.find(arrangement->folder);
        arrangement->listed && underway != m_listingsUnderway.end() && underway->second.job == job) {
        m_listingsUnderway.erase(underway);
    }
    if (job != m_awaitedJob) {
        m_disposer.dispose(std::move(arrangement)); // for a folder shown before
        return;
    }
    m_awaitedJob = 0;
    m_listing = false;
    m_sorting = false;
    watchAnswer();
    if (arrangement->folder == m_folder) {
        if (arrangement->listed) {
            takeListing(*arrangement);
        } else if (arrangement->column == m_clickedColumn && !m_listAgain) {
            moveRows([&] {
                showItems(std::move(arrangement->items));
                m_sortedColumn = arrangement->column;
                showFiltered(std::move(arrangement->filtered));
                if (arrangement->maskText != (filterOn() ? m_fileFilter : QString())) {
                    refilter(); // the filter changed while the worker sorted
                }
            });
            emit rowsSorted();
        }
    }
    const bool listAgain = m_listAgain || arrangement->folder != m_folder;
    m_disposer.dispose(std::move(arrangement)); // with the entries it still holds when it came too late
    if (listAgain) {
        startListing();
    } else if (m_sortedColumn != m_clickedColumn) {
        startSort(); // another column was clicked meanwhile
    }
}

void ShellListModel::takeListing(Arrangement& listing)
{
    std::vector<listing::ShellItem>& fresh = listing.items;
    const bool sameRows = !m_freshListing && listing.sameNames && listing.shownBefore == m_allItems
        && m_sortedColumn == listing.column && !filterOn();
    listing.shownBefore.reset();
    if (sameRows) {
        // Only details changed, such as attributes: the rows stay where they are.
        showItems(std::move(fresh));
        if (!m_allItems->empty()) {
            emit dataChanged(index(0, 0), index(rowCount() - 1, listing::ColumnCount - 1));
        }
    } else {
        beginResetModel();
        if (std::exchange(m_freshListing, false)) {
            m_clickedColumn = listing::NameColumn;
        }
        showItems(std::move(fresh));
        m_sortedColumn = listing.column;
        showFiltered(std::move(listing.filtered));
        if (listing.maskText != (filterOn() ? m_fileFilter : QString())) {
            refilter();
        }
        endResetModel();
    }
    emit listFilled(std::exchange(m_newFolder, false));
}

void ShellListModel::showItems(std::vector<listing::ShellItem> items)
{
    m_disposer.dispose(std::exchange(m_allItems, std::make_shared<std::vector<listing::ShellItem>>(std::move(items))));
}

void ShellListModel::showFiltered(std::vector<listing::ShellItem> items)
{
    m_disposer.dispose(
        std::exchange(m_filteredItems, std::make_shared<std::vector<listing::ShellItem>>(std::move(items))));
}

void ShellListModel::arrangeEntries()
{
    if (std::exchange(m_freshListing, false)) {
        m_clickedColumn = listing::NameColumn;
    }
    m_sortedColumn = m_clickedColumn;
    showFiltered(sortAndFilter(own(m_allItems), m_sortedColumn, m_typeNames, filterOn() ? m_fileFilter : QString()));
}

void ShellListModel::redisplay()
{
    beginResetModel();
    arrangeEntries();
    endResetModel();
}

void ShellListModel::refilter()
{
    showFiltered(filtered(*m_allItems, filterOn() ? m_fileFilter : QString()));
}

const std::vector<listing::ShellItem>& ShellListModel::GetShellItems() const
{
    return filterOn() ? *m_filteredItems : *m_allItems;
}

std::shared_ptr<const std::vector<listing::ShellItem>> ShellListModel::shownItems() const
{
    return filterOn() ? m_filteredItems : m_allItems;
}

std::vector<listing::ShellItem>& ShellListModel::own(std::shared_ptr<std::vector<listing::ShellItem>>& items)
{
    if (items.use_count() > 1) {
        items = std::make_shared<std::vector<listing::ShellItem>>(*items);
    }
    return *items;
}

int ShellListModel::entryOfRow(int row) const
{
    return m_ascending ? row : static_cast<int>(GetShellItems().size()) - 1 - row;
}

const listing::ShellItem& ShellListModel::itemOfRow(int row) const
{
    return GetShellItems()[static_cast<std::size_t>(entryOfRow(row))];
}

std::string ShellListModel::pathOfRow(int row) const
{
    return files::withTrailingSeparator(m_folder) + itemOfRow(row).name;
}

void ShellListModel::SetFileFilter(const QString& maskText)
{
    if (maskText == m_fileFilter) {
        return;
    }
    beginResetModel();
    m_fileFilter = maskText;
    refilter();
    endResetModel();
}

void ShellListModel::SetFiltered(bool on)
{
    if (on == m_filtered) {
        return;
    }
    beginResetModel();
    m_filtered = on;
    refilter();
    endResetModel();
}

void ShellListModel::ColClick(int column)
{
    if (column == m_clickedColumn) {
        moveRows([this] { m_ascending = !m_ascending; });
        return;
    }
    m_clickedColumn = column;
    if (m_allItems->size() > m_sortInPlaceLimit || m_listing || m_sorting) {
        // The rows stay as they are until the sort is in; the listing or sort
        // under way starts it when it is in.
        m_ascending = true;
        if (!m_listing && !m_sorting) {
            startSort();
        }
        return;
    }
    moveRows([this] {
        m_ascending = true;
        arrangeEntries();
    });
}

void ShellListModel::moveRows(const std::function<void()>& change)
{
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<std::uint32_t> ranks;
    for (const QModelIndex& index : before) {
        ranks.push_back(itemOfRow(index.row()).nameRank);
    }
    change();
    std::unordered_map<std::uint32_t, int> entryOfRank;
    for (const std::uint32_t rank : ranks) {
        entryOfRank.emplace(rank, -1);
    }
    const std::vector<listing::ShellItem>& shown = GetShellItems();
    std::size_t unplaced = entryOfRank.size();
    for (std::size_t entry = 0; entry < shown.size() && unplaced > 0; ++entry) {
        if (auto found = entryOfRank.find(shown[entry].nameRank); found != entryOfRank.end()) {
            found->second = static_cast<int>(entry);
            --unplaced;
        }
    }
    QModelIndexList after;
    for (std::size_t position = 0; position < ranks.size(); ++position) {
        const int entry = entryOfRank[ranks[position]];
        after << (entry < 0 ? QModelIndex() : index(rowOfEntry(entry), before[static_cast<int>(position)].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void ShellListModel::setPreview(ListPreview preview, const QString& patternProblem)
{
    m_disposer.dispose(std::exchange(m_preview, std::move(preview)));
    m_patternProblem = patternProblem;
    columnChanged(NewNameColumn);
}

void ShellListModel::setPreviewTexts(const PreviewTexts& texts)
{
    m_previewTexts = texts;
    emit headerDataChanged(Qt::Horizontal, NewNameColumn, NewNameColumn);
    columnChanged(NewNameColumn);
}

void ShellListModel::setTexts(const BrowserTexts& texts)
{
    m_texts = texts;
    m_typeNames = TypeNames(texts); // the names before are in the words of the language before
    emit headerDataChanged(Qt::Horizontal, 0, listing::ColumnCount - 1);
    columnChanged(listing::TypeColumn);
}

// One column's cells changed: the view repaints them, and no row moves.
void ShellListModel::columnChanged(int column)
{
    if (rowCount() > 0) {
        emit dataChanged(index(0, column), index(rowCount() - 1, column));
    }
}

QString ShellListModel::markText(const EntryPreview& entry) const
{
    const QString mark = markText(entry.mark);
    return entry.photoWithoutDate ? mark + QStringLiteral("; ") + m_previewTexts.noPhotoDate : mark;
}

QString ShellListModel::markText(PreviewMark mark) const
{
    const auto notRenamed
        = [this](const QString& reason) { return m_previewTexts.willNotRename + QStringLiteral(": ") + reason; };
    switch (mark) {
    case PreviewMark::Unchanged:
        return m_previewTexts.unchanged;
    case PreviewMark::WillRename:
        return m_previewTexts.willRename;
    case PreviewMark::Taken:
        return notRenamed(m_previewTexts.taken);
    case PreviewMark::WantedTwice:
        return notRenamed(m_previewTexts.wantedTwice);
    case PreviewMark::Unsafe:
        return notRenamed(m_previewTexts.unsafe);
    case PreviewMark::RefusedCharacter:
        return notRenamed(m_previewTexts.refusedCharacter);
    case PreviewMark::TooLong:
        return notRenamed(m_previewTexts.tooLong);
    case PreviewMark::InvalidPattern:
        return notRenamed(m_patternProblem);
    case PreviewMark::PatternTooSlow:
        return notRenamed(m_previewTexts.patternTooSlow);
    }
    return {};
}

QVariant ShellListModel::previewData(const listing::ShellItem& item, int role) const
{
    const std::optional<EntryPreview> found = m_preview.find(item.name);
    if (!found) {
        return {};
    }
    const EntryPreview& entry = *found;
    switch (role) {
    case Qt::DisplayRole:
        return displayText(entry.newName);
    case Qt::DecorationRole:
        return markIcon(entry.mark);
    case Qt::ForegroundRole: {
        if (entry.mark == PreviewMark::WillRename) {
            break; // the normal text colour
        }
        const QPalette palette = QGuiApplication::palette();
        if (entry.mark == PreviewMark::Unchanged) {
            return palette.color(QPalette::PlaceholderText);
        }
        // Dark orange on a light base, a lighter one on a dark base.
        return palette.color(QPalette::Base).lightness() < 128 ? QColor(0xff, 0x9a, 0x50) : QColor(0xb0, 0x3a, 0x00);
    }
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        return markText(entry);
    case Qt::AccessibleTextRole:
        // A screen reader hears the verdict the icon and colour show.
        return displayText(entry.newName) + QStringLiteral(", ") + markText(entry);
    }
    return {};
}

int ShellListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(GetShellItems().size());
}

int ShellListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : NewNameColumn + 1;
}

QVariant ShellListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    const listing::ShellItem& item = itemOfRow(index.row());
    if (index.column() == NewNameColumn) {
        return previewData(item, role);
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case listing::NameColumn:
            return displayText(item.name);
        case listing::SizeColumn:
            return QString::fromStdString(listing::sizeText(item));
        case listing::TypeColumn:
            return m_typeNames.text(item);
        case listing::ModifiedColumn:
            return QLocale::system().toString(QDateTime::fromSecsSinceEpoch(item.modified), QLocale::ShortFormat);
        case listing::AttributesColumn:
            return QString::fromStdString(listing::attributesText(item));
        }
        break;
    case Qt::DecorationRole:
        if (index.column() == listing::NameColumn) {
            // Asked for only once rows show: the file icon's images are read then.
            return fileIcon(item.isFolder ? QAbstractFileIconProvider::Folder : QAbstractFileIconProvider::File);
        }
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == listing::SizeColumn) {
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        }
        break;
    }
    return {};
}

QVariant ShellListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section > NewNameColumn) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return section == NewNameColumn ? m_previewTexts.caption : m_texts.columns[static_cast<std::size_t>(section)];
    }
    if (role == Qt::TextAlignmentRole && section == listing::SizeColumn) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

Qt::ItemFlags ShellListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::ItemIsDropEnabled; // a drop beside the rows lands in the shown folder
    }
    // Said outright, so the view's layout of a million rows asks no row for children.
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
    if (index.column() == listing::NameColumn) {
        flags |= Qt::ItemIsEditable;
    }
    if (itemOfRow(index.row()).isFolder) {
        flags |= Qt::ItemIsDropEnabled;
    }
    return flags;
}

bool ShellListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid)
        || index.column() != listing::NameColumn) {
        return false;
    }
    const std::string oldName = itemOfRow(index.row()).name;
    // The editor starts with the name as shown; left as it was, the name keeps its own bytes.
    const QString typed = value.toString();
    if (typed.isEmpty() || typed == displayText(oldName)) {
        return false;
    }
    const std::string newName = QFile::encodeName(typed).toStdString();
    if (const QString problem = renameEntry(m_folder, oldName, newName, m_texts); !problem.isEmpty()) {
        emit failed(problem);
        return false;
    }
    for (auto* items : {&own(m_allItems), &own(m_filteredItems)}) {
        for (listing::ShellItem& item : *items) {
            if (item.name == oldName) {
                item.name = newName;
            }
        }
    }
    emit dataChanged(index, index);
    return true;
}

QStringList ShellListModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData* ShellListModel::mimeData(const QModelIndexList& indexes) const
{
    QList<QUrl> urls;
    for (const QModelIndex& index : indexes) {
        if (index.column() == listing::NameColumn) {
            urls << fileUrl(pathOfRow(index.row()));
        }
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

Qt::DropActions ShellListModel::supportedDropActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

Qt::DropActions ShellListModel::supportedDragActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

bool ShellListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int, int, const QModelIndex& parent)
{
    if (!data->hasUrls() || (action != Qt::MoveAction && action != Qt::CopyAction)) {
        return false;
    }
    const std::string target = parent.isValid() ? pathOfRow(parent.row()) : m_folder;
    dropEntriesAside(m_jobs, this, data->urls(), target, action == Qt::CopyAction, m_texts,
                     [this](const QString& text) { emit failed(text); });
    // The moved entries leave this list through the change reports, not through the view.
    return false;
}

} // namespace quorbit
