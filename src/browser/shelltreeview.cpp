#include "browser/shelltreeview.h"

#include "browser/bytepaths.h"
#include "browser/entrydrop.h"
#include "browser/fileicons.h"
#include "browser/offthread.h"
#include "browser/shellnotification.h"
#include "listing/shellitems.h"
#include "platform/files.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <unordered_map>
#include <utility>

namespace quorbit {

namespace {

// The names of an absolute path, "." left out and ".." taking back the name
// before it, as a clean path reads.
std::vector<std::string> namesOf(const std::string& path)
{
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        std::string name = path.substr(start, end - start);
        if (name == "..") {
            if (!names.empty()) {
                names.pop_back();
            }
        } else if (!name.empty() && name != ".") {
            names.push_back(std::move(name));
        }
        start = end + 1;
    }
    return names;
}

// The names that lead from `root` down to the absolute `path`; nothing when
// `path` is neither `root` nor below it.
std::optional<std::vector<std::string>> namesBelow(const std::string& root, const std::string& path)
{
    if (path.empty() || path.front() != '/') {
        return std::nullopt;
    }
    const std::vector<std::string> rootNames = namesOf(root);
    std::vector<std::string> names = namesOf(path);
    if (names.size() < rootNames.size() || !std::equal(rootNames.begin(), rootNames.end(), names.begin())) {
        return std::nullopt;
    }
    names.erase(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(rootNames.size()));
    return names;
}

std::string childPath(const std::string& folder, const std::string& name)
{
    std::string path = folder;
    if (path != "/") {
        path += '/';
    }
    return path += name;
}

QMimeData* pathsMimeData(const std::vector<std::string>& paths)
{
    QList<QUrl> urls;
    QStringList texts;
    for (const std::string& path : paths) {
        urls << fileUrl(path);
        texts << displayText(path);
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    data->setText(texts.join(QLatin1Char('\n')));
    return data;
}

} // namespace

struct ShellTreeModel::Node {
    std::string name;
    std::string path;
    // Tells a folder renamed by another program from one deleted beside a new one.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
    bool listed = false;
    bool listing = false; // a listing of the folder is under way
    bool notAnswering = false; // the listing under way has taken longer than notAnsweringMs
    bool mayHaveChildren = true;
    // The node's place among its parent's children, kept so that the views'
    // many questions for a parent need no search.
    int row = 0;

    // Numbers the children again from `from` on, after they changed there.
    void renumberChildren(std::size_t from)
    {
        for (std::size_t position = from; position < children.size(); ++position) {
            children[position]->row = static_cast<int>(position);
        }
    }

    // Gives the node and everything below it the paths under `newPath`.
    void movePath(const std::string& newPath)
    {
        path = newPath;
        for (const auto& child : children) {
            child->movePath(childPath(newPath, child->name));
        }
    }

    std::pair<std::uint64_t, std::uint64_t> identity() const { return {device, inode}; }

