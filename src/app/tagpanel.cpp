#include "app/tagpanel.h"

#include "browser/offthread.h"
#include "platform/integertext.h"
#include "tags/mp3tags.h"

#include <QEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

namespace quorbit {

namespace {

constexpr int typedLimit = 250;

QString text(const std::string& value)
{
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

std::string utf8(const QLineEdit* edit)
{
    return edit->text().toUtf8().toStdString();
}

constexpr int whole = -1;

// The first `count` characters of an edit, as ID3v1 keeps them; all of them for `whole`.
std::string leading(const QLineEdit* edit, int count)
{
    return edit->text().left(count).toUtf8().toStdString();
}

// On the name's bytes: a name in any 8-bit encoding still ends in ASCII.
bool hasMp3Extension(std::string_view name)
{
    constexpr std::string_view extension = ".mp3";
    return name.size() >= extension.size()
        && std::equal(extension.begin(), extension.end(), name.end() - extension.size(), [](char wanted, char c) {
               return wanted == (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
           });
}

// Names every edit of a tag group "<group caption>: <label>", so a screen
// reader tells the two groups' Title edits apart.
void nameEdits(const QWidget* panel)
{
    for (const QGroupBox* group : panel->findChildren<QGroupBox*>()) {
        for (const QLabel* label : group->findChildren<QLabel*>()) {
            QWidget* edit = label->buddy();
            if (!edit) {
                continue;
            }
            QString field = label->text().trimmed();
            field.remove(QLatin1Char('&'));
            while (field.endsWith(QLatin1Char(':'))) {
                field.chop(1);
            }
            const QString name = group->title().trimmed() + QStringLiteral(": ") + field.trimmed();
            if (edit->accessibleName() != name) {
                edit->setAccessibleName(name);
            }
        }
    }
}

// The captions and labels change with the language and tell no signal; a
// changed text lays its group or the panel out again, and texts set while
// hidden are in place by the next Show, so the names follow those events.
class EditNamer : public QObject {
public:
    explicit EditNamer(QWidget* panel)
        : QObject(panel)
        , m_panel(panel)
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show) {
            nameEdits(m_panel);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* m_panel;
};

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
            box->setMaxLength(typedLimit);
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
    auto* namer = new EditNamer(this);
    installEventFilter(namer);
    for (QGroupBox* group : findChildren<QGroupBox*>()) {
        group->installEventFilter(namer);
    }
    nameEdits(this);
}

std::string TagPanel::filePath() const
{
    if (m_folder.empty() || m_folder.back() == '/') {
        return m_folder + m_fileName;
    }
    return m_folder + '/' + m_fileName;
}

void TagPanel::selectFile(const std::string& folder, const std::string& name)
{
    // A re-listing selects the file shown again: what the user typed stays.
    if (m_isMp3 && folder == m_folder && name == m_fileName && edited()) {
        return;
    }
    m_folder = folder;
    m_fileName = name;
    m_isMp3 = hasMp3Extension(name);
    m_reading = m_isMp3;
    const std::uint64_t read = ++m_lastRead;
    enableSave();
    if (m_isMp3) {
        runOffThread(
            m_jobs, this,
            [path = filePath()] {
                auto tags = std::make_shared<Tags>();
                ReadTagsFromFile(path, tags->id3v1, tags->id3v2);
                return tags;
            },
            [this, read](const std::shared_ptr<Tags>& tags) { takeTags(read, *tags); });
    }
}

void TagPanel::takeTags(std::uint64_t read, Tags& tags)
{
    if (read != m_lastRead) {
        return; // another file was selected meanwhile
    }
    m_reading = false;
    m_id3v1 = std::move(tags.id3v1);
    m_id3v2 = std::move(tags.id3v2);
    showTags();
    enableSave();
    emit tagsShown();
}

void TagPanel::setBusy(bool busy)
{
    m_busy = busy;
    enableSave();
}

void TagPanel::enableSave()
{
    m_save->setEnabled(m_isMp3 && !m_busy && !m_reading);
}

void TagPanel::setText(int version, int field, const QString& value)
{
    // Typing stops at 250 characters, or at the length of a longer text put in,
    // which is shown whole and can still be edited.
    QLineEdit* const edit = m_edits[version][field];
    edit->setMaxLength(std::max(typedLimit, static_cast<int>(value.size())));
    edit->setText(value);
}

bool TagPanel::touched(int version, int field) const
{
    return m_edits[version][field]->text() != m_shown[version][field];
}

bool TagPanel::edited() const
{
    for (int version = 0; version < 2; ++version) {
        for (int field = 0; field < FieldCount; ++field) {
            if (touched(version, field)) {
                return true;
            }
        }
    }
    return false;
}

void TagPanel::showTags()
{
    // Both tag classes name their fields alike, so one pass reads either.
    const auto texts = [](const auto& tag) {
        return std::array<QString, FieldCount>{text(tag.Title()),  text(tag.Artist()),           text(tag.Album()),
                                               text(tag.Year()),   QString::number(tag.Track()), text(tag.Genre()),
                                               text(tag.Comment())};
    };
    const std::array<QString, FieldCount> read[2] = {texts(m_id3v1), texts(m_id3v2)};
    for (int version = 0; version < 2; ++version) {
        for (int field = 0; field < FieldCount; ++field) {
            // A text ends at its first zero byte, as the file's reader would see it
            // (left() of a negative count is the whole text).
            const QString& value = read[version][field];
            m_shown[version][field] = value.left(value.indexOf(QChar(0)));
            setText(version, field, m_shown[version][field]);
        }
    }
}

void TagPanel::ButtonCopy1to2Click()
{
    for (int field = 0; field < FieldCount; ++field) {
        setText(1, field, m_edits[0][field]->text());
    }
}

void TagPanel::Button1Click()
{
    for (int field = 0; field < FieldCount; ++field) {
        setText(0, field, m_edits[1][field]->text());
    }
}

TagPanel::SaveResult TagPanel::ButtonSaveTagsClick()
{
    if (!m_isMp3 || m_busy || m_reading) {
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
    // Only the fields the user changed are set; the others keep the bytes read
    // from the file, which the edits may not show whole.
    const auto set = [this](auto& tag, int version, Field field, auto setter, int width) {
        if (touched(version, field)) {
            (tag.*setter)(leading(m_edits[version][field], width));
        }
    };
    set(m_id3v1, 0, Title, &TID3v1::FSetTitle, 30);
    set(m_id3v1, 0, Artist, &TID3v1::FSetArtist, 30);
    set(m_id3v1, 0, Album, &TID3v1::FSetAlbum, 30);
    set(m_id3v1, 0, Year, &TID3v1::FSetYear, 4);
    set(m_id3v1, 0, Comment, &TID3v1::FSetComment, 30);
    set(m_id3v2, 1, Title, &TID3v2::FSetTitle, whole);
    set(m_id3v2, 1, Artist, &TID3v2::FSetArtist, whole);
    set(m_id3v2, 1, Album, &TID3v2::FSetAlbum, whole);
    set(m_id3v2, 1, Year, &TID3v2::FSetYear, whole);
    set(m_id3v2, 1, Genre, &TID3v2::FSetGenre, whole);
    set(m_id3v2, 1, Comment, &TID3v2::FSetComment, whole);
    if (touched(0, Track)) {
        m_id3v1.FSetTrack(static_cast<std::uint8_t>(*tracks[0] & 0xFF));
    }
    if (touched(1, Track)) {
        m_id3v2.FSetTrack(static_cast<std::uint8_t>(*tracks[1] & 0xFF));
    }
    const std::string path = filePath();
    const bool saved = SaveTagsToFile(path, m_id3v1, m_id3v2);
    // A save that failed leaves the user's edits where they are, to try again.
    if (saved) {
        ReadTagsFromFile(path, m_id3v1, m_id3v2);
        showTags();
    }
    return {saved ? SaveResult::Outcome::Saved : SaveResult::Outcome::Failed,
            QFile::decodeName(QByteArray::fromStdString(m_fileName))};
}

} // namespace quorbit
