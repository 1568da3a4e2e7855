#include "app/mainwindow.h"

#include "app/aboutbox.h"
#include "app/mnemonics.h"
#include "app/numberedit.h"
#include "app/radiogroup.h"
#include "app/renamepreview.h"
#include "app/tagpanel.h"
#include "app/titletemplatebox.h"
#include "app/winxp.h"
#include "browser/browsertexts.h"
#include "browser/bytepaths.h"
#include "browser/filtercombobox.h"
#include "browser/shellcombobox.h"
#include "browser/shelllistview.h"
#include "browser/shelltreeview.h"
#include "platform/background.h"
#include "platform/files.h"
#include "rename/journalreplay.h"
#include "rename/runhistory.h"
#include "rename/sortcommand.h"
#include "rename/tagname.h"
#include "settings/settingsfile.h"
#include "tags/photoname.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <future>

namespace quorbit {

namespace {

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toUtf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

// The folder above `path`, as the file system names it; "/" for a folder at the top.
std::string parentFolder(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

// The file types of the list: the language key of each one's description, and the masks it selects.
constexpr std::pair<std::string_view, const char*> fileTypes[] = {{"StringTypeAllFiles", "*.*"},
                                                                  {"StringTypeText", "*.txt"},
                                                                  {"StringTypeHtml", "*.html;*.htm"},
                                                                  {"StringTypeImages", "*.bmp;*.jpg;*.gif;*.png"},
                                                                  {"StringTypeAudio", "*.wav;*.mp3;*.ogg"},
                                                                  {"StringTypeVideo", "*.avi;*.mpg;*.mov;*.flv"}};

QLabel* labelFor(QWidget* control, const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setBuddy(control);
    return label;
}

template <class Control>
Control* named(Control* control, const QString& name)
{
    control->setObjectName(name);
    return control;
}

// Runs `work` on a thread of its own and gives its result, turning the
// event loop meanwhile so the window stays live. What `work` holds is freed
// on that thread too.
template <class Work>
auto liveUntilDone(Work work) -> decltype(work())
{
    std::optional<Work> owned(std::move(work));
    auto pending = std::async(std::launch::async, [&owned] {
        auto result = (*owned)();
        owned.reset();
        return result;
    });
    while (pending.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
        QCoreApplication::processEvents();
    }
    return pending.get();
}

} // namespace

void setUpApplication()
{
    platform::freeSmallBlocksAtOnce();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/org.example.Quorbit.svg")));
    // Lets the desktop match the window to its menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Quorbit"));
}

WindowPlaces WindowPlaces::forExecutable(const std::string& executablePath)
{
    return {settings::settingsPaths(executablePath), settings::languageFolder(parentFolder(executablePath) + "/"),
            quorbit::journalFolder()};
}

// What a command shows in the window while it works on a thread of its own
// (see liveUntilDone): the strip's changes are queued to the window's thread,
// and a close asked for there stops the command between two entries.
class TForm1::Progress : public RunProgress {
public:
    explicit Progress(TForm1& window)
        : m_window(window)
    {
    }
    void showProgress() override
    {
        post([window = &m_window] { window->m_progressStrip->show(); });
    }
    // Asked after every entry: only a new percentage is sent.
    void setProgressPosition(int position) override
    {
        if (std::exchange(m_position, position) != position) {
            post([window = &m_window, position] { window->m_progressBar->setValue(position); });
        }
    }
    void hideProgress() override
    {
        post([window = &m_window] { window->m_progressStrip->hide(); });
    }
    bool stopRequested() override { return m_window.m_closeRequested; }

private:
    template <class Change>
    void post(Change change)
    {
        QMetaObject::invokeMethod(&m_window, std::move(change), Qt::QueuedConnection);
    }

    TForm1& m_window;
    int m_position = -1;
};

TForm1::TForm1(WindowPlaces places, QWidget* parent)
    : QMainWindow(parent)
    , m_places(std::move(places))
    , m_showMessage([this](const QString& text) { QMessageBox::warning(this, windowTitle().trimmed(), text); })
    , m_chooseRecovery([this](const QString& question) { return askRecovery(question); })
    , m_preview(std::make_unique<RenamePreview>([this] {
        return RenamePreview::Job{currentRunSettings(), currentTagNames(), RandomGenerator::instance()};
    }))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral(" Quorbit 1.5"));
    buildMenu();

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    // The tag panel shares the height with the panes above it, and folds away on a short screen.
    auto* tagSplitter = named(new QSplitter(Qt::Vertical, central), QStringLiteral("SplitterTags"));
    auto* upperArea = new QWidget(tagSplitter);
    auto* upper = new QHBoxLayout(upperArea);
    upper->setContentsMargins(0, 0, 0, 0);
    upper->setSpacing(0);
    auto* splitter = named(new QSplitter(Qt::Horizontal, upperArea), QStringLiteral("Splitter2"));
    splitter->addWidget(buildLeftPane());
    splitter->addWidget(buildMiddlePane());
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({265, 374});
    splitter->setChildrenCollapsible(false);
    upper->addWidget(splitter, 1);
    upper->addWidget(buildRightPane(), 0);
    tagSplitter->addWidget(upperArea);
    tagSplitter->addWidget(buildTagPanel());
    tagSplitter->setStretchFactor(0, 1);
    tagSplitter->setStretchFactor(1, 0);
    tagSplitter->setCollapsible(0, false);
    column->addWidget(tagSplitter, 1);
    m_progressStrip = named(new QFrame(central), QStringLiteral("PanelBottom"));
    auto* progressLayout = new QHBoxLayout(m_progressStrip);
    progressLayout->setContentsMargins(0, 0, 0, 0);
    m_progressBar = named(new QProgressBar(m_progressStrip), QStringLiteral("ProgressBar1"));
    m_progressBar->setRange(0, 100);
    m_progressBar->setAccessibleName(QStringLiteral("Progress"));
    progressLayout->addWidget(m_progressBar);
    m_progressStrip->hide();
    column->addWidget(m_progressStrip);
    setCentralWidget(central);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->installEventFilter(this);
    statusBar()->setSizeGripEnabled(true);

