#include "browser/shellcombobox.h"

#include "browser/bytepaths.h"
#include "browser/fileicons.h"
#include "platform/mounts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QTimer>

#include <algorithm>
#include <iterator>
#include <string_view>
#include <vector>

namespace quorbit {

namespace {

constexpr int indentPerLevel = 10;

// Mount changes come in bursts (a disk with several partitions, a package
// manager mounting images); one rebuild after the burst is enough.
constexpr int mountSettleMs = 200;

// Kernel views, memory-backed scratch space and package images: volumes that
// hold no files of the user's to rename.
bool isPseudoFileSystem(std::string_view type)
{
    static constexpr std::string_view pseudo[]
        = {"autofs",          "binfmt_misc", "bpf",        "configfs",  "debugfs", "devpts", "devtmpfs", "efivarfs",
           "fuse.gvfsd-fuse", "fuse.portal", "fusectl",    "hugetlbfs", "mqueue",  "nsfs",   "proc",     "pstore",
           "ramfs",           "rpc_pipefs",  "securityfs", "squashfs",  "sysfs",   "tmpfs",  "tracefs"};
    return type.starts_with("cgroup") || std::find(std::begin(pseudo), std::end(pseudo), type) != std::end(pseudo);
}

// Kernel views, and the system's settings, where containers mount single
// files (/etc/hosts): nothing of the user's to rename. Told by the path alone,
// as a mount point that is a file could only be told by asking its drive.
bool isUnderSystemFolder(std::string_view path)
{
    for (const std::string_view folder : {"/dev", "/etc", "/proc", "/sys"}) {
        if (path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/')) {
            return true;
        }
    }
    return false;
}

// The last folder name of `path`; "/" for the root.
QString entryText(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return displayText(slash == std::string::npos || slash + 1 == path.size() ? path : path.substr(slash + 1));
}

// The folder above `path`; `path` itself for the root.
std::string parentOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos || path == "/" ? path : slash == 0 ? std::string("/") : path.substr(0, slash);
}

QVariant pathData(const std::string& path)
{
    return QByteArray::fromStdString(path);
}

// Paths from Qt's own lookups, as the file system names them.
std::string bytesOf(const QString& path)
{
    return QFile::encodeName(QDir::cleanPath(path)).toStdString();
}

// Draws each entry indented by its level; the closed drop-down shows the
// current entry's icon and text as usual.
class LevelDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem indented(option);
        if (option.direction == Qt::RightToLeft) {
            indented.rect.setRight(option.rect.right() - indentOf(index));
        } else {
            indented.rect.setLeft(option.rect.left() + indentOf(index));
        }
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indentOf(index), 0);
    }

private:
    static int indentOf(const QModelIndex& index)
    {
        return index.data(TStShellComboBox::LevelRole).toInt() * indentPerLevel;
    }
};

} // namespace

TStShellComboBox::TStShellComboBox(QWidget* parent)
    : QComboBox(parent)
    , m_folderIcon(fileIcon(QAbstractFileIconProvider::Folder))
    , m_driveIcon(fileIcon(QAbstractFileIconProvider::Drive))
{
    setEditable(false);
    setAccessibleName(QStringLiteral("Folder path"));
    FillCombo();
    connect(this, &QComboBox::activated, this, [this](int index) {
        const std::string path = itemData(index, PathRole).toByteArray().toStdString();
        emit folderChosen(path);
        RefreshView(path);
    });
    watchMounts();
}

TStShellComboBox::~TStShellComboBox() = default;

void TStShellComboBox::FillCombo()
{
    clear();
    const std::string home = bytesOf(QDir::homePath());
    addBaseEntry(home, entryText(home), 0, m_folderIcon);
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) {
        addBaseEntry(bytesOf(desktop), entryText(bytesOf(desktop)), 1, m_folderIcon);
    }
    addBaseEntry("/", QStringLiteral("/"), 0, m_driveIcon);

    // The kernel's table alone: a volume whose drive stopped answering is
    // offered all the same, and costs the window no wait.
    std::vector<files::Mount> volumes = files::mountTable();
    std::sort(volumes.begin(), volumes.end(),
              [](const files::Mount& a, const files::Mount& b) { return a.mountPoint < b.mountPoint; });
    for (const files::Mount& volume : volumes) {
        if (!isPseudoFileSystem(volume.type) && !isUnderSystemFolder(volume.mountPoint)) {
            addBaseEntry(volume.mountPoint, entryText(volume.mountPoint), 1, m_driveIcon);
        }
    }
    setCurrentIndex(0);
}

