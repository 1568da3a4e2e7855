#include "app/mainwindow.h"

#include "app/aboutbox.h"
#include "app/commandthread.h"
#include "app/englishtexts.h"
#include "app/mnemonics.h"
#include "app/numberedit.h"
#include "app/radiogroup.h"
#include "app/renamepreview.h"
#include "app/statuswording.h"
#include "app/tagpanel.h"
#include "app/titletemplatebox.h"
#include "app/windowplace.h"
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

TForm1::TForm1(WindowPlaces places, QWidget* parent)
    : QMainWindow(parent)
    , m_places(std::move(places))
    , m_showMessage([this](const QString& text) { QMessageBox::warning(this, windowTitle().trimmed(), text); })
    , m_chooseRecovery([this](const QString& question) { return askRecovery(question); })
    , m_preview(std::make_unique<RenamePreview>([this] {
        return RenamePreview::Job{currentRunSettings(), currentTagNames()};
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
    m_texts = englishTexts(); // until a language file replaces them
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

    // One entry per operation, captioned with the other texts.
    m_options = new RadioGroup(QStringLiteral("RadioGroupOptions"), QStringLiteral(" Rename Options: "),
                               QStringList(renameOptionCount), pane);
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
        statusBar()->showMessage(
            m_wording.wouldRename(static_cast<long long>(counts.renamed), counts.folderCount, counts.notRenamed));
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
            = number ? exampleName(operation, inputs, sample, m_random) : std::nullopt;
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

QString TForm1::message(std::string_view name) const
{
    return m_wording.text(name);
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
    run.random = m_random;
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

template <class Work>
auto TForm1::runCommand(Work work)
{
    setBusy(true);
    // The list catches up once the command is over; listing the folder while
    // the command moves entries in it would slow both.
    m_list->setFollowChanges(false);
    CommandProgress progress(*m_progressStrip, *m_progressBar, m_closeRequested);
    auto result = liveUntilDone([work = std::move(work), &progress]() mutable { return work(progress); });
    setBusy(false);
    m_list->setFollowChanges(true);
    return result;
}

void TForm1::ButtonRenameClick()
{
    // A click that reached the window through a turn of the event loop of the
    // command under way changes nothing of it.
    std::optional<RunSettings> run = currentRunSettings();
    if (busy() || !run) {
        return;
    }
    run->journalFolder = m_places.journalFolder;
    // The template goes into the journal with the settings, so that a run
    // cut short can be finished as it would have gone on.
    const RunResult result
        = runCommand([this, run = *run, titleTemplate = currentTitleTemplate()](RunProgress& progress) {
              RunResult done
                  = titleTemplate ? RenameRun::run(run, progress, *titleTemplate) : RenameRun::run(run, progress);
              keepRecentJournals(); // a journal of a million moves takes a while to delete
              return done;
          });
    m_random = result.random;
    m_leftUndone = {result.notRenamed, {}, {}};
    requestPreview(PreviewCause::CommandEnded);
    const QString status = m_wording.renamed(
        result.renamed, run->subfolders ? std::optional<long long>(result.folderCount) : std::nullopt,
        result.notRenamed.size());
    switch (result.outcome) {
    case RunResult::Outcome::Done:
        statusBar()->showMessage(status);
        break;
    case RunResult::Outcome::NoFolder:
        statusBar()->showMessage(message("StringNoFolder"));
        break;
    case RunResult::Outcome::InvalidNumber:
        m_showMessage(fromUtf8(invalidIntegerMessage(run->numberText)));
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
        statusBar()->showMessage(status);
        m_showMessage(message("StringJournalNotWritten"));
        break;
    case RunResult::Outcome::Stopped:
        break;
    }
    reportUnreachedFolders(result.unreachedFolders);
}

void TForm1::showNotRenamed()
{
    if (const QString list = m_wording.leftUndone(m_leftUndone); !list.isEmpty()) {
        m_showMessage(list);
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
    statusBar()->showMessage(m_wording.restored(result));
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
    // The journal of a run over a million entries takes a while to read; the window stays live meanwhile.
    HistoryResult result = runCommand(command);
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
    if (busy()) {
        return;
    }
    // Each journal is read whole and its moves checked on the disk, which may
    // take long to answer: on a thread of its own, the window live meanwhile.
    struct Unfinished {
        RecordedRun run;
        std::size_t movesMade = 0;
    };
    setBusy(true);
    const std::vector<Unfinished> runs = liveUntilDone([folder = m_places.journalFolder] {
        const RunHistory history(folder);
        std::vector<Unfinished> found;
        for (RecordedRun& run : history.unfinished()) {
            if (!run.journal) {
                (void)history.refused(run.path); // unread, it is offered again at the next start
            }
            const std::size_t made = run.journal ? movesMadeOnDisk(*run.journal) : 0;
            found.push_back({std::move(run), made});
        }
        return found;
    });
    setBusy(false);
    const RunHistory history(m_places.journalFolder);
    for (const auto& [run, movesMade] : runs) {
        if (m_closeRequested) {
            return; // the window closes; the runs are offered at the next start
        }
        if (!run.journal) {
            reportUnreadableJournal(run.path);
            continue;
        }
        const Journal& journal = *run.journal;
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
                statusBar()->showMessage(
                    m_wording.renamed(static_cast<long long>(recovered.replay.moved), std::nullopt, 0));
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
    // The names are taken before anything moves, from the entries the list
    // shows now; the list follows the moves on its own. A million names are
    // copied and freed on the command's thread, not the window's.
    const bool subfolders = sort.subfolders;
    const SortResult result = runCommand(
        [this, sort = std::move(sort), shown = m_list->model().shownItems()](RunProgress& progress) mutable {
            sort.listedNames.reserve(shown->size());
            for (const listing::ShellItem& item : *shown) {
                sort.listedNames.push_back(item.name);
            }
            SortResult done = sortIntoExtensionFolders(sort, progress);
            keepRecentJournals();
            return done;
        });
    m_leftUndone = {{}, result.notSorted, {}};
    statusBar()->showMessage(
        result.outcome == SortResult::Outcome::NoFolder
            ? message("StringNoFolder")
            : m_wording.sorted(result.moved, subfolders ? std::optional<long long>(result.folderCount) : std::nullopt,
                               result.notSorted.size()));
    if (result.outcome == SortResult::Outcome::JournalNotWritten) {
        m_showMessage(message("StringJournalNotWritten"));
    }
    reportUnreachedFolders(result.unreachedFolders);
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

void TForm1::showCaption(const settings::LanguageTarget& target, const QString& text)
{
    if (target.isMessage || target.inAboutBox) {
        return; // the about box takes its texts from showAboutTexts
    }
    QObject* const control = m_captioned.value(fromUtf8(target.control));
    if (auto* group = qobject_cast<RadioGroup*>(control); group && target.item >= 0) {
        group->setItemText(target.item, text);
    } else if (auto* menu = qobject_cast<QMenu*>(control)) {
        menu->setTitle(text);
    } else if (auto* action = qobject_cast<QAction*>(control)) {
        action->setText(text);
    } else if (auto* box = qobject_cast<QGroupBox*>(control)) {
        box->setTitle(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    }
}

void TForm1::showTexts()
{
    for (std::size_t position = 0; position < m_texts.size(); ++position) {
        const QString text = fromUtf8(m_texts[position]);
        showCaption(settings::languageTarget(settings::LanguageKeys[position]), text);
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
    if (const auto saved = settings::saveSettings(m_places.settingsFiles.writeTo, choices); !saved) {
        m_showMessage(fromUtf8(saved.fault()));
    }
}

} // namespace quorbit
