#include "app/tagpanel.h"

#include "platform/integertext.h"
#include "tags/mp3tags.h"

#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <optional>

namespace quorbit {

namespace {

QString text(const std::string& value)
{
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

std::string utf8(const QLineEdit* edit)
{
    return edit->text().toUtf8().toStdString();
}

// The first `count` characters of an edit, as ID3v1 keeps them.
std::string leading(const QLineEdit* edit, int count)
{
    return edit->text().left(count).toUtf8().toStdString();
}

} // namespace

TagPanel::TagPanel(QWidget* parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("PanelTags"));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    auto* row = new QHBoxLayout(this);
    const struct {
        const char* name;
        const char* caption;
        int gridRow;
        int gridColumn;
        int span;
    } places[FieldCount]
        = {{"Title", "Title:", 0, 0, 5},    {"Artist", "Artist:", 1, 0, 5}, {"Album", "Album:", 2, 0, 5},
           {"Year", "Year:", 3, 0, 1},      {"Track", "Track:", 3, 2, 1},   {"Genre", "Genre:", 3, 4, 1},
           {"Comment", "Comment:", 4, 0, 5}};
    for (int version = 1; version <= 2; ++version) {
        const QString suffix = QString::number(version);
        auto* group = new QGroupBox(QStringLiteral(" ID3v%1 Tags ").arg(version), this);
        group->setObjectName(QStringLiteral("GroupBoxID3v") + suffix);
        auto* grid = new QGridLayout(group);
        for (int field = 0; field < FieldCount; ++field) {
            const QString name = QString::fromLatin1(places[field].name);
            auto* box = new QLineEdit(group);
            box->setObjectName(QStringLiteral("Edit") + name + suffix);
            box->setMaxLength(250);
            if (places[field].span == 1 && field != Genre) {
                box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000")) * 2);
            }
            auto* label = new QLabel(QString::fromLatin1(places[field].caption), group);
            label->setObjectName(QStringLiteral("Label") + name + suffix);
            label->setBuddy(box);
            grid->addWidget(label, places[field].gridRow, places[field].gridColumn);
            grid->addWidget(box, places[field].gridRow, places[field].gridColumn + 1, 1, places[field].span);
            m_edits[version - 1][field] = box;
        }
        grid->setColumnStretch(5, 1);
        row->addWidget(group, 1);
    }
    auto* buttons = new QVBoxLayout;
    const auto button = [&](const char* name, const char* caption) {
        auto* made = new QPushButton(QString::fromLatin1(caption), this);
        made->setObjectName(QString::fromLatin1(name));
        buttons->addWidget(made);
        return made;
    };
    connect(button("ButtonCopy1to2", "ID3v1 -> ID3v2"), &QPushButton::clicked, this, &TagPanel::ButtonCopy1to2Click);
    connect(button("Button1", "ID3v2 -> ID3v1"), &QPushButton::clicked, this, &TagPanel::Button1Click);
    m_save = button("ButtonSaveTags", "Save Tags");
    buttons->addStretch();
    row->addLayout(buttons);
}

QString TagPanel::filePath() const
{
    return QDir(m_folder).filePath(m_fileName);
}

void TagPanel::selectFile(const QString& folder, const QString& name)
{
    m_folder = folder;
    m_fileName = name;
    m_isMp3 = name.toLower().endsWith(QLatin1String(".mp3"));
    m_save->setEnabled(m_isMp3);
    if (m_isMp3) {
        ReadTagsFromFile(QFile::encodeName(filePath()).toStdString(), m_id3v1, m_id3v2);
        showTags();
    }
}

void TagPanel::showTags()
{
    // Both tag classes name their fields alike, so one pass fills either group.
    const auto showVersion = [](QLineEdit* const(&edits)[FieldCount], const auto& tag) {
        const auto show = [&](Field field, const QString& value) {
            // A text ends at its first zero byte, as the file's reader would see it
            // (left() of a negative count is the whole text).
            edits[field]->setText(value.left(value.indexOf(QChar(0))));
        };
        show(Title, text(tag.Title()));
        show(Artist, text(tag.Artist()));
        show(Album, text(tag.Album()));
        show(Year, text(tag.Year()));
        show(Track, QString::number(tag.Track()));
        show(Genre, text(tag.Genre()));
        show(Comment, text(tag.Comment()));
    };
    showVersion(m_edits[0], m_id3v1);
    showVersion(m_edits[1], m_id3v2);
}

void TagPanel::ButtonCopy1to2Click()
{
    for (int field = 0; field < FieldCount; ++field) {
        m_edits[1][field]->setText(m_edits[0][field]->text());
    }
}

void TagPanel::Button1Click()
{
    for (int field = 0; field < FieldCount; ++field) {
        m_edits[0][field]->setText(m_edits[1][field]->text());
    }
}

TagPanel::SaveResult TagPanel::ButtonSaveTagsClick()
{
    if (!m_isMp3) {
        return {};
    }
    // Both numbers are read before either tag is written.
    std::optional<int> tracks[2];
    for (int version = 0; version < 2; ++version) {
        tracks[version] = parseInteger(utf8(m_edits[version][Track]));
        if (!tracks[version]) {
            return {SaveResult::Outcome::InvalidNumber, text(invalidIntegerMessage(utf8(m_edits[version][Track])))};
        }
    }
    m_id3v1.FSetArtist(leading(m_edits[0][Artist], 30));
    m_id3v1.FSetTitle(leading(m_edits[0][Title], 30));
    m_id3v1.FSetAlbum(leading(m_edits[0][Album], 30));
    m_id3v1.FSetYear(leading(m_edits[0][Year], 4));
    m_id3v1.FSetTrack(static_cast<std::uint8_t>(*tracks[0] & 0xFF));
    m_id3v1.FSetComment(leading(m_edits[0][Comment], 30));
    m_id3v2.FSetArtist(utf8(m_edits[1][Artist]));
    m_id3v2.FSetTitle(utf8(m_edits[1][Title]));
    m_id3v2.FSetAlbum(utf8(m_edits[1][Album]));
    m_id3v2.FSetYear(utf8(m_edits[1][Year]));
    m_id3v2.FSetTrack(static_cast<std::uint8_t>(*tracks[1] & 0xFF));
    m_id3v2.FSetGenre(utf8(m_edits[1][Genre]));
    m_id3v2.FSetComment(utf8(m_edits[1][Comment]));
    const std::string path = QFile::encodeName(filePath()).toStdString();
    // ID3v1 first, so its trailer is in place before the file is rebuilt for ID3v2.
    const bool savedId3v1 = m_id3v1.SaveToFile(path);
    const bool saved = m_id3v2.SaveToFile(path) && savedId3v1;
    // What the file holds now, whatever of the save went through.
    ReadTagsFromFile(path, m_id3v1, m_id3v2);
    showTags();
    return {saved ? SaveResult::Outcome::Saved : SaveResult::Outcome::Failed, m_fileName};
}

} // namespace quorbit