void TStShellComboBox::RefreshView(const std::string& path)
{
    removeAddedEntries();
    if (path.empty() || path[0] != '/') {
        return;
    }
    std::string shown = path;
    while (shown.size() > 1 && shown.back() == '/') {
        shown.pop_back();
    }
    m_shownPath = std::move(shown);

    // Walking up finds the deepest base entry first, so a folder below the
    // desktop goes under the desktop rather than under home or "/".
    std::vector<std::string> chain;
    std::string folder = m_shownPath;
    int baseRow = findData(pathData(folder), PathRole);
    while (baseRow < 0) {
        chain.insert(chain.begin(), folder);
        const std::string parent = parentOf(folder);
        if (parent == folder) {
            return;
        }
        folder = parent;
        baseRow = findData(pathData(folder), PathRole);
    }
    const int baseLevel = itemData(baseRow, LevelRole).toInt();
    for (std::size_t depth = 1; depth <= chain.size(); ++depth) {
        const std::string& link = chain[depth - 1];
        const int level = static_cast<int>(depth);
        insertEntry(baseRow + level, link, entryText(link), baseLevel + level, true, m_folderIcon);
    }
    setCurrentIndex(baseRow + static_cast<int>(chain.size()));
}

void TStShellComboBox::showPopup()
{
    // Qt makes the drop-down list when it is first asked for; the closed box
    // the window starts with needs none, so the list gets its delegate here.
    if (!dynamic_cast<LevelDelegate*>(itemDelegate())) {
        setItemDelegate(new LevelDelegate(this));
    }
    QComboBox::showPopup();
}

std::string TStShellComboBox::selectedPath() const
{
    return currentData(PathRole).toByteArray().toStdString();
}

void TStShellComboBox::rebuildAfterMountChange()
{
    const std::string path = selectedPath();
    const QString text = currentText();
    const int index = currentIndex();
    const std::string shown = m_shownPath;
    FillCombo();
    if (!shown.empty()) {
        RefreshView(shown);
    }
    int row = findData(pathData(path), PathRole);
    if (row < 0) {
        row = findText(text);
    }
    if (row < 0) {
        row = std::clamp(index, 0, count() - 1);
    }
    setCurrentIndex(row);
    if (!shown.empty()) {
        emit volumesChanged(selectedPath());
    }
}

void TStShellComboBox::addBaseEntry(const std::string& path, const QString& text, int level, const QIcon& icon)
{
    // Home may be "/", or a volume; each folder is offered once.
    if (findData(pathData(path), PathRole) < 0) {
        insertEntry(count(), path, text, level, false, icon);
    }
}

void TStShellComboBox::insertEntry(int row, const std::string& path, const QString& text, int level, bool added,
                                   const QIcon& icon)
{
    insertItem(row, icon, text, pathData(path));
    setItemData(row, level, LevelRole);
    setItemData(row, added, AddedRole);
}

void TStShellComboBox::removeAddedEntries()
{
    for (int row = count() - 1; row >= 0; --row) {
        if (itemData(row, AddedRole).toBool()) {
            removeItem(row);
        }
    }
}

void TStShellComboBox::watchMounts()
{
#ifdef Q_OS_LINUX
    // The kernel marks /proc/self/mounts as having an exceptional condition
    // (POLLPRI) each time a volume is mounted or unmounted; the table is read
    // through after each report before the entries are rebuilt.
    auto table = std::make_unique<QFile>(QStringLiteral("/proc/self/mounts"));
    if (!table->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return;
    }
    table->readAll();
    m_mountTable = std::move(table);
    m_mountSettle = new QTimer(this);
    m_mountSettle->setSingleShot(true);
    m_mountSettle->setInterval(mountSettleMs);
    connect(m_mountSettle, &QTimer::timeout, this, &TStShellComboBox::rebuildAfterMountChange);
    m_mountWatch = std::make_unique<QSocketNotifier>(m_mountTable->handle(), QSocketNotifier::Exception);
    connect(m_mountWatch.get(), &QSocketNotifier::activated, this, [this] {
        m_mountTable->seek(0);
        m_mountTable->readAll();
        m_mountSettle->start();
    });
#endif
}

} // namespace quorbit