    (void)TWinXP::create(this); // one on a window: it cannot fail here
    // Looked up for every language key, at start and at each switch: a search of the window each time was slow.
    for (QObject* child : findChildren<QObject*>()) {
        if (qobject_cast<QMenu*>(child) || qobject_cast<QAction*>(child) || qobject_cast<QGroupBox*>(child)
            || qobject_cast<QLabel*>(child) || qobject_cast<QAbstractButton*>(child)) {
            m_captioned.insert(child->objectName(), child);
        }
    }
    // The form's own captions, until a language file replaces them.
    for (std::size_t position = 0; position < m_texts.size(); ++position) {
        const settings::LanguageTarget target = settings::languageTarget(settings::LanguageKeys[position]);
        m_texts[position]
            = toUtf8(target.inAboutBox ? TAboutBox::builtInText(target.control) : caption(target, nullptr));
    }
    m_texts[settings::languageKeyIndex("StringNoFolder")] = "No folder is selected.";
    m_texts[settings::languageKeyIndex("StringTagsNotSaved")] = "The tags of %s could not be saved.";
    for (const auto& [key, text] :
         {std::pair{"StringArtist", "%Artist%"},
          std::pair{"StringTitle", "%Title%"},
          std::pair{"StringAlbum", "%Album%"},
          std::pair{"StringYear", "%Year%"},
          std::pair{"StringTrack", "%Track%"},
          std::pair{"StringAddSymbols", "Add symbols:"},
          std::pair{"StringDeleteSymbols", "Delete symbols:"},
          std::pair{"StringFindSymbols", "Find symbols:"},
          std::pair{"StringReplaceBy", "Replace by:"},
          std::pair{"StringSymbols", "Symbols:"},
          std::pair{"StringStartValue", "Start value:"},
          std::pair{"StringSymbolsBefore", "Text before the number:"},
          std::pair{"StringRenamed", "Renamed"},
          std::pair{"StringFiles", "files"},
          std::pair{"StringDirs", "folders"},
          std::pair{"StringSorted", "Sorted"},
          std::pair{"StringNotRenamed", "not renamed"},
          std::pair{"StringNameTaken", "the name belongs to an entry that stays"},
          std::pair{"StringNameWantedTwice", "an entry before it takes the same name"},
          std::pair{"StringNameUnsafe", "the new name is not a valid name"},
          std::pair{"StringNameRefusedCharacter", "the drive does not allow a character of the new name"},
          std::pair{"StringNameTooLong", "the new name is longer than the drive allows"},
          std::pair{"StringRenameFailed", "the rename failed"},
          std::pair{"StringNewName", "New name"},
          std::pair{"StringUnchanged", "unchanged"},
          std::pair{"StringWillRename", "will be renamed"},
          std::pair{"StringWillNotRename", "will not be renamed"},
          std::pair{"StringWouldRename", "Would rename"},
          std::pair{"StringNothingToUndo", "There is no run to undo."},
          std::pair{"StringRestored", "Restored"},
          std::pair{"StringNotRestored", "not restored"},
          std::pair{"StringRenamedSince", "renamed again since the run"},
          std::pair{"StringDeletedSince", "deleted since the run"},
          std::pair{"StringOldNameTaken", "its old name is taken"},
          std::pair{"StringUnfinishedRun",
                    "A run in %s did not finish: %d of its %d moves were made. Finish the run, undo what it did, or "
                    "leave it as it is?"},
          std::pair{"StringFinishRun", "Finish"},
          std::pair{"StringUndoRun", "Undo"},
          std::pair{"StringLeaveRun", "Leave"},
          std::pair{"StringJournalUnreadable", "The journal %s cannot be read. No file was touched."},
          std::pair{"StringJournalNotWritten",
                    "The journal could not be written, so nothing more was moved. What "
                    "was moved can be undone when Quorbit starts next."},
          std::pair{"StringNotSorted", "not sorted"},
          std::pair{"StringFolderReadOnly", "the folder is read-only"},
          std::pair{"StringExtensionNameTaken", "a file holds the extension folder's name"},
          std::pair{"StringEntryVanished", "the entry is gone"},
          std::pair{"StringFolderUnreadable", "the folder cannot be read"},
          std::pair{"StringAlreadyInFolder", "an entry of that name is already there"},
          std::pair{"StringMoveFailed", "the move failed"},
          std::pair{"StringFolderGone", "The folder %s is gone; showing %s."},
          std::pair{"StringChangedSince", "changed since the run"},
          std::pair{"StringLocale", "en"},
          std::pair{"StringRenamedCount", "{count, plural, one {Renamed # file} other {Renamed # files}}"},
          std::pair{"StringFoldersCount", "{count, plural, one {# folder} other {# folders}}"},
          std::pair{"StringNotRenamedCount", "{count, plural, other {# not renamed}}"},
          std::pair{"StringSortedCount", "{count, plural, one {Sorted # file} other {Sorted # files}}"},
          std::pair{"StringNotSortedCount", "{count, plural, other {# not sorted}}"},
          std::pair{"StringWouldRenameCount",
                    "{count, plural, one {Would rename # file} other {Would rename # files}}"},
          std::pair{"StringRestoredCount", "{count, plural, one {Restored # file} other {Restored # files}}"},
          std::pair{"StringNotRestoredCount", "{count, plural, other {# not restored}}"},
          std::pair{"StringColumnName", "Name"},
          std::pair{"StringColumnSize", "Size"},
          std::pair{"StringColumnType", "Type"},
          std::pair{"StringColumnModified", "Modified"},
          std::pair{"StringColumnAttributes", "Attributes"},
          std::pair{"StringTypeAllFiles", "All Files (*.*)"},
          std::pair{"StringTypeText", "Text (*.txt)"},
          std::pair{"StringTypeHtml", "Html (*.html, *.htm)"},
          std::pair{"StringTypeImages", "Images (*.bmp, *.jpg, *.gif, *.png)"},
          std::pair{"StringTypeAudio", "Audio Files (*.wav, *.mp3, *.ogg)"},
          std::pair{"StringTypeVideo", "Video Files (*.avi, *.mpg, *.mov, *.flv)"},
          std::pair{"StringMenuOpen", "&Open"},
          std::pair{"StringMenuRename", "Re&name"},
          std::pair{"StringMenuCopyPath", "&Copy Path"},
          std::pair{"StringMenuTrash", "Move to &Trash"},
          std::pair{"StringMenuLargeIcons", "Lar&ge Icons"},
          std::pair{"StringMenuSmallIcons", "S&mall Icons"},
          std::pair{"StringMenuList", "&List"},
          std::pair{"StringMenuDetails", "&Details"},
          std::pair{"StringAlreadyExists", "\"%s\" already exists in %s; nothing was replaced."},
          std::pair{"StringNotMoved", "\"%s\" could not be moved to %s."},
          std::pair{"StringFolderNotCopied", "\"%s\" is a folder; folders can be moved, not copied."},
          std::pair{"StringNotCopied", "\"%s\" could not be copied to %s."},
          std::pair{"StringInvalidName", "\"%s\" is not a name a file or folder can have."},
          std::pair{"StringNotTrashed", "\"%s\" could not be moved to the trash."},
          std::pair{"StringFoldersNotEntered", "These folders could not be entered and were left as they were:"},
          std::pair{"StringFileList", "Files"},
          std::pair{"StringFolderTree", "Folders"},
          std::pair{"StringFolderPath", "Folder path"},
          std::pair{"StringFileType", "File type"},
          std::pair{"StringProgress", "Progress"},
          std::pair{"StringTypeFolder", "File Folder"},
          std::pair{"StringTypeFileOf", "File %s"},
          std::pair{"StringTypeFile", "File"},
          std::pair{"StringTitleFields", "Title fields"},
          std::pair{"StringAboutPanel", "About Quorbit"},
          std::pair{"StringProgramIcon", "Quorbit icon"},
          std::pair{"StringOk", "OK"},
          std::pair{"StringInvalidFolder", "Invalid folder"},
          std::pair{"StringSiteDescription", "Web site; a click opens it in the browser"},
          std::pair{"StringOkDescription", "Closes this window"},
          std::pair{"StringPattern", "Pattern:"},
          std::pair{"StringInvalidPattern", "the pattern is not valid (%s)"},
          std::pair{"StringPatternNotValid", "The pattern is not valid (%s). Nothing was renamed."},
          std::pair{"StringPhotoFields",
                    "%Date% (2026-07-14), %Time% (09.31.22), %Camera% (make and model), %Original% (the old name)"},
          std::pair{"StringNoPhotoDate", "the photo tells no date taken, so the operation names it"},
          std::pair{"StringNotAnswering", "not answering"},
          std::pair{"StringRunBeingUndone", "this run is being undone by another program"},
          std::pair{"StringPatternTooSlow", "the pattern takes too long on this name"},
          std::pair{"StringNumberTooSmall", "%s must be 1 or more"},
          std::pair{"StringJournalNotUpdated",
                    "The journal %s could not be updated: the run is offered again as it was."}}) {
        m_texts[settings::languageKeyIndex(key)] = text;
    }
    connectPreview();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::buildMenu()
{
    const auto addMenu = [this](QMenu* parent, const QString& name, const QString& title) {
        QMenu* menu = parent ? parent->addMenu(title) : menuBar()->addMenu(title);
        menu->setObjectName(name);
        return menu;
    };
    const auto addItem = [](QMenu* menu, const QString& name, const QString& text) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        return action;
    };
    QMenu* file = addMenu(nullptr, QStringLiteral("MFile"), QStringLiteral("File"));
    QAction* undo = addItem(file, QStringLiteral("MUndo"), QStringLiteral("Undo Rename"));
    undo->setShortcut(QKeySequence::Undo); // a text box with the focus keeps Ctrl+Z for its own text
    connect(undo, &QAction::triggered, this, &TForm1::MUndoClick);
    QAction* exit = addItem(file, QStringLiteral("MExit"), QStringLiteral("Exit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* settingsMenu = addMenu(nullptr, QStringLiteral("MSettings"), QStringLiteral("Settings"));
    QMenu* language = addMenu(settingsMenu, QStringLiteral("MLanguage"), QStringLiteral("Language"));
    QAction* english = addItem(language, QStringLiteral("MLangEnglish"), QStringLiteral("English"));
    QAction* russian = addItem(language, QStringLiteral("MLangRussian"), QStringLiteral("Russian"));
    english->setCheckable(true);
    russian->setCheckable(true);
    english->setChecked(true);
    connect(english, &QAction::triggered, this,
            [this] { switchLanguage("English", settings::RussianPlaceholders, settings::EnglishPlaceholders); });
    connect(russian, &QAction::triggered, this,
            [this] { switchLanguage("Russian", settings::EnglishPlaceholders, settings::RussianPlaceholders); });

    QMenu* help = addMenu(nullptr, QStringLiteral("MHelp"), QStringLiteral("Help"));
    connect(addItem(help, QStringLiteral("MAbout"), QStringLiteral("About")), &QAction::triggered, this,
            &TForm1::MAboutClick);
}

QWidget* TForm1::buildLeftPane()
{
    auto* pane = named(new QFrame(this), QStringLiteral("PanelLeft"));
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_pathBox = named(new TStShellComboBox(pane), QStringLiteral("StShellComboBox1"));
    m_tree = new TStShellTreeView(pane);
    layout->addWidget(m_pathBox);
    layout->addWidget(m_tree);
    pane->setMinimumWidth(120);
    return pane;
}

QWidget* TForm1::buildMiddlePane()
{
    auto* pane = named(new QFrame(this), QStringLiteral("PanelMiddle"));
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto* filterPanel = named(new QFrame(pane), QStringLiteral("PanelFilter"));
    auto* filterLayout = new QHBoxLayout(filterPanel);
    filterLayout->setContentsMargins(0, 0, 0, 0);
    m_filter = named(new TFilterComboBox(filterPanel), QStringLiteral("FilterComboBoxRename"));
    filterLayout->addWidget(m_filter);
    layout->addWidget(filterPanel);
    m_list = new TStShellListView(pane);
    layout->addWidget(m_list);
    pane->setMinimumWidth(200);

    // The three parts of the browser keep to one folder, and every folder the
    // user reaches, by tree, path or list, goes through the tree.
    connect(m_tree, &TStShellTreeView::folderSelected, this, &TForm1::StShellTreeView1FolderSelected);
    connect(m_pathBox, &TStShellComboBox::folderChosen, this,
            [this](const std::string& folder) { selectFolder(folder); });
    // The shown folder stays, and a folder still being looked for on a drive
    // that is slow to answer is still looked for, when another drive comes or goes.
    connect(m_pathBox, &TStShellComboBox::volumesChanged, this, [this](const std::string& folder) {
        if (folder != m_currentFolder) {
            selectFolder(folder);
        }
    });
    connect(m_list, &TStShellListView::folderOpened, this, [this](const std::string& folder) { selectFolder(folder); });
    // Renamed or deleted by another program, the shown folder is followed, never swapped for a sibling.
    connect(m_tree, &TStShellTreeView::selectedFolderMoved, this, &TForm1::currentFolderMoved);
    connect(m_tree, &TStShellTreeView::folderNotShown, this, [this](const std::string& path) {
        if (m_startFolder && m_startFolder->path == path) {
            startFolderNotShown();
        }
    });
    connect(m_tree, &TStShellTreeView::selectedFolderGone, this,
            [this](const std::string& lost, const std::string& shown) {
                statusBar()->showMessage(fillIn(message("StringFolderGone"), {displayText(lost), displayText(shown)}));
            });
    connect(m_list, &TStShellListView::parentRequested, this, [this] {
        if (!m_currentFolder.empty() && m_currentFolder != "/") {
            selectFolder(parentFolder(m_currentFolder));
        }
    });
    connect(&m_list->model(), &ShellListModel::failed, this, [this](const QString& text) { m_showMessage(text); });
    connect(&m_tree->shellModel(), &ShellTreeModel::failed, this, [this](const QString& text) { m_showMessage(text); });
    connect(m_filter, &TFilterComboBox::changed, this, &TForm1::FilterComboBoxRenameChange);
    return pane;
}

QWidget* TForm1::buildRightPane()
{
    auto* pane = named(new QFrame(this), QStringLiteral("PanelRight"));
    auto* grid = new QGridLayout(pane);
    grid->setContentsMargins(8, 8, 8, 8);

    auto* leftColumn = new QVBoxLayout;
    m_applyTo = new RadioGroup(QStringLiteral("RadioGroupApply"), QStringLiteral(" Apply to: "),
                               {QStringLiteral("Files"), QStringLiteral("Folders"), QStringLiteral("Both")}, pane);
    m_renamePart
        = new RadioGroup(QStringLiteral("RadioGroupRename"), QStringLiteral(" Rename: "),
                         {QStringLiteral("Names"), QStringLiteral("Extensions"), QStringLiteral("Both")}, pane);
    m_applyTo->setItemIndex(0);
    m_renamePart->setItemIndex(0);
    leftColumn->addWidget(m_applyTo);
    leftColumn->addWidget(m_renamePart);

    m_symbols = named(new QLineEdit(pane), QStringLiteral("EditSymbols"));
    m_symbols->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_number = named(new NumberEdit(pane), QStringLiteral("EditNumber"));
    m_symbolsLabel = labelFor(m_symbols, QStringLiteral("LabelSymbols"), QStringLiteral("Add symbols:"), pane);
    auto* symbolsRow = new QHBoxLayout;
    symbolsRow->addWidget(m_symbolsLabel, 1);
    symbolsRow->addWidget(m_number);
    m_number->setFixedWidth(m_number->fontMetrics().horizontalAdvance(QStringLiteral("99999")) * 2);
    m_number->hide();
    leftColumn->addLayout(symbolsRow);
    leftColumn->addWidget(m_symbols);
    m_replace = named(new QLineEdit(pane), QStringLiteral("EditReplace"));
    m_replace->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_replaceLabel = labelFor(m_replace, QStringLiteral("LabelReplace"), QStringLiteral("Replace by:"), pane);
    leftColumn->addWidget(m_replaceLabel);
    leftColumn->addWidget(m_replace);
    m_replaceLabel->hide();
    m_replace->hide();
    m_subfolders
        = named(new QCheckBox(QStringLiteral("apply to all subfolders"), pane), QStringLiteral("CheckBoxSubDirs"));
    m_fromId3 = named(new QCheckBox(QStringLiteral("rename audio files from their tags"), pane),
                      QStringLiteral("CheckBoxID3"));
    m_showTags = named(new QCheckBox(QStringLiteral("show tags panel"), pane), QStringLiteral("CheckBoxShowTags"));
    m_showTags->setChecked(true);
    leftColumn->addWidget(m_subfolders);
    leftColumn->addWidget(m_fromId3);
    leftColumn->addWidget(m_showTags);
    leftColumn->addWidget(buildPhotoOptions(pane));
    leftColumn->addStretch();
    grid->addLayout(leftColumn, 0, 0);

    QStringList operations;
    for (const OperationRow& row : operationTable) {
        operations << fromUtf8(row.builtInCaption);
    }
    m_options
        = new RadioGroup(QStringLiteral("RadioGroupOptions"), QStringLiteral(" Rename Options: "), operations, pane);
    m_options->setItemIndex(0);
    connect(m_options, &RadioGroup::itemClicked, this, &TForm1::RadioGroupOptionsClick);
    grid->addWidget(m_options, 0, 1);

    QStringList fields;
    for (std::string_view word : settings::EnglishPlaceholders) {
        fields << fromUtf8(word);
    }
    m_titleBox = new TitleTemplateBox(fields, pane);
    grid->addWidget(m_titleBox, 1, 0, 1, 2);

    // On a short screen the options scroll rather than push the tag panel and status bar off it; the two
    // buttons stay in sight below them.
    auto* rightColumn = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(rightColumn);
    rightLayout->setContentsMargins(0, 0, 0, 8);
    auto* scroller = named(new QScrollArea(rightColumn), QStringLiteral("ScrollBoxRight"));
    rightLayout->addWidget(scroller, 1);
    auto* buttons = new QHBoxLayout;
    auto* rename = named(new QPushButton(QStringLiteral("Rename"), rightColumn), QStringLiteral("ButtonRename"));
    auto* sort = named(new QPushButton(QStringLiteral("Sort"), rightColumn), QStringLiteral("ButtonSort"));
    buttons->addStretch();
    buttons->addWidget(rename);
    buttons->addWidget(sort);
    buttons->addStretch();
    rightLayout->addLayout(buttons);
    connect(rename, &QPushButton::clicked, this, &TForm1::ButtonRenameClick);
    // A shortcut of its own: the button's shortcut is its mnemonic, reset with every caption.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), rename), &QShortcut::activated, rename,
            [rename] { rename->animateClick(); });
    connect(sort, &QPushButton::clicked, this, &TForm1::ButtonSortClick);
    connect(m_fromId3, &QCheckBox::toggled, m_titleBox, &TitleTemplateBox::CheckBoxID3Click);
    connect(m_showTags, &QCheckBox::toggled, this, [this](bool shown) {
        m_tagPanel->setVisible(shown);
        m_list->Refresh();
    });
    pane->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    scroller->setWidget(pane);
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setFocusPolicy(Qt::NoFocus); // Tab goes to the options themselves, and the area follows them
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    rightColumn->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    return rightColumn;
}

QWidget* TForm1::buildPhotoOptions(QWidget* pane)
{
    auto* box = named(new QGroupBox(QStringLiteral("Photo Names"), pane), QStringLiteral("GroupBoxPhotos"));
    auto* layout = new QGridLayout(box);
    m_photoDates = named(new QCheckBox(QStringLiteral("rename photos from their date"), box),
                         QStringLiteral("CheckBoxPhotoDate"));
    m_photoTemplate = named(new QLineEdit(fromUtf8(defaultPhotoTemplate), box), QStringLiteral("EditPhotoTemplate"));
    m_photoTemplate->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_photoTemplate->setEnabled(false);
    layout->addWidget(m_photoDates, 0, 0);
    layout->addWidget(labelFor(m_photoTemplate, QStringLiteral("LabelPhotoTemplate"), QStringLiteral("New name:"), box),
                      1, 0);
    layout->addWidget(m_photoTemplate, 2, 0);
    connect(m_photoDates, &QCheckBox::toggled, m_photoTemplate, &QWidget::setEnabled);
    return box;
}

void TForm1::fitOptionsColumn()
{
    // As wide as the captions of the language in effect, with room for the
    // scroll bar too, so it never covers an option.
    auto* scroller = findChild<QScrollArea*>(QStringLiteral("ScrollBoxRight"));
    scroller->setFixedWidth(scroller->widget()->sizeHint().width() + scroller->verticalScrollBar()->sizeHint().width());
}

QWidget* TForm1::buildTagPanel()
{
    m_tagPanel = new TagPanel(this);
    connect(m_list, &TStShellListView::selectItem, this, [this](const std::string& name, bool selected) {
        if (selected) {
            m_tagPanel->selectFile(m_currentFolder, name);
        }
    });
    connect(m_tagPanel->findChild<QPushButton*>(QStringLiteral("ButtonSaveTags")), &QPushButton::clicked, this,
            &TForm1::ButtonSaveTagsClick);
    return m_tagPanel;
}

void TForm1::ButtonSaveTagsClick()
{
    // A save gives the event loop no turn, so no other command can come in
    // while it writes; it only has to wait for the command under way.
    if (busy()) {
        return;
    }
    const TagPanel::SaveResult result = m_tagPanel->ButtonSaveTagsClick();
    switch (result.outcome) {
    case TagPanel::SaveResult::Outcome::InvalidNumber:
        m_showMessage(result.text);
        break;
    case TagPanel::SaveResult::Outcome::Failed:
        statusBar()->showMessage(fillIn(message("StringTagsNotSaved"), {result.text}));
        break;
    case TagPanel::SaveResult::Outcome::Saved:
        m_list->RefreshList(true);
        break;
    case TagPanel::SaveResult::Outcome::NotMp3:
        break;
    }
}

namespace {

// The splitters whose pane sizes the settings file keeps, in its order.
QList<QSplitter*> keptSplitters(const QMainWindow& window)
{
    return {window.findChild<QSplitter*>(QStringLiteral("Splitter2")),
            window.findChild<QSplitter*>(QStringLiteral("SplitterTags"))};
}

// A place is used only while enough of it shows on some screen to grab it.
bool showsOnAScreen(const QRect& frame)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [&frame](const QScreen* screen) {
        const QRect seen = screen->availableGeometry().intersected(frame);
        return seen.width() >= 100 && seen.height() >= 50;
    });
}

