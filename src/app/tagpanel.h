#pragma once

#include "tags/id3v1.h"
#include "tags/id3v2.h"

#include <QFrame>
#include <QString>

#include <string>

class QLineEdit;
class QPushButton;

namespace quorbit {

// PanelTags: both tags of the MP3 file last selected in the file list, to
// read, edit, copy from one version to the other and save. It has its own
// pair of tag objects, so the genre it keeps for a save is the one of its
// own file whatever else reads tags meanwhile.
class TagPanel : public QFrame {
    Q_OBJECT

public:
    explicit TagPanel(QWidget* parent = nullptr);

    // StShellListView1SelectItem: the entry `name` of `folder` was selected,
    // both as the file system's bytes. An MP3 file (".mp3" in any case) has
    // its tags shown and can be saved; any other leaves the edits as they are
    // and cannot. Selecting again the MP3 file shown, as a re-listing does,
    // keeps its unsaved edits; without any, it reads the file again.
    void selectFile(const std::string& folder, const std::string& name);
    // ButtonCopy1to2Click, Button1Click: every field of one version into the other.
    void ButtonCopy1to2Click();
    void Button1Click();

    struct SaveResult {
        // NotMp3 also when the panel is busy: nothing was tried.
        enum class Outcome { NotMp3, Saved, InvalidNumber, Failed };
        Outcome outcome = Outcome::NotMp3;
        QString text; // the message for InvalidNumber; the file's name, for display, otherwise
    };
    // ButtonSaveTagsClick: writes ID3v1, then ID3v2, into the selected file and
    // shows what the file now holds. A track that is no number stops the save
    // before the file is touched. A field not edited since it was read is
    // written back as it was read, however long.
    SaveResult ButtonSaveTagsClick();

    // While the window runs, sorts or undoes, no save can start.
    void setBusy(bool busy);

    // The selected entry's path: folder, "/", name (no second "/" after a folder ending in one).
    std::string filePath() const;

private:
    enum Field { Title, Artist, Album, Year, Track, Genre, Comment, FieldCount };
    void showTags();
    // Puts a text in an edit whole, however long.
    void setText(int version, int field, const QString& value);
    bool edited() const;
    bool touched(int version, int field) const;

    QLineEdit* m_edits[2][FieldCount] = {};
    // What showTags put in each edit, to tell the fields the user changed.
    QString m_shown[2][FieldCount];
    QPushButton* m_save = nullptr;
    std::string m_folder;
    std::string m_fileName;
    bool m_isMp3 = false;
    bool m_busy = false;
    // As read from the file, so an untouched field is saved with these bytes.
    TID3v1 m_id3v1;
    TID3v2 m_id3v2;
};

} // namespace quorbit
