#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QTreeView>

#include <memory>
#include <vector>

namespace quorbit {

class TStShellNotification;

// The folders of the file system from "/" (or another root) down, hidden ones
// and links left out, so no walk of the tree can go round in a circle. A
// folder's sub-folders are listed when its node is first expanded.
class ShellTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    explicit ShellTreeModel(const QString& rootPath, QObject* parent = nullptr);
    ~ShellTreeModel() override;

    // The node of the absolute, clean `path`, listing the folders on the way;
    // invalid when the path leads through something the tree does not show.
    QModelIndex findOrList(const QString& path);
    QString pathOf(const QModelIndex& index) const;
    // Lists the node's folder again: new sub-folders get nodes, vanished ones
    // lose theirs, and the nodes that stay keep what is below them.
    void relist(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Renames the node's folder, never over an existing entry.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

signals:
    // A rename or a drop could not be done; `text` says why.
    void failed(const QString& text);
    // The node's folder was renamed; its path is now `path`.
    void renamed(const QModelIndex& index, const QString& path);

private:
    struct Node;
    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOf(const Node* node) const;
    std::vector<std::unique_ptr<Node>> listChildren(Node* node) const;

    std::unique_ptr<Node> m_root;
    QIcon m_folderIcon;
};

// The folder tree, StShellTreeView1. Every folder the user reaches is
// reported through folderSelected.
class TStShellTreeView : public QTreeView {
    Q_OBJECT

public:
    explicit TStShellTreeView(QWidget* parent = nullptr, const QString& rootPath = QStringLiteral("/"));

    ShellTreeModel& shellModel() const { return *m_model; }
    // Selects the folder at `path` (the root for an empty one), expanding the
    // way there. False, with the selection kept, when the path names nothing
    // the tree shows: a missing path, a file, a hidden folder.
    bool SelectFolder(const QString& path);
    // The selected folder; empty when none is.
    QString selectedFolder() const;

signals:
    // OnFolderSelected: `path` became the selected folder.
    void folderSelected(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void watchExpanded();
    void showMenu(const QPoint& position);

    ShellTreeModel* m_model;
    TStShellNotification* m_watcher;
};

} // namespace quorbit
