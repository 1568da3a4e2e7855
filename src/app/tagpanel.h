#pragma once

#include "platform/background.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"

#include <QFrame>
#include <QString>

#include <cstdint>
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
    // its tags read on a thread of their own, as its drive may take long to
    // answer, and shown once they are in (tagsShown); from then on it can be
    // saved. A read that a later selection outdated is dropped. Any other file
    // leaves the edits as they are and cannot be saved. Selecting again the
    // MP3 file shown, as a re-listing does, keeps its unsaved edits; without
    // any, it reads the file again.
    void selectFile(const std::string& folder, const std::string& name);
    // Whether the tags of the selected file are being read.
    bool isReading() const { return m_reading; }
    // ButtonCopy1to2Click, Button1Click: every field of one version into the other.
    void ButtonCopy1to2Click();
    void Button1Click();

    struct SaveResult {
        // NotMp3 also when the panel is busy or still reading: nothing was tried.
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

signals:
    // The tags of the selected MP3 file were read and are shown.
    void tagsShown();

private:
    struct Tags {
        TID3v1 id3v1;
        TID3v2 id3v2;
    };
    void takeTags(std::uint64_t read, Tags& tags);
    void enableSave();
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
    bool m_reading = false;
    std::uint64_t m_lastRead = 0; // the read whose tags the panel waits for
    // As read from the file, so an untouched field is saved with these bytes.
    TID3v1 m_id3v1;
    TID3v2 m_id3v2;
    // Last, so that no read is handed over while the rest goes.
    platform::DetachedJobs m_jobs;
};

} // namespace quorbit
