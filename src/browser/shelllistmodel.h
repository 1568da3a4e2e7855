#pragma once

#include "browser/browsertexts.h"
#include "listing/shellitems.h"
#include "platform/background.h"
#include "rename/entrypreview.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QHash>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorbit {

// The column after the five of the listing: what a rename run would name each entry.
constexpr int NewNameColumn = listing::ColumnCount;

// The language's words of the New name column.
struct PreviewTexts {
    QString caption;
    QString unchanged;
    QString willRename;
    QString willNotRename;
    QString taken;
    QString wantedTwice;
    QString unsafe;
    QString refusedCharacter; // the folder's drive does not allow a character of the new name
    QString tooLong; // nor a name so long
    QString patternTooSlow; // the regular expression takes too long on the name
    QString noPhotoDate; // added to the mark of a photo that the operation names
};

// The Type column's texts in the words of `texts`, asked once per extension.
// A copy can serve another thread; one object serves one thread at a time.
class TypeNames {
public:
    explicit TypeNames(const BrowserTexts& texts = {});
    // The registered name of the entry's type, else plainText.
    QString text(const listing::ShellItem& item) const;
    // The Type column where no registered type name is known, in the language's words.
    QString plainText(const listing::ShellItem& item) const;

private:
    BrowserTexts m_texts;
    mutable QHash<QString, QString> m_known;
};