void restoreWindowPlace(QMainWindow& window, const std::optional<settings::WindowGeometry>& stored)
{
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 970, 684);
    if (stored && showsOnAScreen(QRect(stored->left, stored->top, stored->width, stored->height))) {
        window.resize(stored->width, stored->height);
        window.move(stored->left, stored->top); // the frame's corner, as saved
        if (stored->maximized) {
            window.setWindowState(window.windowState() | Qt::WindowMaximized);
        }
    } else {
        const auto fitAndCentre = [&window, available] {
            const QSize frame = window.frameGeometry().size() - window.size();
            window.resize(window.size().boundedTo(available.size() - frame));
            QRect centred = window.frameGeometry();
            centred.moveCenter(available.center());
            window.move(centred.topLeft());
        };
        window.resize(970, 684);
        fitAndCentre();
        // The frame is known only once the window is shown: fit and centre it again by its real size.
        QTimer::singleShot(0, &window, [&window, fitAndCentre] {
            if (window.isVisible() && window.windowState() == Qt::WindowNoState) {
                fitAndCentre();
            }
        });
    }
    // Lay the panes out at this size first, or the splitters would share out a default one.
    window.layout()->activate();
    const std::vector<int> none;
    const std::vector<int>& kept = stored ? stored->splitters : none;
    auto sizes = kept.begin();
    for (QSplitter* splitter : keptSplitters(window)) {
        if (!splitter) {
            continue;
        }
        if (std::distance(sizes, kept.end()) >= splitter->count()) {
            splitter->setSizes(QList<int>(sizes, sizes + splitter->count()));
            sizes += splitter->count();
        } else {
            // A pane squeezed by a small screen would otherwise take back its first size as the window grows;
            // the tag panel starts at its own height rather than folded.
            QList<int> fresh = splitter->sizes();
            if (splitter->orientation() == Qt::Vertical && fresh.size() == 2) {
                // Not laid out yet while hidden: the window's height stands in for the splitter's.
                const int total = std::max(fresh[0] + fresh[1], window.height());
                fresh[1] = std::min(splitter->widget(1)->sizeHint().height(), total / 2);
                fresh[0] = total - fresh[1];
            } else if (fresh.size() == 2) {
                // The folder tree starts with a good part of the width, not its narrowest.
                const int total = fresh[0] + fresh[1];
                fresh[0] = std::max(splitter->widget(0)->minimumWidth(), total / 4);
                fresh[1] = total - fresh[0];
            }
            splitter->setSizes(fresh);
            sizes = kept.end();
        }
    }
}

