#pragma once

#include "browser/browsertexts.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QTreeView>

#include <memory>
#include <string>
#include <vector>

namespace quorbit {

class TStShellNotification;

// The folders of the file system from "/" (or another root) down, hidden ones
// and links left out, so no walk of the tree can go round in a circle. A
// folder's sub-folders are listed when its node is first expanded. Names and
// paths are the file system's bytes, whatever text they decode to.
class ShellTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    explicit ShellTreeModel(const std::string& rootPath, QObject* parent = nullptr);
    ~ShellTreeModel() override;

    // The node of the absolute `path`, listing the folders on the way; invalid
    // when the path leads through something the tree does not show.
    QModelIndex findOrList(const std::string& path);
    std::string pathOf(const QModelIndex& index) const;
    // Lists the node's folder again: new sub-folders get nodes, vanished ones
    // lose theirs, and the nodes that stay keep what is below them. A folder
    // renamed meanwhile keeps its node under the new name. A folder that
    // cannot be listed keeps its nodes until its parent is listed again.
    void relist(const QModelIndex& index);
    // The words of the rename and drop errors.
    void setTexts(const BrowserTexts& texts) { m_texts = texts; }
    const BrowserTexts& texts() const { return m_texts; }

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
    // The node's folder was renamed, here or by another program; it and the
    // nodes below it have their new paths.
    void folderMoved(const QModelIndex& index);
    // The node's folder is gone; the node and those below it are removed next.
    void folderAboutToGo(const QModelIndex& index);

private:
    struct Node;
    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOf(const Node* node) const;
    // False when the folder could not be read.
    bool listChildren(Node* node, std::vector<std::unique_ptr<Node>>& children) const;

    std::unique_ptr<Node> m_root;
    QIcon m_folderIcon;
    bool m_changing = false; // while the model reports a change of its own
    BrowserTexts m_texts;
};

// The folder tree, StShellTreeView1. Every folder the user reaches is
// reported through folderSelected; the selection never moves to another
// folder unannounced.
class TStShellTreeView : public QTreeView {
    Q_OBJECT

public:
    explicit TStShellTreeView(QWidget* parent = nullptr, const std::string& rootPath = "/");

    ShellTreeModel& shellModel() const { return *m_model; }
    // Selects the folder at `path` (the root for an empty one), expanding the
    // way there. False, with the selection kept, when the path names nothing
    // the tree shows: a missing path, a file, a hidden folder.
    bool SelectFolder(const std::string& path);
    // The selected folder; empty when none is.
    std::string selectedFolder() const;
    // Copy Path: the node's path on the clipboard, as a file URL and as text.
    void copyPath(const QModelIndex& index) const;
    // The words of the menu, errors and the accessible name; the menu takes them when it next opens.
    void setTexts(const BrowserTexts& texts);

signals:
    // OnFolderSelected: `path` became the selected folder.
    void folderSelected(const std::string& path);
    // The selected folder, or a folder above it, was renamed: the same folder
    // is now at `newPath`.
    void selectedFolderMoved(const std::string& newPath);
    // The selected folder at `lostPath` is gone; its nearest existing ancestor,
    // `shownPath`, was selected in its place (folderSelected came first).
    void selectedFolderGone(const std::string& lostPath, const std::string& shownPath);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void watchExpanded();
    void showMenu(const QPoint& position);
    // Whether the current node is `index` or lies below it.
    bool holdsCurrent(const QModelIndex& index) const;

    ShellTreeModel* m_model;
    TStShellNotification* m_watcher;
};

} // namespace quorbit
