#include "browser/shelltreeview.h"

#include "browser/entrydrop.h"
#include "browser/shellnotification.h"
#include "listing/shellitems.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include <sys/stat.h>

#include <algorithm>
#include <functional>

namespace quorbit {

struct ShellTreeModel::Node {
    QString name;
    QString path;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
    bool listed = false;
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
    void movePath(const QString& newPath)
    {
        path = newPath;
        for (const auto& child : children) {
            child->movePath(QDir(newPath).filePath(child->name));
        }
    }
};

ShellTreeModel::ShellTreeModel(const QString& rootPath, QObject* parent)
    : QAbstractItemModel(parent)
    , m_root(std::make_unique<Node>())
    , m_folderIcon(QFileIconProvider().icon(QAbstractFileIconProvider::Folder))
{
    m_root->path = QDir::cleanPath(rootPath);
    m_root->name = m_root->path == QLatin1String("/") ? m_root->path : QFileInfo(m_root->path).fileName();
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

std::vector<std::unique_ptr<ShellTreeModel::Node>> ShellTreeModel::listChildren(Node* node) const
{
    std::vector<std::unique_ptr<Node>> children;
    for (listing::ShellItem& item : listing::listFolder(QFile::encodeName(node->path).toStdString(), true).items) {
        if (S_ISLNK(item.mode)) {
            continue;
        }
        auto child = std::make_unique<Node>();
        child->name = QFile::decodeName(QByteArray::fromStdString(item.name));
        child->path = QDir(node->path).filePath(child->name);
        child->parent = node;
        child->mayHaveChildren = item.mayHaveSubfolders;
        children.push_back(std::move(child));
    }
    return children;
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
    return parent.isValid() && !nodeOf(parent)->listed;
}

void ShellTreeModel::fetchMore(const QModelIndex& parent)
{
    Node* node = nodeOf(parent);
    if (!node || node->listed) {
        return;
    }
    node->listed = true;
    std::vector<std::unique_ptr<Node>> children = listChildren(node);
    if (children.empty()) {
        // The expand mark goes when the folder turns out to have no sub-folder.
        emit dataChanged(parent, parent);
        return;
    }
    beginInsertRows(parent, 0, static_cast<int>(children.size()) - 1);
    node->children = std::move(children);
    node->renumberChildren(0);
    endInsertRows();
}

void ShellTreeModel::relist(const QModelIndex& index)
{
    Node* node = nodeOf(index);
    if (!node || !node->listed) {
        return; // a folder never expanded is listed when it is
    }
    std::vector<std::unique_ptr<Node>> fresh = listChildren(node);
    QSet<QString> freshNames;
    for (const auto& child : fresh) {
        freshNames.insert(child->name);
    }
    for (int row = static_cast<int>(node->children.size()) - 1; row >= 0; --row) {
        if (!freshNames.contains(node->children[row]->name)) {
            beginRemoveRows(index, row, row);
            node->children.erase(node->children.begin() + row);
            node->renumberChildren(static_cast<std::size_t>(row));
            endRemoveRows();
        }
    }
    for (std::size_t position = 0; position < fresh.size(); ++position) {
        const int row = static_cast<int>(position);
        if (position < node->children.size() && node->children[position]->name == fresh[position]->name) {
            continue;
        }
        const auto kept = std::find_if(node->children.begin() + row, node->children.end(),
                                       [&](const auto& child) { return child->name == fresh[position]->name; });
        if (kept != node->children.end()) {
            const int from = static_cast<int>(kept - node->children.begin());
            beginMoveRows(index, from, from, index, row);
            std::unique_ptr<Node> moved = std::move(*kept);
            node->children.erase(kept);
            node->children.insert(node->children.begin() + row, std::move(moved));
            node->renumberChildren(position);
            endMoveRows();
        } else {
            beginInsertRows(index, row, row);
            node->children.insert(node->children.begin() + row, std::move(fresh[position]));
            node->renumberChildren(position);
            endInsertRows();
        }
    }
    if (node->children.empty()) {
        emit dataChanged(index, index);
    }
}

QModelIndex ShellTreeModel::findOrList(const QString& path)
{
    const QString below = QDir(m_root->path).relativeFilePath(path);
    if (below.startsWith(QLatin1String(".."))) {
        return {};
    }
    QModelIndex found = index(0, 0);
    for (const QString& part : below.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".")) {
            continue;
        }
        fetchMore(found);
        const Node* node = nodeOf(found);
        const auto child = std::find_if(node->children.begin(), node->children.end(),
                                        [&](const auto& candidate) { return candidate->name == part; });
        if (child == node->children.end()) {
            return {};
        }
        found = indexOf(child->get());
    }
    return found;
}