    // The child named `name`; null when there is none.
    Node* childNamed(const std::string& name) const
    {
        const auto child = std::find_if(children.begin(), children.end(),
                                        [&](const auto& candidate) { return candidate->name == name; });
        return child == children.end() ? nullptr : child->get();
    }
};

struct ShellTreeModel::Listing {
    bool readable = false;
    std::vector<std::unique_ptr<Node>> children; // no parent yet
};

ShellTreeModel::ShellTreeModel(const std::string& rootPath, QObject* parent)
    : QAbstractItemModel(parent)
    , m_root(std::make_unique<Node>())
    , m_folderIcon(fileIcon(QAbstractFileIconProvider::Folder))
{
    std::string clean;
    for (const std::string& name : namesOf(rootPath)) {
        clean += '/';
        clean += name;
    }
    m_root->path = clean.empty() ? std::string(1, '/') : clean;
    m_root->name = clean.empty() ? m_root->path : std::string(files::fileNameOf(clean));
}

ShellTreeModel::~ShellTreeModel() = default;

ShellTreeModel::Node* ShellTreeModel::nodeOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex ShellTreeModel::indexOf(const Node* node) const
{
    return node ? createIndex(node->row, 0, const_cast<Node*>(node)) : QModelIndex();
}

ShellTreeModel::Listing ShellTreeModel::listChildren(const std::string& path)
{
    Listing found;
    // The tree shows real sub-folders only: a folder whose link count tells it
    // has none is not read, so a folder of a million files costs next to nothing.
    if (const files::Folder folder(path); folder.isOpen() && !folder.mayHaveSubfolders()) {
        found.readable = true;
        return found;
    }
    listing::FolderListing listed = listing::listFolder(path, true);
    for (listing::ShellItem& item : listed.items) {
        if (S_ISLNK(item.mode)) {
            continue;
        }
        auto child = std::make_unique<Node>();
        child->name = std::move(item.name);
        child->path = childPath(path, child->name);
        child->device = item.device;
        child->inode = item.inode;
        child->mayHaveChildren = item.mayHaveSubfolders;
        found.children.push_back(std::move(child));
    }
    found.readable = listed.readable;
    return found;
}

ShellTreeModel::Node* ShellTreeModel::nodeAt(const std::string& path) const
{
    const std::optional<std::vector<std::string>> names = namesBelow(m_root->path, path);
    if (!names) {
        return nullptr;
    }
    Node* node = m_root.get();
    for (auto name = names->begin(); node && name != names->end(); ++name) {
        node = node->childNamed(*name);
    }
    return node;
}

void ShellTreeModel::startListing(Node* node, bool again)
{
    node->listing = true;
    const auto [underway, first] = m_underway.try_emplace(node->path);
    if (!first) {
        // A folder whose listing waits for its drive gets no second thread.
        underway->second.again = underway->second.again || again;
        return;
    }
    const std::uint64_t ticket = underway->second.ticket = ++m_lastTicket;
    QTimer::singleShot(notAnsweringMs, this, [this, path = node->path, ticket] { markNotAnswering(path, ticket); });
    runOffThread(
        m_jobs, this, [path = node->path] { return std::make_shared<Listing>(listChildren(path)); },
        [this, path = node->path](const std::shared_ptr<Listing>& listing) { takeListing(path, *listing); });
}

void ShellTreeModel::markNotAnswering(const std::string& path, std::uint64_t ticket)
{
    const auto underway = m_underway.find(path);
    Node* node = nodeAt(path);
    if (underway == m_underway.end() || underway->second.ticket != ticket || !node || !node->listing) {
        return;
    }
    node->notAnswering = true;
    const QModelIndex index = indexOf(node);
    emit dataChanged(index, index);
}

void ShellTreeModel::takeListing(const std::string& path, Listing& listing)
{
    bool again = false;
    if (const auto underway = m_underway.find(path); underway != m_underway.end()) {
        again = underway->second.again;
        m_underway.erase(underway);
    }
    Node* node = nodeAt(path);
    if (!node) {
        return; // gone, or renamed and listed anew under its new path
    }
    node->listing = false;
    if (std::exchange(node->notAnswering, false)) {
        const QModelIndex index = indexOf(node);
        emit dataChanged(index, index);
    }
    if (!node->listed) {
        fill(node, listing);
    } else if (listing.readable) {
        merge(node, listing);
    } // else gone or unreadable: the listing of its parent tells which
    if (again) {
        startListing(node, false);
    } else {
        emit folderListed(indexOf(node));
    }
}

void ShellTreeModel::relistMoved(Node& node)
{
    if (node.listing) {
        startListing(&node, false);
    }
    for (const auto& child : node.children) {
        relistMoved(*child);
    }
}

QModelIndex ShellTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0) {
        return {};
    }
    if (!parent.isValid()) {
        return row == 0 ? createIndex(0, 0, m_root.get()) : QModelIndex();
    }
    const Node* node = nodeOf(parent);
    return row < static_cast<int>(node->children.size()) ? createIndex(row, 0, node->children[row].get())
                                                         : QModelIndex();
}

QModelIndex ShellTreeModel::parent(const QModelIndex& child) const
{
    const Node* node = nodeOf(child);
    return node ? indexOf(node->parent) : QModelIndex();
}

int ShellTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0) {
        return 0;
    }
    return parent.isValid() ? static_cast<int>(nodeOf(parent)->children.size()) : 1;
}

int ShellTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool ShellTreeModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid()) {
        return true;
    }
    const Node* node = nodeOf(parent);
    return node->listed ? !node->children.empty() : node->mayHaveChildren;
}

bool ShellTreeModel::canFetchMore(const QModelIndex& parent) const
{
    const Node* node = nodeOf(parent);
    return node && !node->listed && !node->listing;
}

void ShellTreeModel::fetchMore(const QModelIndex& parent)
{
    if (Node* node = nodeOf(parent); node && !node->listed && !node->listing) {
        startListing(node, false);
    }
}

void ShellTreeModel::relist(const QModelIndex& index)
{
    Node* node = nodeOf(index);
    if (node && (node->listed || node->listing)) {
        startListing(node, true); // a folder never expanded is listed when it is
    }
}