settings::WindowGeometry windowPlace(const QMainWindow& window)
{
    // The normal size and the frame's corner, so a maximised window comes back maximised over its old place.
    const QRect normal = window.normalGeometry();
    const QPoint frameCorner = normal.topLeft() - (window.geometry().topLeft() - window.frameGeometry().topLeft());
    settings::WindowGeometry place{frameCorner.x(), frameCorner.y(),      normal.width(),
                                   normal.height(), window.isMaximized(), {}};
    for (const QSplitter* splitter : keptSplitters(window)) {
        // A hidden tag panel measures 0; kept, it would come back folded.
        bool allShown = splitter != nullptr;
        for (int index = 0; allShown && index < splitter->count(); ++index) {
            allShown = splitter->widget(index)->isVisibleTo(&window);
        }
        if (!allShown) {
            break;
        }
        const QList<int> sizes = splitter->sizes();
        place.splitters.insert(place.splitters.end(), sizes.begin(), sizes.end());
    }
    return place;
}

} // namespace

void TForm1::FormCreate()
{
    const settings::Settings stored = settings::readSettings(m_places.settingsFiles.readFrom);
    restoreWindowPlace(*this, stored.window);
    m_languageName = stored.language;
    m_applyTo->setItemIndex(stored.applyTo);
    m_renamePart->setItemIndex(stored.rename);
    m_subfolders->setChecked(stored.subfolders);
    m_options->setItemIndex(stored.renameOption);
    m_fromId3->setChecked(stored.renameFromId3);
    m_photoDates->setChecked(stored.renamePhotos);
    m_photoTemplate->setText(fromUtf8(stored.photoTemplate));
    QStringList fields;
    for (const std::string& field : stored.titleFields) {
        fields << fromUtf8(field);
    }
    m_titleBox->setFields(fields);
    ApplyLanguage(m_languageName);
    m_list->SetFileFilter(m_filter->mask());
    // A first start opens in the user's home, so Rename has a folder at once;
    // with no home, QDir falls back to the root, which is not chosen unasked.
    // The folders on the way are listed off the window's thread, so a drive
    // that does not answer holds up only the folder's own node.
    StartFolder start{stored.lastFolder, !stored.lastFolder.empty()};
    if (start.path.empty() && QDir::homePath() != QDir::rootPath()) {
        start = {QFile::encodeName(QDir::homePath()).toStdString(), false};
    }
    m_startFolder = start;
    if (start.path.empty() || m_tree->SelectFolder(start.path) == TStShellTreeView::Selection::NotShown) {
        startFolderNotShown();
    }
    // The labels follow the stored operation in the language just applied,
    // whether or not the stored folder could be selected.
    RadioGroupOptionsClick();
    m_titleBox->selectSeparator(0);
    m_titleBox->CheckBoxID3Click(m_fromId3->isChecked());
    m_titleBox->setChecked(0, true);
    m_titleBox->setChecked(1, true);
    m_titleBox->BuildTitleTemplate();
}

