// The tag panel against mutagen and eyeD3: the file it saves must read back
// as shown, with the frames it does not show left alone.

#include "app/tagpanel.h"

#include "platform/localetext.h"
#include "tags/mp3sample.h"
#include "tempfolder.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

namespace {

using quorbit::TagPanel;
using quorbit::testing::id3v2Frame;
using quorbit::testing::id3v2Tag;
using quorbit::testing::readFile;

// Runs a script of the system Python, whose packages mutagen and eyeD3 are,
// on a file; both go through the environment, never through shell syntax.
// Its output, with a line "failed" when it did not succeed.
std::string python(const char* script, const std::string& path)
{
    setenv("QUORBIT_SCRIPT", script, 1);
    setenv("QUORBIT_FILE", path.c_str(), 1);
    std::string out;
    if (FILE* pipe = popen("/usr/bin/python3 -c \"$QUORBIT_SCRIPT\" \"$QUORBIT_FILE\"", "r")) {
        char buffer[4096];
        for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            out.append(buffer, got);
        }
        out += pclose(pipe) == 0 ? "" : "\nfailed\t";
    }
    return out;
}

// A tag with a picture (over 127 bytes, with false MPEG syncs), user text and
// lyrics beside the shown fields, and the ID3v1 trailer mutagen derives from
// it: the title cut to 30, no comment (it has a language), genre Swing (83).
const char* const writeSample = R"(
import sys, mutagen.id3 as m
tag = m.ID3()
for frame in (m.TIT2(encoding=1, text=['Alte Weise von der schönen blauen Donau']),
              m.TPE1(encoding=3, text=['Kapelle Ölberg']), m.TALB(encoding=0, text=['Frühling']),
              m.TDRC(encoding=0, text=['1999-05-06']), m.TRCK(encoding=0, text=['3/10']),
              m.TCON(encoding=0, text=['Swing']), m.COMM(encoding=1, lang='deu', desc='', text=['Gut']),
              m.APIC(encoding=0, mime='image/png', type=3, desc='cover', data=b'\x89PNG\xff\xe0\xff\x00' + b'x' * 300),
              m.TXXX(encoding=1, desc='mood', text=['calm']),
              m.USLT(encoding=1, lang='deu', desc='', text='Lyrics über alles')):
    tag.add(frame)
tag.save(sys.argv[1], v2_version=4, v1=2)
)";

// "key<TAB>value" lines: mutagen's text of the shown frames and repr (all of
// the frame's data) of every other, its ID3v1 fields read as Windows-1252,
// and eyeD3's view.
const char* const readBack = R"(
import sys, eyed3, mutagen.id3 as m
path = sys.argv[1]
def out(key, value): print(key + '\t' + str(value).replace('\n', ' '))
for frame in m.ID3(path, translate=False, load_v1=False).values():
    shown = frame.FrameID in ('TIT2', 'TPE1', 'TALB', 'TDRC', 'TRCK', 'TCON', 'COMM')
    out(frame.HashKey, frame if shown else repr(frame))
for key, frame in m.ParseID3v1(open(path, 'rb').read()[-128:]).items():
    out('v1.' + key, (frame.genres[0] if key == 'TCON' else str(frame)).encode('latin-1').decode('cp1252'))
tag = eyed3.load(path).tag
for key, value in (('title', tag.title), ('artist', tag.artist), ('album', tag.album),
                   ('track', tag.track_num[0]), ('year', tag.getBestDate()), ('genre', tag.genre.name),
                   ('comment', '|'.join(c.text for c in tag.comments)),
                   ('image', '|'.join(i.image_data.hex() for i in tag.images))):
    out('eyeD3.' + key, value)
)";

// The peers' view of a file, by key; "<missing>" for a key they do not show.
struct View : std::map<std::string, std::string> {
    explicit View(const std::string& path)
    {
        std::istringstream lines(python(readBack, path));
        for (std::string key, value; std::getline(lines, key, '\t') && std::getline(lines, value);) {
            emplace(key, value);
        }
    }
    std::string operator[](const std::string& key) const { return contains(key) ? at(key) : "<missing>"; }
};

} // namespace

class TagPanelTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // ID3v1 text is in the locale's code page: Windows-1252 for this one.
        quorbit::text::setLocale("en_US");
        quorbit::testing::writeFile(m_path, m_audio);
        QVERIFY2(python(writeSample, m_path).empty(), "python3-mutagen is needed in /usr/bin/python3");
        m_original = readFile(m_path);
    }

    void savesWhatIsShownAndKeepsTheOtherFrames()
    {
        quorbit::testing::writeFile(m_path, m_original);
        TagPanel panel;
        select(panel, m_folder.path(), "song.mp3");
        QCOMPARE(edits(panel),
                 QStringList({"Alte Weise von der schönen bla", "Kapelle Ölberg", "Frühling", "1999", "3", "Swing", "",
                              "Alte Weise von der schönen blauen Donau", "Kapelle Ölberg", "Frühling", "1999", "3",
                              "Swing", "Gut"}));
        const View before(m_path);
        QVERIFY(!before.contains("failed") && before["APIC:cover"].find("\\x89PNG") != std::string::npos);

        const QStringList typed = {
            "Neuer Titel über dreißig Zeichen, ganz lang", "Ärzte & Söhne", "Ölberg Live", "2024", "9", "Rock", "Neu"};
        for (int field = 0; field < 7; ++field) {
            edit(panel, field, 2)->setText(typed[field]);
        }
        panel.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
        const TagPanel::SaveResult result = panel.ButtonSaveTagsClick();
        QCOMPARE(result.outcome, TagPanel::SaveResult::Outcome::Saved);
        QCOMPARE(result.text, QStringLiteral("song.mp3"));
        // The edits show the file as saved: ID3v1 cut to its widths, with the genre it had.
        const QStringList v1
            = {"Neuer Titel über dreißig Zeich", "Ärzte & Söhne", "Ölberg Live", "2024", "9", "Swing", "Neu"};
        QCOMPARE(edits(panel), v1 + typed);

        const std::string saved = readFile(m_path);
        QVERIFY2(saved.substr(saved.size() - 128 - m_audio.size(), m_audio.size()) == m_audio,
                 "the audio lies intact before the one ID3v1 trailer");
        const View after(m_path);
        QVERIFY(!after.contains("failed"));
        std::string mismatches;
        const auto expect = [&](const std::string& key, const std::string& value) {
            mismatches += after[key] == value ? "" : key + ": " + after[key] + " instead of " + value + "\n";
        };
        const char* const keys[] = {"TIT2", "TPE1", "TALB", "TDRC", "TRCK", "TCON", "COMM"};
        const char* const eyeD3Keys[] = {"title", "artist", "album", "year", "track", "genre", "comment"};
        for (int field = 0; field < 7; ++field) {
            // A replaced comment keeps its language.
            expect(field == 6 ? "COMM::deu" : keys[field], typed[field].toStdString());
            expect(std::string("v1.") + keys[field], v1[field].toStdString());
            expect(std::string("eyeD3.") + eyeD3Keys[field], typed[field].toStdString());
        }
        for (const char* const key : {"APIC:cover", "TXXX:mood", "USLT::deu", "eyeD3.image"}) {
            expect(key, before[key]);
        }
        QVERIFY2(mismatches.empty(), mismatches.c_str());
    }

    void invalidTrackLeavesTheFileAlone_data()
    {
        QTest::addColumn<int>("version");
        QTest::newRow("ID3v1 track") << 1;
        QTest::newRow("ID3v2 track") << 2;
    }
    void invalidTrackLeavesTheFileAlone()
    {
        QFETCH(int, version);
        quorbit::testing::writeFile(m_path, m_original);
        TagPanel panel;
        select(panel, m_folder.path(), "song.mp3");
        edit(panel, 0, 1)->setText(QStringLiteral("Changed"));
        edit(panel, 0, 2)->setText(QStringLiteral("Changed"));
        edit(panel, 4, version)->setText(QStringLiteral("abc"));
        const TagPanel::SaveResult result = panel.ButtonSaveTagsClick();
        QCOMPARE(result.outcome, TagPanel::SaveResult::Outcome::InvalidNumber);
        QCOMPARE(result.text, QStringLiteral("'abc' is not a valid integer value"));
        QVERIFY(readFile(m_path) == m_original);
    }

    void namesAreBytes_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("windows-1251") << QByteArray("\xcf\xe5\xf1\xed\xff.mp3");
        QTest::newRow("Latin-1") << QByteArray("caf\xe9.mp3");
        QTest::newRow("newline") << QByteArray("a\nb.mp3");
        QTest::newRow("255 bytes") << QByteArray(251, 'n') + ".mp3";
        QTest::newRow("leading dash") << QByteArray("-x.mp3");
        QTest::newRow("backslash") << QByteArray("a\\b.mp3");
        QTest::newRow("upper-case extension") << QByteArray("LOUD.Mp3");
    }
    void namesAreBytes()
    {
        QFETCH(QByteArray, name);
        const std::string path = m_folder / name.toStdString();
        quorbit::testing::writeFile(path, m_original);
        TagPanel panel;
        select(panel, m_folder.path() + "/", name.toStdString());
        QCOMPARE(panel.filePath(), path);
        QCOMPARE(edit(panel, 0, 2)->text(), QStringLiteral("Alte Weise von der schönen blauen Donau"));
        edit(panel, 0, 2)->setText(QStringLiteral("Neu"));
        const TagPanel::SaveResult result = panel.ButtonSaveTagsClick();
        QCOMPARE(result.text, QFile::decodeName(name));
        QCOMPARE(result.outcome, TagPanel::SaveResult::Outcome::Saved);
        QCOMPARE(View(path)["TIT2"], "Neu");
        QVERIFY(readFile(path).find(m_audio) != std::string::npos);
    }

    void storedValuesAreNeverCut()
    {
        // Left alone, both keep their bytes: one too long to type, one no UTF-8.
        const QString stored = QStringLiteral("Ä") + QString(298, u'x') + u'Z';
        const std::string title = id3v2Frame("TIT2", "\x03" + stored.toStdString(), true);
        const std::string album = id3v2Frame("TALB", std::string("\x03") + "caf\xe9", true);
        quorbit::testing::writeFile(m_path, id3v2Tag(4, title + album) + m_audio);
        TagPanel panel;
        select(panel, m_folder.path(), "song.mp3");
        QLineEdit* const typed = edit(panel, 0, 2);
        QCOMPARE(typed->text(), stored);
        edit(panel, 1, 2)->setText(QStringLiteral("Band"));
        QCOMPARE(panel.ButtonSaveTagsClick().outcome, TagPanel::SaveResult::Outcome::Saved);
        const std::string saved = readFile(m_path);
        QVERIFY(saved.find(title) != std::string::npos && saved.find(album) != std::string::npos);
        QTest::keyClick(typed, Qt::Key_Backspace);
        QTest::keyClicks(typed, QStringLiteral("ab"));
        QCOMPARE(typed->text(), stored.chopped(1) + u'a');
        QTest::keyClicks(edit(panel, 1, 2), QString(300, u'y'));
        QCOMPARE(edit(panel, 1, 2)->text().size(), 250);
    }

    // A re-listing selects the file again; only another file or a save ends the edits.
    void editsLastUntilAnotherFileOrASave()
    {
        quorbit::testing::writeFile(m_path, m_original);
        quorbit::testing::writeFile(m_folder / "other.mp3", m_audio);
        TagPanel panel;
        const auto selectAndRead = [&](const char* name) {
            select(panel, m_folder.path(), name);
            return edits(panel);
        };
        const QStringList read = selectAndRead("song.mp3");
        QTest::keyClicks(edit(panel, 0, 1), QStringLiteral("!"));
        const QStringList typed = edits(panel);
        QCOMPARE(selectAndRead("song.mp3"), typed);
        selectAndRead("other.mp3");
        QCOMPARE(selectAndRead("song.mp3"), read);
        panel.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
        const QStringList copied = edits(panel);
        QCOMPARE(selectAndRead("song.mp3"), copied);
        panel.setBusy(true);
        QVERIFY(!panel.findChild<QPushButton*>(QStringLiteral("ButtonSaveTags"))->isEnabled());
        QCOMPARE(panel.ButtonSaveTagsClick().outcome, TagPanel::SaveResult::Outcome::NotMp3);
        panel.setBusy(false);
        QCOMPARE(panel.ButtonSaveTagsClick().outcome, TagPanel::SaveResult::Outcome::Saved);
        // Nothing is left unsaved, so another program's change shows.
        quorbit::testing::writeFile(m_path, m_original);
        QCOMPARE(selectAndRead("song.mp3"), read);
    }

private:
    // Selects the file and waits for its tags.
    static void select(TagPanel& panel, const std::string& folder, const std::string& name)
    {
        QSignalSpy shown(&panel, &TagPanel::tagsShown);
        panel.selectFile(folder, name);
        QVERIFY(!panel.isReading() || shown.wait());
    }

    static QLineEdit* edit(const TagPanel& panel, int field, int version)
    {
        static const char* const names[] = {"Title", "Artist", "Album", "Year", "Track", "Genre", "Comment"};
        return panel.findChild<QLineEdit*>(QStringLiteral("Edit%1%2").arg(names[field]).arg(version));
    }
    // Title to comment of ID3v1, then of ID3v2.
    static QStringList edits(const TagPanel& panel)
    {
        QStringList texts;
        for (int version = 1; version <= 2; ++version) {
            for (int field = 0; field < 7; ++field) {
                texts << edit(panel, field, version)->text();
            }
        }
        return texts;
    }

    quorbit::testing::TempFolder m_folder;
    std::string m_path = m_folder / "song.mp3";
    std::string m_audio = quorbit::testing::mpegAudio(6);
    std::string m_original;
};

QTEST_MAIN(TagPanelTest)
#include "tagpanel_qtest.moc"
