#include "app/mainwindow.h"

#include "app/aboutbox.h"
#include "app/commandthread.h"
#include "app/numberedit.h"
#include "app/radiogroup.h"
#include "app/renamepreview.h"
#include "app/statuswording.h"
#include "app/tagpanel.h"
#include "app/titletemplatebox.h"
#include "app/utf8text.h"
#include "app/windowplace.h"
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
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <future>

namespace quorbit {

void setUpApplication()
{
    platform::freeSmallBlocksAtOnce();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/org.example.Quorbit.svg")));
    // Lets the desktop match the window to its menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Quorbit"));
}

WindowPlaces WindowPlaces::forExecutable(const std::string& executablePath)
{
    return {settings::settingsPaths(executablePath),
            settings::languageFolder(files::parentFolderOf(executablePath) + "/"), quorbit::journalFolder()};
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