bool TForm1::selectFolder(const std::string& path)
{
    m_startFolder.reset(); // another folder is chosen
    return m_tree->SelectFolder(path) != TStShellTreeView::Selection::NotShown;
}

void TForm1::startFolderNotShown()
{
    const bool fromLastSession = m_startFolder && m_startFolder->fromLastSession;
    m_startFolder.reset();
    if (fromLastSession) {
        m_startupError = message("StringInvalidFolder");
        if (m_showsStartupError) {
            showStartupError();
        }
    }
    if (m_currentFolder.empty()) {
        // With no folder selected the list shows the root, and Rename still
        // waits for the user to choose a folder.
        m_list->FillList("/");
    }
}

void TForm1::showStartupError()
{
    m_showsStartupError = true;
    if (!m_startupError.isEmpty()) {
        QTimer::singleShot(0, this, [this] { m_showMessage(std::exchange(m_startupError, QString())); });
    }
}

void TForm1::StShellTreeView1FolderSelected(const std::string& folder)
{
    m_startFolder.reset();
    m_currentFolder = folder;
    m_pathBox->RefreshView(folder);
    m_list->FillList(folder);
}

void TForm1::currentFolderMoved(const std::string& folder)
{
    m_currentFolder = folder;
    m_pathBox->RefreshView(folder);
    m_list->folderMoved(folder);
    requestPreview(PreviewCause::Relisted);
}

void TForm1::FilterComboBoxRenameChange()
{
    if (m_filter->currentIndex() > 0) {
        m_list->SetFiltered(true);
        m_list->SetFileFilter(m_filter->mask());
    } else {
        m_list->SetFiltered(false);
        m_list->Refresh();
    }
}

void TForm1::connectPreview()
{
    const auto optionChanged = [this] { requestPreview(PreviewCause::OptionChanged); };
    for (RadioGroup* group : {m_options, m_applyTo, m_renamePart}) {
        connect(group, &RadioGroup::itemClicked, this, optionChanged);
    }
    // The number box tells of typing only through its line edit.
    for (QLineEdit* edit : {m_symbols, m_replace, m_number->findChild<QLineEdit*>(), m_photoTemplate}) {
        connect(edit, &QLineEdit::textChanged, this, optionChanged);
    }
    for (QCheckBox* box : {m_subfolders, m_fromId3, m_photoDates}) {
        connect(box, &QCheckBox::toggled, this, optionChanged);
    }
    connect(m_titleBox, &TitleTemplateBox::changed, this, optionChanged);
    for (QLineEdit* edit : {m_symbols, m_replace, m_number->findChild<QLineEdit*>()}) {
        connect(edit, &QLineEdit::textChanged, this, &TForm1::showOperationExamples);
    }
    // A run draws from the generator, so the random example follows each preview.
    connect(m_preview.get(), &RenamePreview::ready, this, &TForm1::showOperationExamples);
    showOperationExamples();
    connect(m_filter, &TFilterComboBox::changed, this, optionChanged);
    connect(m_tree, &TStShellTreeView::folderSelected, this, optionChanged);
    // A folder newly shown had its preview asked for when it was chosen, and the
    // preview reads the folder itself: a second one would list it all again
    // and hold as much again while the first is shown. Changes made meanwhile
    // come as a listing of the same folder.
    connect(&m_list->model(), &ShellListModel::listFilled, this, [this](bool newFolder) {
        if (!newFolder) {
            requestPreview(PreviewCause::Relisted);
        }
    });
    connect(m_preview.get(), &RenamePreview::ready, this, [this](const std::shared_ptr<RenamePreview::Result>& result) {
        m_list->model().setPreview(std::move(result->entries),
                                   result->patternError.empty()
                                       ? QString()
                                       : fillIn(message("StringInvalidPattern"), {fromUtf8(result->patternError)}));
        if (!m_previewCounts || !result->subfolderCounts) {
            return;
        }
        const RenamePreview::Result::Counts& counts = *result->subfolderCounts;
        const StatusTexts texts = statusTexts();
        std::string text = texts.counted(texts.wouldRenameCount, counts.renamed,
                                         toUtf8(message("StringWouldRename")) + " " + std::to_string(counts.renamed)
                                             + " " + texts.files)
            + " / "
            + texts.counted(texts.foldersCount, counts.folderCount,
                            std::to_string(counts.folderCount) + " " + texts.dirs);
        if (counts.notRenamed > 0) {
            text += ", "
                + texts.counted(texts.notRenamedCount, counts.notRenamed,
                                std::to_string(counts.notRenamed) + " " + texts.notRenamed);
        }
        statusBar()->showMessage(fromUtf8(text));
    });
}

void TForm1::showOperationExamples()
{
    static constexpr std::string_view sample = "IMG_0412.jpg";
    const std::string numberText = toUtf8(m_number->text());
    OperationInputs inputs{toUtf8(m_symbols->text()), toUtf8(m_replace->text()), 0};
    for (int option = 0; option < renameOptionCount; ++option) {
        const auto operation = static_cast<RenameOption>(option);
        const NumberCheck number = checkNumber(operation, numberText);
        inputs.number = number.value;
        // None while the number box holds no number the run would take.
        const std::optional<std::string> name
            = number ? exampleName(operation, inputs, sample, RandomGenerator::instance()) : std::nullopt;
        m_options->setItemToolTip(option,
                                  name ? fromUtf8(sample) + QStringLiteral(" → ") + fromUtf8(*name) : QString());
    }
}

void TForm1::requestPreview(PreviewCause cause)
{
    if (busy()) {
        return; // the run asks for one when it is over
    }
    if (cause != PreviewCause::Relisted) {
        m_previewCounts = cause == PreviewCause::OptionChanged;
    }
    m_preview->request();
}

StatusTexts TForm1::statusTexts() const
{
    return {toUtf8(message("StringRenamed")),
            toUtf8(message("StringFiles")),
            toUtf8(message("StringDirs")),
            toUtf8(message("StringNotRenamed")),
            toUtf8(message("StringLocale")),
            toUtf8(message("StringRenamedCount")),
            toUtf8(message("StringFoldersCount")),
            toUtf8(message("StringNotRenamedCount")),
            toUtf8(message("StringSortedCount")),
            toUtf8(message("StringNotSortedCount")),
            toUtf8(message("StringWouldRenameCount")),
            toUtf8(message("StringRestoredCount")),
            toUtf8(message("StringNotRestoredCount"))};
}

QString TForm1::message(std::string_view name) const
{
    const std::size_t position = settings::languageKeyIndex(name);
    return position < m_texts.size() ? fromUtf8(m_texts[position]) : QString();
}