void ShellTreeModel::fill(Node* node, Listing& listing)
{
    node->listed = true;
    const QModelIndex parent = indexOf(node);
    if (listing.children.empty()) {
        // The expand mark goes when the folder turns out to have no sub-folder.
        emit dataChanged(parent, parent);
        return;
    }
    beginInsertRows(parent, 0, static_cast<int>(listing.children.size()) - 1);
    node->children = std::move(listing.children);
    for (const auto& child : node->children) {
        child->parent = node;
    }
    node->renumberChildren(0);
    endInsertRows();
}

void ShellTreeModel::merge(Node* node, Listing& listing)
{
    std::vector<std::unique_ptr<Node>>& fresh = listing.children;
    const QModelIndex index = indexOf(node);
    // Each node claims the fresh entry of its folder: by identity first, so a
    // folder renamed meanwhile keeps its node, else by name.
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::size_t> freshByIdentity;
    std::unordered_map<std::string, std::size_t> freshByName;
    for (std::size_t position = 0; position < fresh.size(); ++position) {
        if (fresh[position]->inode != 0) {
            freshByIdentity.emplace(fresh[position]->identity(), position);
        }
        freshByName.emplace(fresh[position]->name, position);
    }
    constexpr std::size_t unclaimed = static_cast<std::size_t>(-1);
    std::vector<std::size_t> claims(node->children.size(), unclaimed); // by row: the fresh position
    std::vector<bool> claimed(fresh.size(), false);
    for (std::size_t row = 0; row < claims.size(); ++row) {
        const auto same = freshByIdentity.find(node->children[row]->identity());
        if (node->children[row]->inode != 0 && same != freshByIdentity.end()) {
            claims[row] = same->second;
            claimed[same->second] = true;
        }
    }
    for (std::size_t row = 0; row < claims.size(); ++row) {
        const auto same = freshByName.find(node->children[row]->name);
        if (claims[row] == unclaimed && same != freshByName.end() && !claimed[same->second]) {
            claims[row] = same->second;
            claimed[same->second] = true;
        }
    }

    for (int row = static_cast<int>(claims.size()) - 1; row >= 0; --row) {
        if (claims[row] == unclaimed) {
            emit folderAboutToGo(indexOf(node->children[row].get()));
            beginRemoveRows(index, row, row);
            node->children.erase(node->children.begin() + row);
            claims.erase(claims.begin() + row);
            node->renumberChildren(static_cast<std::size_t>(row));
            endRemoveRows();
        }
    }
    for (std::size_t row = 0; row < claims.size(); ++row) {
        Node& child = *node->children[row];
        const Node& entry = *fresh[claims[row]];
        child.device = entry.device;
        child.inode = entry.inode;
        if (child.name != entry.name) {
            child.name = entry.name;
            child.movePath(childPath(node->path, child.name));
            relistMoved(child);
            const QModelIndex moved = indexOf(&child);
            emit dataChanged(moved, moved);
            emit folderMoved(moved);
        }
    }
    for (std::size_t position = 0; position < fresh.size(); ++position) {
        const int row = static_cast<int>(position);
        if (position < claims.size() && claims[position] == position) {
            continue;
        }
        const auto kept = std::find(claims.begin() + row, claims.end(), position);
        if (kept != claims.end()) {
            const int from = static_cast<int>(kept - claims.begin());
            beginMoveRows(index, from, from, index, row);
            std::rotate(node->children.begin() + row, node->children.begin() + from, node->children.begin() + from + 1);
            std::rotate(claims.begin() + row, kept, kept + 1);
            node->renumberChildren(position);
            endMoveRows();
        } else {
            beginInsertRows(index, row, row);
            fresh[position]->parent = node;
            node->children.insert(node->children.begin() + row, std::move(fresh[position]));
            claims.insert(claims.begin() + row, position);
            node->renumberChildren(position);
            endInsertRows();
        }
    }
    if (node->children.empty()) {
        emit dataChanged(index, index);
    }
}

QModelIndex ShellTreeModel::find(const std::string& path) const
{
    return indexOf(nodeAt(path));
}

QModelIndex ShellTreeModel::childNamed(const QModelIndex& parent, const std::string& name) const
{
    const Node* node = nodeOf(parent);
    return node ? indexOf(node->childNamed(name)) : QModelIndex();
}

bool ShellTreeModel::isListed(const QModelIndex& index) const
{
    const Node* node = nodeOf(index);
    return node && node->listed;
}

