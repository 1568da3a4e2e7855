#pragma once

#include "tags/id3v1.h"
#include "tags/id3v2.h"

#include <QFrame>
#include <QString>

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

    // StShellListView1SelectItem: the entry `name` of `folder` was selected.
    // An MP3 file (".mp3" in any case) has its tags shown and can be saved;
    // any other leaves the edits as they are and cannot.
    void selectFile(const QString& folder, const QString& name);
    // ButtonCopy1to2Click, Button1Click: every field of one version into the other.
    void ButtonCopy1to2Click();
    void Button1Click();

    struct SaveResult {
        enum class Outcome { NotMp3, Saved, InvalidNumber, Failed };
        Outcome outcome = Outcome::NotMp3;
        QString text; // the message for InvalidNumber; the file's name otherwise
    };
    // ButtonSaveTagsClick: writes ID3v1, then ID3v2, into the selected file and
    // shows what the file now holds. A track that is no number stops the save
    // before the file is touched.
    SaveResult ButtonSaveTagsClick();

    QString filePath() const;

private:
    enum Field { Title, Artist, Album, Year, Track, Genre, Comment, FieldCount };
    void showTags();

    QLineEdit* m_edits[2][FieldCount] = {};
    QPushButton* m_save = nullptr;
    QString m_folder;
    QString m_fileName;
    bool m_isMp3 = false;
    TID3v1 m_id3v1;
    TID3v2 m_id3v2;
};

} // namespace quorbit