void TForm1::RadioGroupOptionsClick()
{
    const int option = m_options->itemIndex();
    if (option < 0) {
        return;
    }
    const OptionsPanelLayout layout = optionsPanelFor(static_cast<RenameOption>(option));
    m_symbolsLabel->setText(message(layout.symbolsLabelKey));
    m_symbolsLabel->setVisible(!layout.symbolsLabelKey.empty());
    m_symbols->setVisible(layout.symbolsEditShown);
    m_number->setVisible(layout.numberShown);
    m_replaceLabel->setText(message(layout.replaceLabelKey));
    m_replaceLabel->setVisible(!layout.replaceLabelKey.empty());
    m_replace->setVisible(layout.replaceShown);
    if (layout.spinPosition) {
        m_number->setText(QString::number(*layout.spinPosition));
    }
    m_number->setLeast(leastNumber(static_cast<RenameOption>(option)).value_or(NumberEdit::defaultLeast));
    // The label names whichever box stands beside it.
    m_symbolsLabel->setBuddy(layout.symbolsEditShown ? static_cast<QWidget*>(m_symbols) : m_number);
    m_number->setAccessibleName(m_symbolsLabel->text());
}

std::optional<RunSettings> TForm1::currentRunSettings() const
{
    const int option = m_options->itemIndex();
    const int applyTo = m_applyTo->itemIndex();
    const int renamePart = m_renamePart->itemIndex();
    if (option < 0 || applyTo < 0 || renamePart < 0) {
        return std::nullopt; // nothing chosen to do
    }
    RunSettings run;
    run.folder = m_currentFolder;
    run.option = static_cast<RenameOption>(option);
    run.applyTo = static_cast<ApplyTo>(applyTo);
    run.renamePart = static_cast<RenamePart>(renamePart);
    run.subfolders = m_subfolders->isChecked();
    run.mask = toUtf8(m_filter->mask());
    run.symbolsText = toUtf8(m_symbols->text());
    run.replaceText = toUtf8(m_replace->text());
    run.numberText = toUtf8(m_number->text());
    if (m_photoDates->isChecked()) {
        run.photoTemplate = toUtf8(m_photoTemplate->text());
    }
    return run;
}

std::optional<TitleTemplate> TForm1::currentTitleTemplate() const
{
    if (!m_fromId3->isChecked()) {
        return std::nullopt;
    }
    TitleTemplate titleTemplate;
    titleTemplate.text = toUtf8(m_titleBox->templateText());
    for (const QString& field : m_titleBox->fields()) {
        titleTemplate.fields.push_back(toUtf8(field));
    }
    // Fields are told apart by the language's own placeholder words.
    const char* const keys[] = {"StringArtist", "StringTitle", "StringAlbum", "StringYear", "StringTrack"};
    for (std::size_t field = 0; field < titleTemplate.placeholders.size(); ++field) {
        titleTemplate.placeholders[field] = toUtf8(message(keys[field]));
    }
    return titleTemplate;
}

TagNameSource TForm1::currentTagNames() const
{
    const std::optional<TitleTemplate> titleTemplate = currentTitleTemplate();
    return titleTemplate ? tagNameSource(*titleTemplate) : TagNameSource();
}

