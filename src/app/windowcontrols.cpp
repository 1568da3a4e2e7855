#include "app/mainwindow.h"

#include "app/aboutbox.h"
#include "app/englishtexts.h"
#include "app/mnemonics.h"
#include "app/numberedit.h"
#include "app/radiogroup.h"
#include "app/renamepreview.h"
#include "app/tagpanel.h"
#include "app/titletemplatebox.h"
#include "app/utf8text.h"
#include "app/winxp.h"
#include "browser/browsertexts.h"
#include "browser/bytepaths.h"
#include "browser/filtercombobox.h"
#include "browser/shellcombobox.h"
#include "browser/shelllistview.h"
#include "browser/shelltreeview.h"
#include "platform/files.h"
#include "tags/photoname.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>

// The window's controls: how they are made and laid out, and the texts they
// show in the language in effect. What the commands do is in mainwindow.cpp.
namespace quorbit {

namespace {

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
            selectFolder(files::parentFolderOf(m_currentFolder));
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

    // Built with their English captions, so the options column is laid out to fit them from the start.
    QStringList operations;
    for (const OperationRow& row : operationTable) {
        operations << fromUtf8(englishTexts()[settings::languageKeyIndex(row.captionKey)]);
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

} // namespace quorbit