QString ShellTreeModel::pathOf(const QModelIndex& index) const
{
    const Node* node = nodeOf(index);
    return node ? node->path : QString();
}

QVariant ShellTreeModel::data(const QModelIndex& index, int role) const
{
    const Node* node = nodeOf(index);
    if (!node) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return node->name;
    case Qt::DecorationRole:
        return m_folderIcon;
    case Qt::ToolTipRole:
        return node->path;
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
    const QString typed = value.toString();
    if (role != Qt::EditRole || !node || !node->parent || typed.isEmpty() || typed == node->name) {
        return false;
    }
    if (const QString problem = renameEntry(node->parent->path, node->name, typed); !problem.isEmpty()) {
        emit failed(problem);
        return false;
    }
    node->name = typed;
    node->movePath(QDir(node->parent->path).filePath(typed));
    emit dataChanged(index, index);
    // The renamed folder takes its place in the name order among its siblings.
    relist(index.parent());
    emit renamed(indexOf(node), node->path);
    return true;
}

QStringList ShellTreeModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData* ShellTreeModel::mimeData(const QModelIndexList& indexes) const
{
    QList<QUrl> urls;
    for (const QModelIndex& index : indexes) {
        urls << QUrl::fromLocalFile(pathOf(index));
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
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
    const QStringList problems = dropEntries(data->urls(), pathOf(parent), action == Qt::CopyAction);
    if (!problems.isEmpty()) {
        emit failed(problems.join(QLatin1Char('\n')));
    }
    return false; // the change reports bring the moved folders to their new places
}

// ---- the view ----------------------------------------------------------------

TStShellTreeView::TStShellTreeView(QWidget* parent, const QString& rootPath)
    : QTreeView(parent)
    , m_model(new ShellTreeModel(rootPath, this))
    , m_watcher(new TStShellNotification(this))
{
    setObjectName(QStringLiteral("StShellTreeView1"));
    setAccessibleName(QStringLiteral("Folders"));
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
    connect(m_model, &ShellTreeModel::renamed, this, [this](const QModelIndex& index, const QString& path) {
        if (index == currentIndex()) {
            emit folderSelected(path);
        }
        watchExpanded();
    });
    connect(this, &QTreeView::expanded, this, &TStShellTreeView::watchExpanded);
    connect(this, &QTreeView::collapsed, this, &TStShellTreeView::watchExpanded);
    connect(this, &QWidget::customContextMenuRequested, this, &TStShellTreeView::showMenu);
    m_watcher->setMaxNotifications(5);
    connect(m_watcher, &TStShellNotification::shellEvent, this,
            [this](const QString& folder) { m_model->relist(m_model->findOrList(folder)); });
}

bool TStShellTreeView::SelectFolder(const QString& path)
{
    const QString wanted = path.isEmpty() ? m_model->pathOf(m_model->index(0, 0)) : QDir::cleanPath(path);
    if (!QDir::isAbsolutePath(wanted) || !QFileInfo(wanted).isDir()) {
        return false;
    }
    const QModelIndex found = m_model->findOrList(wanted);
    if (!found.isValid()) {
        return false;
    }
    for (QModelIndex above = found.parent(); above.isValid(); above = above.parent()) {
        expand(above);
    }
    setCurrentIndex(found);
    scrollTo(found);
    return true;
}

QString TStShellTreeView::selectedFolder() const
{
    return m_model->pathOf(currentIndex());
}

void TStShellTreeView::watchExpanded()
{
    QStringList folders;
    const std::function<void(const QModelIndex&)> collect = [&](const QModelIndex& index) {
        if (!isExpanded(index)) {
            return;
        }
        folders << m_model->pathOf(index);
        for (int row = 0; row < m_model->rowCount(index); ++row) {
            collect(m_model->index(row, 0, index));
        }
    };
    collect(m_model->index(0, 0));
    m_watcher->setWatchFolders(folders);
}

void TStShellTreeView::showMenu(const QPoint& position)
{
    const QModelIndex index = indexAt(position);
    if (!index.isValid()) {
        return;
    }
    const QString path = m_model->pathOf(index);
    QMenu menu(this);
    menu.addAction(QStringLiteral("&Open"), this, [this, index] { setCurrentIndex(index); });
    if (m_model->flags(index) & Qt::ItemIsEditable) {
        menu.addAction(QStringLiteral("Re&name"), this, [this, index] { edit(index); });
    }
    menu.addAction(QStringLiteral("&Copy Path"), this, [path] { QGuiApplication::clipboard()->setText(path); });
    menu.exec(viewport()->mapToGlobal(position));
}

void TStShellTreeView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F5 && currentIndex().isValid()) {
        m_model->relist(currentIndex());
        return;
    }
    QTreeView::keyPressEvent(event);
}

} // namespace quorbit
