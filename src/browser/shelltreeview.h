#pragma once

#include "browser/browsertexts.h"
#include "platform/background.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QTreeView>

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorbit {

class TStShellNotification;

// The folders of the file system from "/" (or another root) down, hidden ones
// and links left out, so no walk of the tree can go round in a circle. A
// folder's sub-folders are listed on a thread of their own when its node is
// first expanded, and the node fills in when the listing is in: a drive that
// stops answering holds up its own nodes alone, each of which says so after a
// second. One listing of a folder is under way at a time. Names and paths are
// the file system's bytes, whatever text they decode to.
class ShellTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    explicit ShellTreeModel(const std::string& rootPath, QObject* parent = nullptr);
    ~ShellTreeModel() override;

    // The node of the absolute `path` among the folders listed so far; invalid
    // when the path leads through something the tree does not show, or
    // through a folder not listed yet.
    QModelIndex find(const std::string& path) const;
    // The listed child of `parent` called `name`; invalid when there is none.
    QModelIndex childNamed(const QModelIndex& parent, const std::string& name) const;
    std::string pathOf(const QModelIndex& index) const;
    // Whether the node's sub-folders are known: its folder was listed.
    bool isListed(const QModelIndex& index) const;
    // Lists the node's folder again, and changes the nodes when the listing is
    // in: new sub-folders get nodes, vanished ones lose theirs, and the nodes
    // that stay keep what is below them. A folder renamed meanwhile keeps its
    // node under the new name. A folder that cannot be listed keeps its nodes
    // until its parent is listed again. Asked while a listing of the folder is
    // under way, the new listing follows that one.
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
    // The listing of the node's folder is in, and the nodes show it.
    void folderListed(const QModelIndex& index);
    // The node's folder was renamed, here or by another program; it and the
    // nodes below it have their new paths.
    void folderMoved(const QModelIndex& index);
    // The node's folder is gone; the node and those below it are removed next.
    void folderAboutToGo(const QModelIndex& index);

private:
    struct Node;
    // A folder's sub-folders, as a thread listed them.
    struct Listing;
    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOf(const Node* node) const;
    Node* nodeAt(const std::string& path) const;
    // Reads the sub-folders of `path`; may wait as long as its drive takes.
    static Listing listChildren(const std::string& path);
    // Lists the node's folder on a thread of its own. While a listing of it is
    // under way, `again` asks for another one after it.
    void startListing(Node* node, bool again);
    void takeListing(const std::string& path, Listing& listing);
    void fill(Node* node, Listing& listing);
    void merge(Node* node, Listing& listing);
    void markNotAnswering(const std::string& path, std::uint64_t ticket);
    // The listings under way for the node and those below it list their old
    // paths: they are asked for anew.
    void relistMoved(Node& node);

    std::unique_ptr<Node> m_root;
    QIcon m_folderIcon;
    BrowserTexts m_texts;
    struct Underway {
        std::uint64_t ticket = 0;
        bool again = false; // another listing was asked for meanwhile
    };
    // The listing under way of each folder, by path.
    std::unordered_map<std::string, Underway> m_underway;
    std::uint64_t m_lastTicket = 0;
    // Last, so that no listing is handed over while the rest goes.
    platform::DetachedJobs m_jobs;
};

// The folder tree, StShellTreeView1. Every folder the user reaches is
// reported through folderSelected; the selection never moves to another
// folder unannounced.
class TStShellTreeView : public QTreeView {
    Q_OBJECT

public:
    explicit TStShellTreeView(QWidget* parent = nullptr, const std::string& rootPath = "/");

    ShellTreeModel& shellModel() const { return *m_model; }
    // What SelectFolder did.
    enum class Selection {
        Selected, // the folder is selected, and folderSelected told so
        // Folders on the way are being listed: the folder is selected once they
        // are in, or folderNotShown tells that it is none the tree shows.
        Pending,
        NotShown, // the path names nothing the tree shows; the selection is kept
    };
    // Selects the folder at `path` (the root for an empty one), expanding the
    // way there. The folders on the way are listed first where they are not
    // yet, and a folder missing from a listing is listed once more before the
    // path counts as none the tree shows (a missing path, a file, a hidden
    // folder). A later SelectFolder, or a click or a key in the tree, calls off
    // one that waits.
    Selection SelectFolder(const std::string& path);
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
    // The folder a SelectFolder waited for is none the tree shows; the
    // selection was kept.
    void folderNotShown(const std::string& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // Goes on down the way of the selection that waits, as far as the folders
    // listed so far lead.
    Selection continueSelection();
    // Expands the folders above the node and scrolls it into sight.
    void showNode(const QModelIndex& index);
    void watchExpanded();
    void showMenu(const QPoint& position);
    // Whether the current node is `index` or lies below it.
    bool holdsCurrent(const QModelIndex& index) const;

    ShellTreeModel* m_model;
    TStShellNotification* m_watcher;
    // The selection that waits for listings.
    struct WaitingSelection {
        std::string path;
        std::vector<std::string> names; // below the root
        std::set<std::string> relisted; // the folders listed once more for it
    };
    std::optional<WaitingSelection> m_waiting;
};

} // namespace quorbit
