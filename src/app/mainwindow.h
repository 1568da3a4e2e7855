#pragma once

#include "rename/renamerun.h"
#include "settings/language.h"

#include <QMainWindow>
#include <QString>

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
class TAboutBox;
class TagPanel;
class TitleTemplateBox;
class TFilterComboBox;
class TStShellComboBox;
class TStShellListView;
class TStShellTreeView;

// Gives the application the program's name, icon and menu entry; called once
// before the window is made.
void setUpApplication();

// Where the window keeps the user's choices and finds its interface texts.
struct WindowPlaces {
    std::string settingsFile;
    std::string languageFolder; // ends with "/"

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

    // The folder the run works in; empty until one is chosen.
    const QString& currentFolder() const { return m_currentFolder; }
    // Selects `path` in the folder tree; false when it is no folder the tree
    // offers (missing, a file, hidden).
    bool selectFolder(const QString& path);

    // The message of a start-up step that failed; shown once the window is up.
    const QString& startupError() const { return m_startupError; }
    void showStartupError();

    // Where messages for the user go; a message box unless replaced (tests).
    using MessageSink = std::function<void(const QString& text)>;
    void setMessageSink(MessageSink sink) { m_showMessage = std::move(sink); }

    TAboutBox& aboutBox() const { return *m_aboutBox; }

    // Lists, in a message, the entries the last run did not rename and why.
    void showNotRenamed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Progress;

    void buildMenu();
    QWidget* buildLeftPane();
    QWidget* buildMiddlePane();
    QWidget* buildRightPane();
    QWidget* buildTagPanel();

    void FormCreate();
    void saveOnClose();
    void ApplyLanguage(const std::string& name);
    void switchLanguage(const std::string& name, const settings::Placeholders& from, const settings::Placeholders& to);
    // OnFolderSelected of the tree: every folder the user reaches.
    void StShellTreeView1FolderSelected(const QString& folder);
    void FilterComboBoxRenameChange();
    QString message(std::string_view name) const;
    // The language's words of the status texts of Rename and Sort.
    StatusTexts statusTexts() const;

    // What a run would read from the controls now; nothing when no operation is chosen.
    std::optional<RunSettings> currentRunSettings() const;
    // The names the tags give MP3 files, when names come from tags.
    TagNameSource currentTagNames() const;

    void RadioGroupOptionsClick();
    void ButtonRenameClick();
    void MAboutClick();
    void ButtonSaveTagsClick();
    void ButtonSortClick();
    // Names, in a message, the sub-folders a command could not enter.
    void reportUnreachedFolders(const std::vector<std::string>& unreached);

    // The caption a language key names, as shown before `replacement` (when
    // given) takes its place; empty for a message text.
    QString caption(const settings::LanguageTarget& target, const QString* replacement);
    void showTexts();

    WindowPlaces m_places;
    std::string m_languageName = "English";
    QString m_currentFolder;
    QString m_startupError;
    settings::InterfaceTexts m_texts;
    MessageSink m_showMessage;
    RenameRun m_run;
    bool m_closeRequested = false;
    std::vector<RunResult::NotRenamed> m_notRenamed;
    TAboutBox* m_aboutBox = nullptr;

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
    TagPanel* m_tagPanel = nullptr;
    QFrame* m_progressStrip = nullptr;
    QProgressBar* m_progressBar = nullptr;
};

} // namespace quorbit
