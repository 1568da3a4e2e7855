#pragma once

#include "browser/browsertexts.h"
#include "browser/shelllistmodel.h"
#include "listing/shellitems.h"
#include "platform/background.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <string>
#include <vector>

class QAbstractItemView;
class QLabel;
class QListView;
class QStackedLayout;
class QTreeView;

namespace quorbit {

class TStShellNotification;

// The folder content list, StShellListView1: the entries of the shown folder
// in report view (or as icons), kept up to date with the disk.
class TStShellListView : public QWidget {
    Q_OBJECT

public:
    enum class ViewStyle { LargeIcons, SmallIcons, List, Report };

    explicit TStShellListView(QWidget* parent = nullptr);
    ~TStShellListView() override;

    ShellListModel& model() const { return *m_model; }
    QTreeView* reportView() const { return m_report; }

    // Shows `folder`, sorted by name.
    void FillList(const std::string& folder);
    // The shown folder was renamed to `folder`; it stays shown, with its rows.
    void folderMoved(const std::string& folder);
    // Lists the shown folder anew, sorted by name.
    void Refresh();
    // Lists the shown folder anew (`relist`) or only sorts and filters it
    // again, keeping the sort column; the selection goes back to the entry
    // whose name contains the selected row's caption, else to the same row.
    void RefreshList(bool relist);
    const std::vector<listing::ShellItem>& GetShellItems() const { return m_model->GetShellItems(); }
    void SetFileFilter(const QString& maskText);
    void SetFiltered(bool on);

    // While off, changes on disk are only noted; turned on again, the list
    // lists its folder once if anything changed. A run that renames a whole
    // folder would otherwise share the disk with listings of it.
    void setFollowChanges(bool follow);

    ViewStyle viewStyle() const { return m_style; }
    void setViewStyle(ViewStyle viewStyle);

    // The selected row, -1 for none.
    int selectedRow() const;
    void selectRow(int row);
    // Starts editing the selected row's name.
    void renameSelected();
    // Puts the selected entry's path on the clipboard, as a file URL and as text.
    void copySelectedPath() const;
    // Moves the selected entry to the user's trash, on a thread of its own:
    // the model's failed() tells when it could not.
    void trashSelected();
    // The words of the headers, menus, errors and the views' accessible names.
    void setTexts(const BrowserTexts& texts);

signals:
    // OnSelectItem: the entry `name` of the shown folder became selected.
    void selectItem(const std::string& name, bool selected);
    // A folder row was opened; the browser should show `path`.
    void folderOpened(const std::string& path);
    // Backspace asks for the parent of the shown folder.
    void parentRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QAbstractItemView* currentView() const;
    // Shows or hides, over the rows, that the folder's drive does not answer.
    void showNotAnswering(bool notAnswering);
    // The settings, signals and place in the stack that both views share.
    void setUpView(QAbstractItemView* view);
    void unsetBusyCursor();
    void openRow(int row);
    void showMenu(const QPoint& position);
    void restoreSelection();
    void onShellEvent();

    ShellListModel* m_model;
    QTreeView* m_report;
    QListView* m_icons = nullptr; // made when first shown
    QStackedLayout* m_stack;
    TStShellNotification* m_watcher;
    ViewStyle m_style = ViewStyle::Report;
    // What RefreshList selects again once the listing is in.
    std::string m_rememberedName;
    int m_rememberedRow = -1;
    bool m_followChanges = true;
    bool m_changedUnseen = false;
    // Re-listings for change reports are spaced, so a burst of changes costs a
    // few listings rather than one per report.
    QTimer m_relistTimer;
    QElapsedTimer m_sinceListing;
    qint64 m_lastListingMs = 0;
    QLabel* m_notAnswering = nullptr; // made when first shown
    // Opens links and moves entries to the trash, which may wait for a drive.
    platform::DetachedJobs m_jobs;
};

} // namespace quorbit
