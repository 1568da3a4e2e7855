#pragma once

#include <QComboBox>
#include <QIcon>
#include <QString>

#include <memory>
#include <string>

class QFile;
class QSocketNotifier;
class QTimer;

namespace quorbit {

// The folder path drop-down above the folder tree. Its base entries are the
// home folder with the desktop below it, "/" and the mounted volumes; the
// folders leading down to the shown folder are added below the nearest base
// entry, each one level deeper, and removed again when another one is shown.
class TStShellComboBox : public QComboBox {
    Q_OBJECT

public:
    // What each entry keeps beside its text.
    enum EntryRole {
        PathRole = Qt::UserRole, // QByteArray: the folder's full path, as the file system names it
        LevelRole, // int: how far the entry is indented
        AddedRole, // bool: added for the shown folder rather than a base entry
    };

    explicit TStShellComboBox(QWidget* parent = nullptr);
    ~TStShellComboBox() override;

    // Replaces all entries with the base entries and selects the first.
    void FillCombo();
    // Drops the entries added for the folder shown before, adds those leading
    // down to `path` below its nearest base entry and selects `path`'s entry.
    // Emits nothing.
    void RefreshView(const std::string& path);
    // The current entry's path; empty when there is none.
    std::string selectedPath() const;
    // Rebuilds the entries after volumes came or went, keeps the chosen entry
    // where it can (by path, then text, then position) and emits
    // volumesChanged, when a folder is shown.
    void rebuildAfterMountChange();
    // Shows the entries indented by their levels.
    void showPopup() override;

signals:
    // The user picked the entry of `path`, or the volumes changed under it.
    void folderChosen(const std::string& path);
    // Volumes came or went while a folder was shown: `path` is its entry, or
    // the entry in its place when it went with its volume. Nothing is said
    // while no folder is shown, so a folder still being looked for is not
    // dropped for the first entry.
    void volumesChanged(const std::string& path);

private:
    void addBaseEntry(const std::string& path, const QString& text, int level, const QIcon& icon);
    void insertEntry(int row, const std::string& path, const QString& text, int level, bool added, const QIcon& icon);
    void removeAddedEntries();
    void watchMounts();

    QIcon m_folderIcon;
    QIcon m_driveIcon;
    std::string m_shownPath;
    // Declared in this order so that the watch ends before the file closes.
    std::unique_ptr<QFile> m_mountTable;
    std::unique_ptr<QSocketNotifier> m_mountWatch;
    QTimer* m_mountSettle = nullptr;
};

} // namespace quorbit
