#pragma once

#include "app/statuswording.h"
#include "rename/journalreplay.h"
#include "rename/renamerun.h"
#include "rename/runhistory.h"
#include "rename/sortcommand.h"
#include "rename/tagname.h"
#include "settings/language.h"
#include "settings/settingsfile.h"

#include <QHash>
#include <QMainWindow>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace quorbit {

class NumberEdit;
class RadioGroup;
class RenamePreview;
class TAboutBox;
class TagPanel;
class TitleTemplateBox;
class TFilterComboBox;
class TStShellComboBox;
class TStShellListView;
class TStShellTreeView;

// Gives the application the program's name, icon and menu entry, and sets up
// its memory for the window's worker threads; called once before the window is made.
void setUpApplication();

// Where the window keeps the user's choices and finds its interface texts.
struct WindowPlaces {
    // The file read when the window opens and the one written when it closes;
    // an installed program may read a file it never writes.
    settings::SettingsPaths settingsFiles;
    std::string languageFolder; // ends with "/"
    std::string journalFolder; // where runs keep the journals that let them be undone; none when empty

    // The places of the program at `executablePath`.
    static WindowPlaces forExecutable(const std::string& executablePath);
};

// The program's one window, TForm1. It reads its controls' values and hands
// them to the engine; it holds no renaming logic of its own. Every control's
// objectName is the name the language files use for it.
class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    explicit TForm1(WindowPlaces places, QWidget* parent = nullptr);
    ~TForm1() override;

    // The folder the run works in, as the file system names it; empty until one is chosen.
    const std::string& currentFolder() const { return m_currentFolder; }
    // Selects `path` in the folder tree, at once or, where folders on the way
    // are still to be listed, once their listings are in (see
    // TStShellTreeView::SelectFolder); false when it can be told at once to be
    // no folder the tree offers (not an absolute path, a hidden folder).
    bool selectFolder(const std::string& path);

    // The message of a start-up step that failed. The folder of the last
    // session turns out to be missing only once the listings on its way are
    // in, so the message may come after the window is up.
    const QString& startupError() const { return m_startupError; }
    // Shows the start-up error once the window is up, and one found later as it is found.
    void showStartupError();

    // Where messages for the user go; a message box unless replaced (tests).
    using MessageSink = std::function<void(const QString& text)>;
    void setMessageSink(MessageSink sink) { m_showMessage = std::move(sink); }

    // Made when first asked for, in the language shown then.
    TAboutBox& aboutBox();
    // The interface texts shown now, one per language key.
    const settings::InterfaceTexts& interfaceTexts() const { return m_texts; }

    // Lists, in a message, the entries the last run did not rename, the last
    // Sort did not move, or the last undo did not put back, and why.
    void showNotRenamed();

    // Offers each run that did not finish (the program was killed, the
    // power failed, or its journal could not be written): finish it, undo
    // what it did, or leave it as it is.
    void offerRecovery();
    using Recovery = RecoveryChoice;
    // Where the user's choice for an unfinished run comes from; a message box unless replaced (tests).
    using RecoveryChooser = std::function<Recovery(const QString& question)>;
    void setRecoveryChooser(RecoveryChooser chooser) { m_chooseRecovery = std::move(chooser); }

    // File > Undo Rename: puts back what the newest journaled run or Sort did;
    // when that run did not finish, offers it as at start-up.
    void MUndoClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    QWidget* buildLeftPane();
    QWidget* buildMiddlePane();
    QWidget* buildRightPane();
    QWidget* buildTagPanel();
    // The photo options: names from the date a photo was taken, after a template.
    QWidget* buildPhotoOptions(QWidget* pane);

    void FormCreate();
    void saveOnClose();
    void ApplyLanguage(const std::string& name);
    void switchLanguage(const std::string& name, const settings::Placeholders& from, const settings::Placeholders& to);
    // OnFolderSelected of the tree: every folder the user reaches.
    void StShellTreeView1FolderSelected(const std::string& folder);
    // The folder the window opens in is none the tree offers.
    void startFolderNotShown();
    // The shown folder, or a folder above it, was renamed: it stays the current folder.
    void currentFolderMoved(const std::string& folder);
    void FilterComboBoxRenameChange();
    // Why a preview of the run is asked for: an option changed (its counts go
    // to the status bar), a command ended (its own message stays), or the list
    // was listed anew (the status bar goes on as before).
    enum class PreviewCause { OptionChanged, CommandEnded, Relisted };
    void requestPreview(PreviewCause cause);
    void connectPreview();
    // Each operation's radio button tells, in its tool tip, what it makes of a sample name.
    void showOperationExamples();
    QString message(std::string_view name) const;

    // What a run would read from the controls now; nothing when no operation is chosen.
    std::optional<RunSettings> currentRunSettings() const;
    // The title template MP3 files are named after; nothing when names do not come from tags.
    std::optional<TitleTemplate> currentTitleTemplate() const;
    // The names the tags give MP3 files, when names come from tags.
    TagNameSource currentTagNames() const;

    void RadioGroupOptionsClick();
    void ButtonRenameClick();
    void MAboutClick();
    void ButtonSaveTagsClick();
    void ButtonSortClick();
    Recovery askRecovery(const QString& question);
    // Whether a run, a Sort, or an undo or finish is under way; the window
    // takes no other command then (a tag save is over before any could come).
    bool busy() const { return m_busy; }
    // Marks the window busy or not, and with it enables or disables every
    // command that must wait: Rename, Sort, Save Tags, Undo Rename and the
    // language switch.
    void setBusy(bool busy);
    // Runs `work`, given the command's progress, on a thread of its own, the
    // window's other commands held off and the list not following the moves
    // meanwhile; gives what `work` returns.
    template <class Work>
    auto runCommand(Work work);
    // Runs `command`, an undo or a recovery through the run history, the
    // window's commands held off meanwhile; a close asked for meanwhile comes
    // afterwards.
    HistoryResult replay(const std::function<HistoryResult(RunProgress& progress)>& command);
    // Keeps the journals of the newest runs and drops the older ones; reads
    // nothing but m_places, so a command's thread may call it.
    void keepRecentJournals() const;
    // Says that the journal at `path` cannot be read, and no file was touched.
    void reportUnreadableJournal(const std::string& path);
    // Tells what an undo did.
    void showReplayResult(const ReplayResult& result);
    // Names, in a message, the sub-folders a command could not enter.
    void reportUnreachedFolders(const std::vector<std::string>& unreached);

    // Shows `text` on the control a language key names; a message text and a
    // text of the about box name none.
    void showCaption(const settings::LanguageTarget& target, const QString& text);
    void showTexts();
    // The about box's share of showTexts, also given to a box made later.
    void showAboutTexts();
    // Sizes the options column to its captions.
    void fitOptionsColumn();

    WindowPlaces m_places;
    std::string m_languageName = "English";
    std::string m_currentFolder;
    // The folder the window opens in while the tree looks for it; one kept from
    // the last session is reported when it is not found.
    struct StartFolder {
        std::string path;
        bool fromLastSession = false;
    };
    std::optional<StartFolder> m_startFolder;
    QString m_startupError;
    bool m_showsStartupError = false; // showStartupError was called
    settings::InterfaceTexts m_texts;
    MessageSink m_showMessage;
    RecoveryChooser m_chooseRecovery;
    // The program's random names go on from where the last run stopped drawing.
    RandomGenerator m_random;
    std::atomic<bool> m_closeRequested = false; // read by a command's thread too
    bool m_busy = false;
    StatusWording m_wording{m_texts};
    LeftUndone m_leftUndone; // listed by a click on the status bar
    TAboutBox* m_aboutBox = nullptr;
    // The controls that show the caption of a language key, by their objectName.
    QHash<QString, QObject*> m_captioned;

    TStShellComboBox* m_pathBox = nullptr;
    TStShellTreeView* m_tree = nullptr;
    TStShellListView* m_list = nullptr;
    TFilterComboBox* m_filter = nullptr;
    RadioGroup* m_applyTo = nullptr;
    RadioGroup* m_renamePart = nullptr;
    RadioGroup* m_options = nullptr;
    QLabel* m_symbolsLabel = nullptr;
    NumberEdit* m_number = nullptr;
    QLineEdit* m_symbols = nullptr;
    QLabel* m_replaceLabel = nullptr;
    QLineEdit* m_replace = nullptr;
    QCheckBox* m_subfolders = nullptr;
    QCheckBox* m_fromId3 = nullptr;
    QCheckBox* m_showTags = nullptr;
    TitleTemplateBox* m_titleBox = nullptr;
    QCheckBox* m_photoDates = nullptr;
    QLineEdit* m_photoTemplate = nullptr;
    TagPanel* m_tagPanel = nullptr;
    QFrame* m_progressStrip = nullptr;
    QProgressBar* m_progressBar = nullptr;
    bool m_previewCounts = false;
    // Last, so it goes first: its thread ends before anything else of the window goes.
    std::unique_ptr<RenamePreview> m_preview;
};

} // namespace quorbit