void TForm1::setBusy(bool busy)
{
    m_busy = busy;
    if (busy) {
        m_preview->cancel(); // the command outdates it, and would share the cores with it
    }
    for (const char* name : {"ButtonRename", "ButtonSort"}) {
        findChild<QPushButton*>(QLatin1String(name))->setEnabled(!busy);
    }
    for (const char* name : {"MUndo", "MLangEnglish", "MLangRussian"}) {
        findChild<QAction*>(QLatin1String(name))->setEnabled(!busy);
    }
    m_tagPanel->setBusy(busy);
    if (!busy && m_closeRequested) {
        // The user closed the window during the command; the close goes on
        // once the command has told what it did.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void TForm1::ButtonRenameClick()
{
    // A click that reached the window through a turn of the event loop of the
    // command under way changes nothing of it.
    const std::optional<RunSettings> run = currentRunSettings();
    if (busy() || !run) {
        return;
    }
    setBusy(true);
    // The list catches up once the run is over; listing the folder while the
    // run renames in it would slow both.
    m_list->setFollowChanges(false);
    // The template goes into the journal with the settings, so that a run
    // cut short can be finished as it would have gone on.
    const std::optional<TitleTemplate> titleTemplate = currentTitleTemplate();
    Progress progress(*this);
    RunSettings journaled = *run;
    journaled.journalFolder = m_places.journalFolder;
    const RunResult result = liveUntilDone([&, texts = statusTexts()] {
        RunResult done = titleTemplate ? m_run.run(journaled, texts, progress, *titleTemplate)
                                       : m_run.run(journaled, texts, progress);
        keepRecentJournals(); // a journal of a million moves takes a while to delete
        return done;
    });
    setBusy(false);
    m_leftUndone = {result.notRenamed, {}, {}};
    m_list->setFollowChanges(true);
    requestPreview(PreviewCause::CommandEnded);
    switch (result.outcome) {
    case RunResult::Outcome::Done:
        statusBar()->showMessage(fromUtf8(result.message));
        break;
    case RunResult::Outcome::NoFolder:
        statusBar()->showMessage(message("StringNoFolder"));
        break;
    case RunResult::Outcome::InvalidNumber:
        m_showMessage(fromUtf8(result.message));
        break;
    case RunResult::Outcome::NumberTooSmall: {
        // The label beside the number box names it, without its colon.
        QString label = m_symbolsLabel->text().trimmed();
        if (label.endsWith(QLatin1Char(':'))) {
            label.chop(1);
        }
        m_showMessage(fillIn(message("StringNumberTooSmall"), {label}));
        break;
    }
    case RunResult::Outcome::InvalidPattern:
        m_showMessage(fillIn(message("StringPatternNotValid"), {fromUtf8(result.patternError)}));
        break;
    case RunResult::Outcome::JournalNotWritten:
        statusBar()->showMessage(fromUtf8(result.message));
        m_showMessage(message("StringJournalNotWritten"));
        break;
    case RunResult::Outcome::Stopped:
    case RunResult::Outcome::AlreadyRunning:
        break;
    }
    reportUnreachedFolders(result.unreachedFolders);
}

void TForm1::showNotRenamed()
{
    const auto renameReason = [this](Verdict verdict) {
        switch (verdict) {
        case Verdict::Taken:
            return message("StringNameTaken");
        case Verdict::SharedTarget:
            return message("StringNameWantedTwice");
        case Verdict::Unsafe:
            return message("StringNameUnsafe");
        case Verdict::RefusedCharacter:
            return message("StringNameRefusedCharacter");
        case Verdict::TooLong:
            return message("StringNameTooLong");
        case Verdict::PatternTooSlow:
            return message("StringPatternTooSlow");
        default:
            return message("StringRenameFailed");
        }
    };
    const auto replayReason = [this](ReplayResult::Reason reason) {
        switch (reason) {
        case ReplayResult::Reason::RenamedAgain:
            return message("StringRenamedSince");
        case ReplayResult::Reason::Deleted:
            return message("StringDeletedSince");
        case ReplayResult::Reason::ChangedSince:
            return message("StringChangedSince");
        case ReplayResult::Reason::NameTaken:
            return message("StringOldNameTaken");
        case ReplayResult::Reason::Failed:
            break;
        }
        return message("StringRenameFailed");
    };
    const auto sortReason = [this](SortSkip reason) {
        switch (reason) {
        case SortSkip::FolderReadOnly:
            return message("StringFolderReadOnly");
        case SortSkip::ExtensionNameTaken:
            return message("StringExtensionNameTaken");
        case SortSkip::Vanished:
            return message("StringEntryVanished");
        case SortSkip::FolderUnreadable:
            return message("StringFolderUnreadable");
        case SortSkip::NameTaken:
            return message("StringAlreadyInFolder");
        case SortSkip::Failed:
            break;
        }
        return message("StringMoveFailed");
    };
    constexpr qsizetype shownAtMost = 40;
    QStringList lines;
    for (const RunResult::NotRenamed& entry : m_leftUndone.notRenamed) {
        lines << QStringLiteral("%1 → %2: %3")
                     .arg(displayText(entry.path), displayText(entry.newName), renameReason(entry.reason));
    }
    for (const SortResult::NotSorted& entry : m_leftUndone.notSorted) {
        lines << QStringLiteral("%1: %2").arg(displayText(entry.path), sortReason(entry.reason));
    }
    for (const ReplayResult::Skipped& entry : m_leftUndone.notRestored) {
        lines << QStringLiteral("%1: %2").arg(displayText(entry.path), replayReason(entry.reason));
    }
    const qsizetype count = lines.size();
    if (count > shownAtMost) {
        lines.resize(shownAtMost);
        lines << QStringLiteral("… (%1)").arg(count - shownAtMost);
    }
    if (!lines.empty()) {
        m_showMessage(lines.join(QLatin1Char('\n')));
    }
}

void TForm1::keepRecentJournals() const
{
    RunHistory(m_places.journalFolder).keep(keptRunCount);
}

void TForm1::reportUnreadableJournal(const std::string& path)
{
    m_showMessage(fillIn(message("StringJournalUnreadable"), {displayText(path)}));
}

void TForm1::showReplayResult(const ReplayResult& result)
{
    m_leftUndone = {{}, {}, result.skipped};
    const StatusTexts texts = statusTexts();
    std::string status
        = texts.counted(texts.restoredCount, result.moved,
                        toUtf8(message("StringRestored")) + " " + std::to_string(result.moved) + " " + texts.files);
    if (const std::size_t skipped = result.skipped.size(); skipped > 0) {
        status += ", "
            + texts.counted(texts.notRestoredCount, skipped,
                            std::to_string(skipped) + " " + toUtf8(message("StringNotRestored")));
    }
    statusBar()->showMessage(fromUtf8(status));
    m_list->Refresh();
    showNotRenamed();
}

TForm1::Recovery TForm1::askRecovery(const QString& question)
{
    QMessageBox box(QMessageBox::Question, windowTitle().trimmed(), question, QMessageBox::NoButton, this);
    QPushButton* finish = box.addButton(message("StringFinishRun"), QMessageBox::AcceptRole);
    QPushButton* undo = box.addButton(message("StringUndoRun"), QMessageBox::DestructiveRole);
    QPushButton* leave = box.addButton(message("StringLeaveRun"), QMessageBox::RejectRole);
    box.setDefaultButton(leave);
    box.setEscapeButton(leave);
    box.exec();
    return box.clickedButton() == finish ? Recovery::Finish
        : box.clickedButton() == undo    ? Recovery::Undo
                                         : Recovery::Leave;
}

HistoryResult TForm1::replay(const std::function<HistoryResult(RunProgress& progress)>& command)
{
    setBusy(true);
    // As with a run: the list catches up once the moves are made.
    m_list->setFollowChanges(false);
    Progress progress(*this);
    // The journal of a run over a million entries takes a while to read; the window stays live meanwhile.
    HistoryResult result = liveUntilDone([&] { return command(progress); });
    setBusy(false);
    m_list->setFollowChanges(true);
    if (result.outcome == HistoryResult::Outcome::Done && !result.recorded) {
        m_showMessage(fillIn(message("StringJournalNotUpdated"), {displayText(result.path)}));
    }
    return result;
}

void TForm1::MUndoClick()
{
    if (busy()) {
        return;
    }
    const HistoryResult undone = replay(
        [folder = m_places.journalFolder](RunProgress& progress) { return RunHistory(folder).undoNewest(progress); });
    if (m_closeRequested) {
        return; // the window closes; what is left of the run stays in the history
    }
    switch (undone.outcome) {
    case HistoryResult::Outcome::Done:
        showReplayResult(undone.replay);
        break;
    case HistoryResult::Outcome::NothingToDo:
        statusBar()->showMessage(message("StringNothingToUndo"));
        break;
    case HistoryResult::Outcome::Busy:
        statusBar()->showMessage(message("StringRunBeingUndone"));
        break;
    case HistoryResult::Outcome::Unfinished:
        offerRecovery();
        break;
    case HistoryResult::Outcome::Refused:
        reportUnreadableJournal(undone.path);
        break;
    }
    requestPreview(PreviewCause::CommandEnded);
}

void TForm1::offerRecovery()
{
    const RunHistory history(m_places.journalFolder);
    for (const RecordedRun& run : history.unfinished()) {
        if (!run.journal) {
            history.refused(run.path);
            reportUnreadableJournal(run.path);
            continue;
        }
        const Journal& journal = *run.journal;
        // The run's folder may be on a drive that takes long to answer.
        const std::size_t movesMade = liveUntilDone([&journal] { return movesMadeOnDisk(journal); });
        const QString question
            = fillIn(message("StringUnfinishedRun"),
                     {displayText(journal.root), QString::number(movesMade), QString::number(journal.moveCount())});
        const Recovery choice = m_chooseRecovery(question);
        const HistoryResult recovered
            = replay([&](RunProgress& progress) { return history.recover(run.path, choice, progress); });
        switch (recovered.outcome) {
        case HistoryResult::Outcome::Done:
            if (choice == Recovery::Finish) {
                m_leftUndone = {{}, {}, recovered.replay.skipped};
                const StatusTexts texts = statusTexts();
                statusBar()->showMessage(fromUtf8(
                    texts.counted(texts.renamedCount, recovered.replay.moved,
                                  texts.renamed + " " + std::to_string(recovered.replay.moved) + " " + texts.files)));
                m_list->Refresh();
            } else if (choice == Recovery::Undo) {
                showReplayResult(recovered.replay);
            }
            break;
        case HistoryResult::Outcome::Busy:
            statusBar()->showMessage(message("StringRunBeingUndone"));
            break;
        case HistoryResult::Outcome::Refused:
            reportUnreadableJournal(recovered.path);
            break;
        case HistoryResult::Outcome::NothingToDo: // another program recovered it meanwhile
        case HistoryResult::Outcome::Unfinished:
            break;
        }
    }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // A click on the status bar lists the entries the last run did not rename.
    if (watched == statusBar() && event->type() == QEvent::MouseButtonRelease) {
        showNotRenamed();
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::reportUnreachedFolders(const std::vector<std::string>& unreached)
{
    if (unreached.empty()) {
        return;
    }
    QStringList folders;
    for (const std::string& folder : unreached) {
        folders << displayText(folder);
    }
    m_showMessage(message("StringFoldersNotEntered") + QLatin1Char('\n') + folders.join(QLatin1Char('\n')));
}

void TForm1::ButtonSortClick()
{
    const int applyTo = m_applyTo->itemIndex();
    if (busy() || applyTo < 0) {
        return; // a command is under way, or nothing is chosen to sort
    }
    SortSettings sort;
    sort.folder = m_currentFolder;
    sort.applyTo = static_cast<ApplyTo>(applyTo);
    sort.subfolders = m_subfolders->isChecked();
    sort.mask = toUtf8(m_filter->mask());
    sort.journalFolder = m_places.journalFolder;
    setBusy(true);
    m_list->setFollowChanges(false);
    Progress progress(*this);
    // The names are taken before anything moves, from the entries the list
    // shows now; the list follows the moves on its own. A million names are
    // copied and freed on the command's thread, not the window's.
    const SortResult result = liveUntilDone([&, sort = std::move(sort), shown = m_list->model().shownItems(),
                                             texts = statusTexts(), sorted = toUtf8(message("StringSorted")),
                                             notSorted = toUtf8(message("StringNotSorted"))]() mutable {
        sort.listedNames.reserve(shown->size());
        for (const listing::ShellItem& item : *shown) {
            sort.listedNames.push_back(item.name);
        }
        SortResult done = sortIntoExtensionFolders(sort, texts, sorted, notSorted, progress);
        keepRecentJournals();
        return done;
    });
    setBusy(false);
    m_leftUndone = {{}, result.notSorted, {}};
    statusBar()->showMessage(result.outcome == SortResult::Outcome::NoFolder ? message("StringNoFolder")
                                                                             : fromUtf8(result.message));
    if (result.outcome == SortResult::Outcome::JournalNotWritten) {
        m_showMessage(message("StringJournalNotWritten"));
    }
    reportUnreachedFolders(result.unreachedFolders);
    m_list->setFollowChanges(true);
    m_list->Refresh();
    requestPreview(PreviewCause::CommandEnded);
}

void TForm1::MAboutClick()
{
    ApplyLanguage(m_languageName);
    aboutBox().exec();
}

TAboutBox& TForm1::aboutBox()
{
    // Few sessions open it, so the window opens without it.
    if (!m_aboutBox) {
        m_aboutBox = new TAboutBox(this);
        showAboutTexts();
    }
    return *m_aboutBox;
}

void TForm1::switchLanguage(const std::string& name, const settings::Placeholders& from,
                            const settings::Placeholders& to)
{
    m_languageName = name;
    ApplyLanguage(m_languageName);
    std::vector<std::string> entries;
    for (const QString& field : m_titleBox->fields()) {
        entries.push_back(toUtf8(field));
    }
    settings::convertPlaceholders(entries, from, to);
    QStringList converted;
    for (const std::string& entry : entries) {
        converted << fromUtf8(entry);
    }
    m_titleBox->setFields(converted);
}

void TForm1::ApplyLanguage(const std::string& name)
{
    const settings::LanguageMenuChecks checks = settings::ApplyLanguage(m_places.languageFolder, name, m_texts);
    qobject_cast<QAction*>(m_captioned.value(QStringLiteral("MLangEnglish")))->setChecked(checks.english);
    qobject_cast<QAction*>(m_captioned.value(QStringLiteral("MLangRussian")))->setChecked(checks.russian);
    // The desktop's names of file types follow the language of the window, not the system's.
    QLocale::setDefault(QLocale(message("StringLocale")));
    showTexts();
}

QString TForm1::caption(const settings::LanguageTarget& target, const QString* replacement)
{
    const auto swap = [replacement](const QString& shown, const auto& show) {
        if (replacement) {
            show(*replacement);
        }
        return shown;
    };
    if (target.isMessage || target.inAboutBox) {
        return {}; // the about box takes its texts from showAboutTexts
    }
    QObject* const control = m_captioned.value(fromUtf8(target.control));
    if (auto* group = qobject_cast<RadioGroup*>(control); group && target.item >= 0) {
        return swap(group->itemText(target.item), [&](const QString& text) { group->setItemText(target.item, text); });
    }
    if (auto* menu = qobject_cast<QMenu*>(control)) {
        return swap(withoutMnemonic(menu->title()), [&](const QString& text) { menu->setTitle(text); });
    }
    if (auto* action = qobject_cast<QAction*>(control)) {
        return swap(withoutMnemonic(action->text()), [&](const QString& text) { action->setText(text); });
    }
    if (auto* box = qobject_cast<QGroupBox*>(control)) {
        return swap(box->title(), [&](const QString& text) { box->setTitle(text); });
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
        return swap(label->text(), [&](const QString& text) { label->setText(text); });
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        return swap(withoutMnemonic(button->text()), [&](const QString& text) { button->setText(text); });
    }
    return {};
}

void TForm1::showTexts()
{
    for (std::size_t position = 0; position < m_texts.size(); ++position) {
        const QString text = fromUtf8(m_texts[position]);
        caption(settings::languageTarget(settings::LanguageKeys[position]), &text);
    }
    m_photoTemplate->setToolTip(message("StringPhotoFields"));
    m_number->setAccessibleName(m_symbolsLabel->text());
    m_list->model().setPreviewTexts({message("StringNewName"), message("StringUnchanged"), message("StringWillRename"),
                                     message("StringWillNotRename"), message("StringNameTaken"),
                                     message("StringNameWantedTwice"), message("StringNameUnsafe"),
                                     message("StringNameRefusedCharacter"), message("StringNameTooLong"),
                                     message("StringPatternTooSlow"), message("StringNoPhotoDate")});
    BrowserTexts browser;
    browser.columns = {message("StringColumnName"), message("StringColumnSize"), message("StringColumnType"),
                       message("StringColumnModified"), message("StringColumnAttributes")};
    browser.open = message("StringMenuOpen");
    browser.rename = message("StringMenuRename");
    browser.copyPath = message("StringMenuCopyPath");
    browser.moveToTrash = message("StringMenuTrash");
    browser.largeIcons = message("StringMenuLargeIcons");
    browser.smallIcons = message("StringMenuSmallIcons");
    browser.list = message("StringMenuList");
    browser.details = message("StringMenuDetails");
    browser.alreadyExists = message("StringAlreadyExists");
    browser.notMoved = message("StringNotMoved");
    browser.folderNotCopied = message("StringFolderNotCopied");
    browser.notCopied = message("StringNotCopied");
    browser.invalidName = message("StringInvalidName");
    browser.notTrashed = message("StringNotTrashed");
    browser.filesName = message("StringFileList");
    browser.foldersName = message("StringFolderTree");
    browser.typeFolder = message("StringTypeFolder");
    browser.typeFileOf = message("StringTypeFileOf");
    browser.typeFile = message("StringTypeFile");
    browser.notAnswering = message("StringNotAnswering");
    m_list->setTexts(browser);
    fitOptionsColumn();
    m_tree->setTexts(browser);
    m_pathBox->setAccessibleName(message("StringFolderPath"));
    m_filter->setAccessibleName(message("StringFileType"));
    m_progressBar->setAccessibleName(message("StringProgress"));
    findChild<QListWidget*>(QStringLiteral("CLBTitle"))->setAccessibleName(message("StringTitleFields"));
    if (m_aboutBox) {
        showAboutTexts();
    }
    // Only the descriptions change: the chosen type and the list's filter stay as they are.
    QStringList filter;
    for (const auto& [key, masks] : fileTypes) {
        filter << message(key) << QString::fromLatin1(masks);
    }
    const int chosen = m_filter->currentIndex();
    const QSignalBlocker quiet(m_filter);
    m_filter->setFilter(filter.join(QLatin1Char('|')));
    m_filter->setCurrentIndex(std::max(chosen, 0));
    assignMnemonics(*this);
}

void TForm1::showAboutTexts()
{
    for (std::size_t position = 0; position < m_texts.size(); ++position) {
        if (const settings::LanguageTarget target = settings::languageTarget(settings::LanguageKeys[position]);
            target.inAboutBox) {
            m_aboutBox->setText(target.control, fromUtf8(m_texts[position]));
        }
    }
    m_aboutBox->findChild<QWidget*>(QStringLiteral("Panel1"))->setAccessibleName(message("StringAboutPanel"));
    m_aboutBox->findChild<QWidget*>(QStringLiteral("ProgramIcon"))->setAccessibleName(message("StringProgramIcon"));
    auto* ok = m_aboutBox->findChild<QPushButton*>(QStringLiteral("OKButton"));
    ok->setText(message("StringOk"));
    ok->setAccessibleName(message("StringOk"));
    ok->setAccessibleDescription(message("StringOkDescription"));
    m_aboutBox->findChild<QLabel*>(QStringLiteral("LabelSite"))
        ->setAccessibleDescription(message("StringSiteDescription"));
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (busy()) {
        // The run or undo ends after the entry in hand and then closes the window.
        m_closeRequested = true;
        event->ignore();
        return;
    }
    saveOnClose();
    event->accept();
}

void TForm1::saveOnClose()
{
    settings::Settings choices;
    choices.language = m_languageName;
    // A folder still looked for, its drive not answering, is the one to open next time.
    choices.lastFolder = m_currentFolder.empty() && m_startFolder ? m_startFolder->path : m_currentFolder;
    choices.applyTo = m_applyTo->itemIndex();
    choices.rename = m_renamePart->itemIndex();
    choices.subfolders = m_subfolders->isChecked();
    choices.renameOption = m_options->itemIndex();
    choices.renameFromId3 = m_fromId3->isChecked();
    choices.renamePhotos = m_photoDates->isChecked();
    choices.photoTemplate = toUtf8(m_photoTemplate->text());
    const QStringList fields = m_titleBox->fields();
    for (std::size_t position = 0; position < choices.titleFields.size() && position < std::size_t(fields.size());
         ++position) {
        choices.titleFields[position] = toUtf8(fields[static_cast<qsizetype>(position)]);
    }
    choices.window = windowPlace(*this);
    // A settings file that cannot be written is reported; the window closes all the same.
    if (const std::optional<std::string> failure = settings::saveSettings(m_places.settingsFiles.writeTo, choices)) {
        m_showMessage(fromUtf8(*failure));
    }
}

} // namespace quorbit