std::string ShellTreeModel::pathOf(const QModelIndex& index) const
{
    const Node* node = nodeOf(index);
    return node ? node->path : std::string();
}

QVariant ShellTreeModel::data(const QModelIndex& index, int role) const
{
    const Node* node = nodeOf(index);
    if (!node) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return node->notAnswering
            ? displayText(node->name) + QStringLiteral(" (") + m_texts.notAnswering + QLatin1Char(')')
            : displayText(node->name);
    case Qt::EditRole:
        return displayText(node->name);
    case Qt::DecorationRole:
        return m_folderIcon;
    case Qt::ToolTipRole:
        return displayText(node->path);
    default:
        return {};
    }
}

Qt::ItemFlags ShellTreeModel::flags(const QModelIndex& index) const
{
    const Node* node = nodeOf(index);
    if (!node) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDropEnabled;
    if (node->parent) {
        flags |= Qt::ItemIsEditable | Qt::ItemIsDragEnabled;
    }
    return flags;
}

bool ShellTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    Node* node = nodeOf(index);
    // The text shown for a name that is not valid text is no new name.
    if (role != Qt::EditRole || !node || !node->parent || value.toString().isEmpty()
        || value.toString() == displayText(node->name)) {
        return false;
    }
    const std::string typed = QFile::encodeName(value.toString()).toStdString();
    if (const QString problem = renameEntry(node->parent->path, node->name, typed, m_texts); !problem.isEmpty()) {
        emit failed(problem);
        return false;
    }
    node->name = typed;
    node->movePath(childPath(node->parent->path, typed));
    relistMoved(*node);
    emit dataChanged(index, index);
    emit folderMoved(index);
    // The renamed folder takes its place in the name order among its siblings.
    relist(index.parent());
    return true;
}

QStringList ShellTreeModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData* ShellTreeModel::mimeData(const QModelIndexList& indexes) const
{
    std::vector<std::string> paths;
    for (const QModelIndex& index : indexes) {
        paths.push_back(pathOf(index));
    }
    return pathsMimeData(paths);
}

Qt::DropActions ShellTreeModel::supportedDropActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

bool ShellTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int, int, const QModelIndex& parent)
{
    if (!parent.isValid() || !data->hasUrls() || (action != Qt::MoveAction && action != Qt::CopyAction)) {
        return false;
    }
    dropEntriesAside(m_jobs, this, data->urls(), pathOf(parent), action == Qt::CopyAction, m_texts,
                     [this](const QString& text) { emit failed(text); });
    return false; // the change reports bring the moved folders to their new places
}

// ---- the view ----------------------------------------------------------------

TStShellTreeView::TStShellTreeView(QWidget* parent, const std::string& rootPath)
    : QTreeView(parent)
    , m_model(new ShellTreeModel(rootPath, this))
    , m_watcher(new TStShellNotification(this))
{
    setObjectName(QStringLiteral("StShellTreeView1"));
    setAccessibleName(m_model->texts().foldersName);
    setModel(m_model);
    setHeaderHidden(true);
    setIndentation(19);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    // A folder that something is dragged over opens after two seconds.
    setAutoExpandDelay(2000);
    setContextMenuPolicy(Qt::CustomContextMenu);
    // The root's folders are listed once the window is up, so the first
    // collation of names does not hold up its first paint; a folder selected
    // before then is found on its own.
    QTimer::singleShot(0, this, [this] { expand(m_model->index(0, 0)); });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (current.isValid()) {
            emit folderSelected(m_model->pathOf(current));
        }
    });
    connect(m_model, &ShellTreeModel::folderMoved, this, [this](const QModelIndex& index) {
        if (holdsCurrent(index)) {
            emit selectedFolderMoved(selectedFolder());
        }
        watchExpanded();
    });
    // Left alone, the view would make a sibling of the vanished folder current.
    connect(m_model, &ShellTreeModel::folderAboutToGo, this, [this](const QModelIndex& index) {
        if (!holdsCurrent(index)) {
            return;
        }
        // The parent's listing that dropped the folder was just read, so the
        // parent is there.
        const std::string lost = selectedFolder();
        const QModelIndex shown = index.parent();
        setCurrentIndex(shown);
        emit selectedFolderGone(lost, m_model->pathOf(shown));
    });
    connect(this, &QTreeView::expanded, this, &TStShellTreeView::watchExpanded);
    connect(this, &QTreeView::collapsed, this, &TStShellTreeView::watchExpanded);
    connect(this, &QWidget::customContextMenuRequested, this, &TStShellTreeView::showMenu);
    m_watcher->setMaxNotifications(5);
    connect(m_watcher, &TStShellNotification::shellEvent, this,
            [this](const std::string& folder) { m_model->relist(m_model->find(folder)); });
    connect(m_model, &ShellTreeModel::folderListed, this, [this] {
        if (m_waiting) {
            const std::string path = m_waiting->path;
            if (continueSelection() == Selection::NotShown) {
                emit folderNotShown(path);
            }
        }
    });
}