// The entries of the shown folder as rows. Folders are listed, and large
// ones sorted, off the GUI thread, so a folder of a million entries never
// stalls the window; the rows change when the listing or the sort is in. Each
// listing has a thread of its own: one that waits for a drive that stopped
// answering holds up no other folder, and a folder shown again while its
// listing still waits is not asked a second time.
class ShellListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ShellListModel(QObject* parent = nullptr);
    ~ShellListModel() override;

    // Lists `folder` anew. With `fresh`, the sort goes back to the Name
    // column, as for a folder newly shown; otherwise the sort column stays.
    void listFolder(const std::string& folder, bool fresh);
    // The shown folder was renamed to `folder`: the rows stay while it is listed anew.
    void folderMoved(const std::string& folder);
    // The folder shown, or being listed, as the file system names it.
    const std::string& folder() const { return m_folder; }
    // Whether a listing is under way.
    bool isListing() const { return m_listing; }
    // Whether the rows wait for a sort made off the window's thread.
    bool isSorting() const { return m_sorting; }
    // Whether the listing of the shown folder has been under way for more than a second.
    bool isNotAnswering() const { return m_notAnswering; }
    // `watch` is called on the worker with the folder just before each
    // listing, so a change made while it lists is reported.
    void setWatchBeforeListing(std::function<void(const std::string&)> watch)
    {
        m_watchBeforeListing = std::move(watch);
    }
    // Lists of up to `count` entries are sorted at once on the window's
    // thread, larger ones off it.
    void setSortInPlaceLimit(std::size_t count) { m_sortInPlaceLimit = count; }

    // The entries the rows show, in sort order; the filtered ones while the
    // filter is on. Row r shows entry r ascending, entry count-1-r descending.
    const std::vector<listing::ShellItem>& GetShellItems() const;
    const std::vector<listing::ShellItem>& allItems() const { return *m_allItems; }
    // The entries the rows show, for another thread to read while the list
    // goes on: a change made meanwhile goes to a copy.
    std::shared_ptr<const std::vector<listing::ShellItem>> shownItems() const;
    // The entry a row shows, and back.
    int entryOfRow(int row) const;
    // Reversing is its own inverse.
    int rowOfEntry(int entry) const { return entryOfRow(entry); }
    const listing::ShellItem& itemOfRow(int row) const;
    std::string pathOfRow(int row) const;

    void SetFileFilter(const QString& maskText);
    void SetFiltered(bool on);

    int clickedColumn() const { return m_clickedColumn; }
    bool ascending() const { return m_ascending; }
    // Sorts and filters the listed entries again and shows them.
    void redisplay();
    // A click on a column header: the sort column again reverses the rows,
    // another column sorts by it, ascending.
    void ColClick(int column);

    // Shows `preview` in the New name column. The rows stay as they are, and
    // each finds its new name by its entry's name, whatever order or filter.
    // `patternProblem` is the reason an entry marked InvalidPattern keeps its name.
    void setPreview(ListPreview preview, const QString& patternProblem = {});
    const ListPreview& preview() const { return m_preview; }
    void setPreviewTexts(const PreviewTexts& texts);
    // The column headers and error sentences; the headers change at once.
    void setTexts(const BrowserTexts& texts);
    const BrowserTexts& texts() const { return m_texts; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Renames the row's entry, never over an existing one.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    // Moves (or with a copy action copies) the dropped entries into the
    // folder dropped on, or into the shown folder.
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

signals:
    // A listing is in and the rows show it; `newFolder` for the first listing
    // of a folder other than the one shown before.
    void listFilled(bool newFolder);
    // A sort made off the window's thread is in and the rows show it.
    void rowsSorted();
    // isNotAnswering() changed.
    void notAnsweringChanged(bool notAnswering);
    // An in-place rename or a drop could not be done; `text` says why.
    void failed(const QString& text);

private:
    struct Arrangement;
    // Lists the shown folder on the worker, sorted by the sort column.
    void startListing();
    // Sorts the listed entries by the sort column on the worker.
    void startSort();
    // Runs `work` on a thread of its own as the job the rows wait for; its number.
    std::uint64_t runOnWorker(std::function<void(Arrangement&)> work);
    void takeArrangement(std::uint64_t job, std::shared_ptr<Arrangement> arrangement);
    // Tells, a second after the shown folder's listing started, that its drive
    // does not answer, until the listing is in.
    void watchAnswer();
    void takeListing(Arrangement& listing);
    // Shows `items` in place of the listed entries.
    void showItems(std::vector<listing::ShellItem> items);
    // Shows `items` in place of the filtered entries.
    void showFiltered(std::vector<listing::ShellItem> items);
    // Sorts and filters the listed entries; only between the two ends of a reset.
    void arrangeEntries();
    // Runs `change`, which moves rows, so that persistent indexes (the
    // selection) follow their entries.
    void moveRows(const std::function<void()>& change);
    bool filterOn() const { return !m_fileFilter.isEmpty() && m_filtered; }
    // The entries `items` holds, to change: a copy when another thread reads them.
    static std::vector<listing::ShellItem>& own(std::shared_ptr<std::vector<listing::ShellItem>>& items);
    // FilteredItems anew from AllItems, in their order; empty while the filter is off.
    void refilter();
    QVariant previewData(const listing::ShellItem& item, int role) const;
    QString markText(PreviewMark mark) const;
    QString markText(const EntryPreview& entry) const;
    void columnChanged(int column);

    std::string m_folder;
    // Shared with a sort under way on the worker or a command that reads
    // them: changed in place only when not shared.
    std::shared_ptr<std::vector<listing::ShellItem>> m_allItems;
    std::shared_ptr<std::vector<listing::ShellItem>> m_filteredItems;
    QString m_fileFilter;
    bool m_filtered = false;
    int m_clickedColumn = 0; // the column the header shows as the sort column
    int m_sortedColumn = 0; // the column the entries are in the order of
    bool m_ascending = true;
    bool m_freshListing = false;
    bool m_newFolder = false; // no listing of the shown folder is in yet
    bool m_listing = false;
    bool m_listAgain = false;
    bool m_sorting = false;
    bool m_notAnswering = false;
    std::size_t m_sortInPlaceLimit = 20'000;
    std::uint64_t m_lastJob = 0;
    std::uint64_t m_awaitedJob = 0; // the listing or sort the rows wait for; 0 for none
    struct ListingUnderway {
        std::uint64_t job = 0;
        QElapsedTimer since;
    };
    // The listing under way of each folder, shown or not, by path.
    std::unordered_map<std::string, ListingUnderway> m_listingsUnderway;
    QTimer m_answerTimer;
    std::function<void(const std::string&)> m_watchBeforeListing;
    platform::Disposer m_disposer; // frees the entries shown before
    TypeNames m_typeNames;
    ListPreview m_preview;
    PreviewTexts m_previewTexts;
    QString m_patternProblem;
    BrowserTexts m_texts;
    // Last, so that no job's result is handed over while the rest goes.
    platform::DetachedJobs m_jobs;
};

} // namespace quorbit