TStShellTreeView::Selection TStShellTreeView::SelectFolder(const std::string& path)
{
    m_waiting.reset();
    const std::string root = m_model->pathOf(m_model->index(0, 0));
    const std::string wanted = path.empty() ? root : path;
    std::optional<std::vector<std::string>> names = namesBelow(root, wanted);
    if (!names) {
        return Selection::NotShown;
    }
    if (std::any_of(names->begin(), names->end(), [](const std::string& name) { return name.front() == '.'; })) {
        return Selection::NotShown; // hidden folders are never listed
    }
    m_waiting = WaitingSelection{wanted, std::move(*names), {}};
    return continueSelection();
}

TStShellTreeView::Selection TStShellTreeView::continueSelection()
{
    QModelIndex at = m_model->index(0, 0);
    for (const std::string& name : m_waiting->names) {
        if (!m_model->isListed(at)) {
            showNode(at);
            m_model->fetchMore(at);
            return Selection::Pending;
        }
        const QModelIndex next = m_model->childNamed(at, name);
        if (next.isValid()) {
            at = next;
            continue;
        }
        // Listed before the folder was made, perhaps: listed once more, it tells.
        if (m_waiting->relisted.insert(m_model->pathOf(at)).second) {
            showNode(at);
            m_model->relist(at);
            return Selection::Pending;
        }
        m_waiting.reset();
        return Selection::NotShown;
    }
    m_waiting.reset();
    showNode(at);
    setCurrentIndex(at);
    return Selection::Selected;
}

void TStShellTreeView::showNode(const QModelIndex& index)
{
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent()) {
        expand(above);
    }
    scrollTo(index);
}

std::string TStShellTreeView::selectedFolder() const
{
    return m_model->pathOf(currentIndex());
}

void TStShellTreeView::copyPath(const QModelIndex& index) const
{
    QGuiApplication::clipboard()->setMimeData(pathsMimeData({m_model->pathOf(index)}));
}

bool TStShellTreeView::holdsCurrent(const QModelIndex& index) const
{
    for (QModelIndex at = currentIndex(); at.isValid(); at = at.parent()) {
        if (at == index) {
            return true;
        }
    }
    return false;
}

void TStShellTreeView::watchExpanded()
{
    std::vector<std::string> folders;
    const std::function<void(const QModelIndex&)> collect = [&](const QModelIndex& index) {
        if (!isExpanded(index)) {
            return;
        }
        folders.push_back(m_model->pathOf(index));
        for (int row = 0; row < m_model->rowCount(index); ++row) {
            collect(m_model->index(row, 0, index));
        }
    };
    collect(m_model->index(0, 0));
    m_watcher->setWatchFolders(folders);
}

void TStShellTreeView::setTexts(const BrowserTexts& texts)
{
    m_model->setTexts(texts);
    setAccessibleName(texts.foldersName);
}

void TStShellTreeView::showMenu(const QPoint& position)
{
    // Kept, as the folder may be listed again while the menu is open.
    const QPersistentModelIndex index = indexAt(position);
    if (!index.isValid()) {
        return;
    }
    QMenu menu(this);
    const BrowserTexts& texts = m_model->texts();
    menu.addAction(texts.open, this, [this, index] { setCurrentIndex(index); });
    if (m_model->flags(index) & Qt::ItemIsEditable) {
        menu.addAction(texts.rename, this, [this, index] { edit(index); });
    }
    menu.addAction(texts.copyPath, this, [this, index] { copyPath(index); });
    menu.exec(viewport()->mapToGlobal(position));
}

void TStShellTreeView::mousePressEvent(QMouseEvent* event)
{
    m_waiting.reset(); // the user's own choice goes first
    QTreeView::mousePressEvent(event);
}

void TStShellTreeView::keyPressEvent(QKeyEvent* event)
{
    m_waiting.reset();
    if (event->key() == Qt::Key_F5 && currentIndex().isValid()) {
        m_model->relist(currentIndex());
        return;
    }
    QTreeView::keyPressEvent(event);
}

} // namespace quorbit
