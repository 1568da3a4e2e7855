// The tag classes checked against independent tag tools: mutagen (Python),
// eyeD3 and id3v2 (id3lib) write files the program must read, and read the
// files the program writes.

#include "platform/localetext.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"
#include "tags/mp3sample.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace quorbit {
namespace {

using testing::mpegAudio;
using testing::readFile;
using testing::writeFile;

struct ToolRun {
    int status = -1;
    std::string out;
};

// Runs a program with these arguments, each quoted so that no value is ever
// read as shell syntax; stderr is left to the test log.
ToolRun run(const std::vector<std::string>& args)
{
    ToolRun result;
    FILE* pipe = popen(testing::shellCommand(args).c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        result.out.append(buffer, got);
    }
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// id3v2 prints text only in a UTF-8 locale that exists, whatever LANG the tests get.
ToolRun listWithId3v2(const std::string& path)
{
    return run({"env", "LC_ALL=C.UTF-8", "id3v2", "-l", path});
}

// The system Python: mutagen and eyeD3 are its packages, not those of another python3 on PATH.
const std::string python = "/usr/bin/python3";

// Adds the frames listed as JSON [[class, {fields}], ...] ("data" fields as
// Latin-1 text) and saves them as a fresh tag; v1=2 adds an ID3v1 trailer.
// The frames go in as given, unconverted: a 2.3 tag gets TYER only when listed.
const char* const mutagenWrite = R"(
import json, sys, mutagen.id3 as m
path, version, padding, frames, v1 = sys.argv[1:]
tag = m.ID3()
for name, fields in json.loads(frames):
    if 'data' in fields:
        fields['data'] = fields['data'].encode('latin-1')
    tag.add(getattr(m, name)(**fields))
tag.save(path, v2_version=int(version), padding=lambda info: int(padding), v1=int(v1))
)";

// Prints "key<TAB>value" lines: the tag version, every frame in file order
// as repr, each frame's first text (or its binary data in hex) by mutagen's
// key, a picture's MIME type and picture type, and the ID3v1 fields, re-read
// in the code page given.
const char* const mutagenRead = R"(
import sys, mutagen.id3 as m
path, codec = sys.argv[1:]
def out(key, value): print(key + '\t' + value)
try:
    tag = m.ID3(path, translate=False, load_v1=False)
    out('version', '2.%d' % tag.version[1])
    for frame in tag.values():
        out('frame', repr(frame))
        if hasattr(frame, 'text'):
            text = frame.text if isinstance(frame.text, list) else [frame.text]
            out(frame.HashKey, str(text[0]) if text else '')
        elif hasattr(frame, 'data'):
            out(frame.HashKey, frame.data.hex())
        if frame.FrameID == 'APIC':
            out(frame.HashKey + '.mime', frame.mime)
            out(frame.HashKey + '.type', str(int(frame.type)))
except m.ID3NoHeaderError:
    out('version', 'none')
raw = open(path, 'rb').read()
if raw[-128:-125] == b'TAG':
    for key, frame in m.ParseID3v1(raw[-128:]).items():
        text = frame.genres[0] if key == 'TCON' else str(frame)
        out('v1.' + key, text.encode('latin-1').decode(codec))
)";

// Sets one text frame, keeping the tag's version. mutagen holds a 2.3 tag as
// 2.4 frames, which must go back to 2.3 ones (TDRC to TYER) before a 2.3 save.
const char* const mutagenEdit = R"(
import sys, mutagen.id3 as m
path, name, value = sys.argv[1:]
tag = m.ID3(path)
tag.add(getattr(m, name)(encoding=3, text=[value]))
version = tag.version[1]
if version == 3:
    tag.update_to_v23()
tag.save(path, v2_version=version)
)";

// A hand-made ID3v1.1 trailer in a given code page, appended.
const char* const codePageTrailer = R"(
import sys
path, codec, title, artist, album, year, comment, track, genre = sys.argv[1:]
def field(text, width): return text.encode(codec)[:width].ljust(width, b'\0')
tail = b'TAG' + field(title, 30) + field(artist, 30) + field(album, 30) + field(year, 4)
open(path, 'ab').write(tail + field(comment, 28) + bytes([0, int(track), int(genre)]))
)";

// eyeD3's view of the fields, with each warning it logs while reading; it
// warns of every genre name not in its list, which is no fault of the file.
const char* const eyeD3Read = R"(
import logging, sys, eyed3
class Warnings(logging.Handler):
    def emit(self, record):
        if not record.getMessage().startswith('Non standard genre name'):
            print('warning\t' + record.getMessage().replace('\n', ' '))
eyed3.log.addHandler(Warnings(logging.WARNING))
tag = eyed3.load(sys.argv[1]).tag
print('version\t2.%d' % tag.version[1])
for key, value in (('title', tag.title), ('artist', tag.artist), ('album', tag.album),
                   ('track', tag.track_num[0]), ('year', tag.getBestDate()),
                   ('genre', tag.genre.name if tag.genre else None)):
    print(key + '\t' + str(value or ''))
print('comment\t' + next((c.text for c in tag.comments if c.description == ''), ''))
for image in tag.images:
    print('image\t' + image.image_data.hex())
)";

struct PeerView {
    std::map<std::string, std::string> values;
    std::vector<std::string> frames;
    std::vector<std::string> warnings;
    std::string operator[](const std::string& key) const
    {
        const auto found = values.find(key);
        return found == values.end() ? "<missing>" : found->second;
    }
};

PeerView parseView(const ToolRun& result)
{
    EXPECT_EQ(result.status, 0) << result.out;
    PeerView view;
    std::istringstream lines(result.out);
    for (std::string key, value; std::getline(lines, key, '\t') && std::getline(lines, value);) {
        if (key == "frame") {
            view.frames.push_back(value);
        } else if (key == "warning") {
            view.warnings.push_back(value);
        } else {
            view.values[key] = value;
        }
    }
    return view;
}

// Where the audio starts: after the ID3v2 tag and its footer, if any.
std::size_t audioStart(const std::string& file)
{
    std::size_t size = 10;
    for (std::size_t index = 6; index < 10; ++index) {
        size += static_cast<std::size_t>(static_cast<unsigned char>(file[index])) << (7 * (9 - index));
    }
    return file.starts_with("ID3") ? size + (file[3] == 4 && (file[5] & 0x10) != 0 ? 10 : 0) : 0;
}

std::vector<std::string> shown(const TID3v2::Fields& f)
{
    return {f.title, f.artist, f.album, std::to_string(f.track), f.year, f.genre, f.comment};
}

void expectFields(const TID3v2& tag, const TID3v2::Fields& want)
{
    EXPECT_EQ(shown({tag.Title(), tag.Artist(), tag.Album(), tag.Track(), tag.Year(), tag.Genre(), tag.Comment()}),
              shown(want));
}

// Frames a picture, user text, lyrics, private data and a described comment
// that the program must neither show nor disturb. The picture is over 127
// bytes, where 2.4's syncsafe sizes differ from plain ones.
const std::string foreignFrames = R"(["APIC", {"encoding": 0, "mime": "image/png", "type": 3, "desc": "cover",
                   "data": "\u0089PNG\u00ff\u00e0\u00ff\u0000)"
    + std::string(300, 'x') + R"("}],
         ["TXXX", {"encoding": 1, "desc": "mood", "text": ["calm"]}],
         ["USLT", {"encoding": 1, "lang": "deu", "desc": "", "text": "Lyrics über alles"}],
         ["PRIV", {"owner": "quorbit.test", "data": "\u0001\u00ff\u0000"}],
         ["COMM", {"encoding": 0, "lang": "eng", "desc": "note", "text": ["not the comment"]}])";

class PeerTags : public ::testing::Test {
protected:
    void SetUp() override
    {
        // One clear failure when a tool is missing, instead of many odd ones.
        static const bool peersThere
            = run({"sh", "-c", "command -v eyeD3 && command -v id3v2 && \"$0\" -c 'import mutagen, eyed3'", python})
                  .status
            == 0;
        ASSERT_TRUE(peersThere) << "tag tools missing: these tests need id3v2, eyeD3 and python3-mutagen in " << python;
        writeFile(path, audio);
    }

    void writeWithMutagen(int version, const std::string& framesJson, int padding = 0, bool withV1 = false)
    {
        const ToolRun result = run({python, "-c", mutagenWrite, path, std::to_string(version), std::to_string(padding),
                                    "[" + framesJson + "]", withV1 ? "2" : "0"});
        ASSERT_EQ(result.status, 0) << result.out;
    }
    PeerView mutagen(const std::string& codec = "latin-1") const
    {
        return parseView(run({python, "-c", mutagenRead, path, codec}));
    }
    PeerView eyeD3() const { return parseView(run({python, "-c", eyeD3Read, path})); }

    testing::TempFolder folder;
    std::string path = folder / "song.mp3";
    std::string audio = mpegAudio(6);
};

TEST_F(PeerTags, ReadsId3v1WrittenByPeers)
{
    struct Case {
        std::vector<std::string> writer;
        std::uint8_t version, track, genreId;
        std::string title, comment;
    };
    const std::vector<Case> cases = {
        {{"id3v2", "-1", "-t", "Song", "-c", "Nice", "-g", "17", "-T", "5", path}, 2, 5, 17, "Song", "Nice"},
        // With no track the comment may take all 30 bytes.
        {{"id3v2", "-1", "-t", "Song", "-c", "Comment filling thirty bytes!!", path},
         1,
         0,
         255,
         "Song",
         "Comment filling thirty bytes!!"},
        {{python, "-c", mutagenWrite, path, "3", "0", R"([["TIT2", {"encoding": 1, "text": ["Café Olé"]}],
          ["TRCK", {"encoding": 0, "text": ["7/9"]}], ["TCON", {"encoding": 0, "text": ["Jazz"]}]])",
          "2"},
         2,
         7,
         8,
         "Café Olé",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.writer[c.writer[0] == python ? 4 : 3]);
        writeFile(path, audio);
        ASSERT_EQ(run(c.writer).status, 0);
        TID3v1 tag;
        ASSERT_TRUE(tag.ReadFromFile(path));
        EXPECT_TRUE(tag.Exists());
        EXPECT_EQ(tag.Version(), c.version);
        EXPECT_EQ(tag.Title(), c.title);
        EXPECT_EQ(tag.Comment(), c.comment);
        EXPECT_EQ(tag.Track(), c.track);
        EXPECT_EQ(tag.GenreID(), c.genreId);
        EXPECT_EQ(tag.Title(), mutagen()["v1.TIT2"]);
    }
}

TEST_F(PeerTags, ReadsId3v2WrittenByMutagen)
{
    struct Case {
        const char* name;
        int version;
        std::string frames;
        TID3v2::Fields want;
    };
    const std::vector<Case> cases = {
        {"2.3 Latin-1",
         3,
         R"(["TIT2", {"encoding": 0, "text": ["Café del Mar"]}],
            ["TPE1", {"encoding": 0, "text": ["Ærøskøbing Band"]}], ["TALB", {"encoding": 0, "text": ["Ça va"]}],
            ["TRCK", {"encoding": 0, "text": ["5/12"]}], ["TYER", {"encoding": 0, "text": ["1999"]}],
            ["TCON", {"encoding": 0, "text": ["(17)(6)Grunge"]}],
            ["COMM", {"encoding": 0, "lang": "fra", "desc": "", "text": ["Très bien"]}])",
         {"Café del Mar", "Ærøskøbing Band", "Ça va", 5, "1999", "Grunge", "Très bien"}},
        {"2.3 UTF-16",
         3,
         R"(["TIT2", {"encoding": 1, "text": ["Группа крови"]}],
            ["TPE1", {"encoding": 1, "text": ["Кино"]}], ["TALB", {"encoding": 1, "text": ["Звезда по имени Солнце 🌞"]}],
            ["TRCK", {"encoding": 1, "text": ["7"]}], ["TYER", {"encoding": 1, "text": ["1988"]}],
            ["TCON", {"encoding": 1, "text": ["Русский рок"]}],
            ["COMM", {"encoding": 1, "lang": "rus", "desc": "", "text": ["Хорошо"]}])",
         {"Группа крови", "Кино", "Звезда по имени Солнце 🌞", 7, "1988", "Русский рок", "Хорошо"}},
        {"2.4 UTF-8",
         4,
         R"J(["TIT2", {"encoding": 3, "text": ["Первая", "Вторая"]}],
            ["TPE1", {"encoding": 3, "text": ["Аквариум"]}], ["TALB", {"encoding": 3, "text": ["Радио Африка"]}],
            ["TRCK", {"encoding": 3, "text": ["12/15"]}], ["TDRC", {"encoding": 3, "text": ["1983-05-06"]}],
            ["TCON", {"encoding": 3, "text": ["(17)"]}],
            ["COMM", {"encoding": 3, "lang": "XXX", "desc": "", "text": ["Ёлка"]}])J",
         {"Первая", "Аквариум", "Радио Африка", 12, "1983", "", "Ёлка"}},
        {"2.4 UTF-16",
         4,
         R"(["TIT2", {"encoding": 1, "text": ["Naïve €"]}],
            ["TPE1", {"encoding": 1, "text": ["Ольга"]}], ["TRCK", {"encoding": 1, "text": ["3"]}],
            ["TCON", {"encoding": 1, "text": ["(17)Rock"]}],
            ["COMM", {"encoding": 1, "lang": "ukr", "desc": "", "text": ["Добре"]}])",
         {"Naïve €", "Ольга", "", 3, "", "Rock", "Добре"}},
        {"2.4 UTF-16BE",
         4,
         R"(["TIT2", {"encoding": 2, "text": ["Über"]}],
            ["TALB", {"encoding": 2, "text": ["Мир"]}], ["TDRC", {"encoding": 2, "text": ["2020"]}],
            ["COMM", {"encoding": 2, "lang": "deu", "desc": "", "text": ["Schön"]}])",
         {"Über", "", "Мир", 0, "2020", "", "Schön"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(path, audio);
        writeWithMutagen(c.version, c.frames + "," + foreignFrames, 1024);
        TID3v2 tag;
        ASSERT_TRUE(tag.ReadFromFile(path));
        EXPECT_EQ(tag.Version(), c.version);
        EXPECT_EQ(static_cast<std::size_t>(tag.Size()), audioStart(readFile(path)));
        expectFields(tag, c.want);
    }
}

// Every FF gets a 00 after it, the unsynchronisation no tool here writes.
std::string unsynchronised(std::string_view data)
{
    std::string out;
    for (const char c : data) {
        out += c;
        if (c == '\xFF') {
            out += '\0';
        }
    }
    return out;
}

TEST_F(PeerTags, HandMadeLayoutsReadAsMutagenReadsThem)
{
    using testing::id3v2Frame;
    using testing::id3v2Tag;
    // Latin-1 text and a picture full of false MPEG syncs.
    const std::string title = std::string("\0Caf\xE9 \xFF\xFF", 8);
    const std::string picture = std::string("\0image/png\0\x03\0\xFF\xE0\xFF\0\xFF", 18);
    const std::string frames3 = id3v2Frame("TIT2", title) + id3v2Frame("APIC", picture);
    const std::string frames4 = id3v2Frame("TIT2", title, true) + id3v2Frame("APIC", picture, true);
    // In 2.4 each frame is unsynchronised on its own and its size counts the stored bytes.
    const std::string unsyncFrames4
        = id3v2Frame("TIT2", unsynchronised(title), true) + id3v2Frame("APIC", unsynchronised(picture), true);
    // Flags 0x0003: unsynchronised, with the length before that as a prefix.
    const std::string unsyncTitle4
        = id3v2Frame("TIT2", std::string("\0\0\0\x08", 4) + unsynchronised(title), true, 0x0003);
    struct Case {
        const char* name;
        std::string tag;
    };
    const std::vector<Case> cases = {
        {"2.3 unsynchronised", id3v2Tag(3, unsynchronised(frames3), 0x80)},
        {"2.4 unsynchronised", id3v2Tag(4, unsyncFrames4, 0x80)},
        {"2.4 frame unsynchronised", id3v2Tag(4, unsyncTitle4 + id3v2Frame("APIC", picture, true))},
        {"2.3 extended header", id3v2Tag(3, std::string("\0\0\0\x06\0\0\0\0\0\0", 10) + frames3, 0x40)},
        {"2.4 extended header", id3v2Tag(4, std::string("\0\0\0\x06\x01\0", 6) + frames4, 0x40)},
        {"2.4 footer", id3v2Tag(4, frames4, 0x10) + "3DI" + id3v2Tag(4, frames4, 0x10).substr(3, 7)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(path, c.tag + audio);
        const PeerView before = mutagen();
        ASSERT_EQ(before["TIT2"], "Café ÿÿ") << "the hand-made bytes are not what mutagen reads";
        ASSERT_EQ(before["APIC:"], "ffe0ff00ff");

        TID3v2 tag;
        ASSERT_TRUE(tag.ReadFromFile(path));
        EXPECT_EQ(tag.Title(), "Café ÿÿ");
        tag.FSetAlbum("Added");
        ASSERT_TRUE(tag.SaveToFile(path));
        const std::string saved = readFile(path);
        EXPECT_EQ(saved.substr(audioStart(saved)), audio);
        const PeerView after = mutagen();
        EXPECT_EQ(after["TIT2"], "Café ÿÿ");
        EXPECT_EQ(after["TALB"], "Added");
        EXPECT_EQ(after["APIC:"], "ffe0ff00ff");
    }
}

TEST_F(PeerTags, ReadsV2TagsWrittenByEyeD3AndId3lib)
{
    struct Case {
        std::vector<std::string> command;
        int version;
        TID3v2::Fields want;
    };
    const std::vector<std::string> cyrillic = {"eyeD3", "--no-config", "-t", "Звезда", "-a", "Кино", "-A", "Альбом",
                                               "-n",    "5",           "-N", "12",     "-G", "Rock", "-c", "Привет 🌞"};
    const auto with = [](std::vector<std::string> command, std::initializer_list<std::string> more) {
        command.insert(command.end(), more);
        return command;
    };
    // eyeD3's --release-year goes to TDRL in 2.4, not a year the program shows;
    // --recording-date writes TDRC (TYER in 2.3). id3lib stores a genre as "(17)" alone.
    const std::vector<Case> cases = {
        {with(cyrillic, {"--to-v2.4", "--encoding", "utf8", "--recording-date", "1988"}),
         4,
         {"Звезда", "Кино", "Альбом", 5, "1988", "Rock", "Привет 🌞"}},
        {with(cyrillic, {"--to-v2.3", "--encoding", "utf16", "--recording-date", "1988"}),
         3,
         {"Звезда", "Кино", "Альбом", 5, "1988", "Rock", "Привет 🌞"}},
        {{"id3v2", "-2", "-t", "Song", "-a", "Band", "-A", "Disc", "-y", "1999", "-c", "Nice", "-g", "17", "-T",
          "5/12"},
         3,
         {"Song", "Band", "Disc", 5, "1999", "", "Nice"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.back());
        writeFile(path, audio);
        ASSERT_EQ(run(with(c.command, {path})).status, 0);
        TID3v2 tag;
        ASSERT_TRUE(tag.ReadFromFile(path));
        EXPECT_EQ(tag.Version(), c.version);
        expectFields(tag, c.want);
    }
}

TEST_F(PeerTags, PeersReadEveryFieldTheProgramWritesAndItReadsTheirEdits)
{
    const std::vector<TID3v2::Fields> values = {
        {"Plain Title", "Plain Artist", "Plain Album", 9, "2010", "Rock", "Plain comment"},
        {"Café Olé", "Ærøskøbing", "Naïve €", 12, "1999", "Chanson", "Très bien"},
        {"Группа крови", "Кино", "Звезда по имени Солнце 🌞", 200, "1988", "Русский рок", "Хорошо"},
    };
    for (const int startVersion : {0, 3, 4}) {
        for (const TID3v2::Fields& want : values) {
            SCOPED_TRACE(std::to_string(startVersion) + " " + want.title);
            writeFile(path, audio);
            if (startVersion != 0) {
                writeWithMutagen(startVersion, R"(["TXXX", {"encoding": 3, "desc": "keep", "text": ["me"]}])");
            }
            TID3v2 tag;
            tag.FSetTitle(want.title);
            tag.FSetArtist(want.artist);
            tag.FSetAlbum(want.album);
            tag.FSetTrack(want.track);
            tag.FSetYear(want.year);
            tag.FSetGenre(want.genre);
            tag.FSetComment(want.comment);
            ASSERT_TRUE(tag.SaveToFile(path));
            ASSERT_TRUE(tag.ReadFromFile(path));
            expectFields(tag, want);

            const bool is24 = startVersion == 4;
            const PeerView m = mutagen();
            const PeerView e = eyeD3();
            EXPECT_EQ(m["version"], is24 ? "2.4" : "2.3");
            EXPECT_EQ(m.frames.size(), startVersion == 0 ? 7u : 8u);
            EXPECT_TRUE(e.warnings.empty()) << e.warnings.front();
            const std::vector<std::string> values = shown(want);
            const char* const mutagenKeys[]
                = {"TIT2", "TPE1", "TALB", "TRCK", is24 ? "TDRC" : "TYER", "TCON", "COMM::eng"};
            const char* const eyeD3Keys[] = {"title", "artist", "album", "track", "year", "genre", "comment"};
            for (std::size_t field = 0; field < values.size(); ++field) {
                EXPECT_EQ(m[mutagenKeys[field]], values[field]) << mutagenKeys[field];
                EXPECT_EQ(e[eyeD3Keys[field]], values[field]) << eyeD3Keys[field];
            }
            if (!is24) {
                const ToolRun listed = listWithId3v2(path);
                EXPECT_EQ(listed.status, 0);
                EXPECT_NE(listed.out.find("): " + want.title + "\n"), std::string::npos) << listed.out;
                EXPECT_NE(listed.out.find("): ()[eng]: " + want.comment + "\n"), std::string::npos) << listed.out;
            }

            // And back: what mutagen changes in the program's tag is what the program then shows.
            ASSERT_EQ(run({python, "-c", mutagenEdit, path, "TIT2", "После"}).status, 0);
            ASSERT_EQ(run({python, "-c", mutagenEdit, path, "TRCK", "3/10"}).status, 0);
            ASSERT_TRUE(tag.ReadFromFile(path));
            EXPECT_EQ(tag.Version(), is24 ? 4 : 3);
            expectFields(tag, {"После", want.artist, want.album, 3, want.year, want.genre, want.comment});
            const std::string file = readFile(path);
            EXPECT_EQ(file.substr(audioStart(file)), audio);
        }
    }
}

// ID3v1 text is in the locale's Windows code page, which Python's codecs
// know independently; mutagen reads ID3v1 as Latin-1, so its text is re-read
// in the code page.
TEST_F(PeerTags, Id3v1TextIsInTheLocalesCodePage)
{
    struct Case {
        const char* locale;
        const char* codec;
        std::string title, artist, cutTitle;
    };
    const std::vector<Case> cases = {
        {"en_US", "cp1252", "Café olé, a title over thirty bytes", "Naïve € ÿ", "Café olé, a title over thirty"},
        {"ru_RU", "cp1251", "Абвгдеёжзийклмнопрстуфхцчшщъыьэ", "Группа крови", "Абвгдеёжзийклмнопрстуфхцчшщъыь"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        struct Locale {
            explicit Locale(const char* id) { text::setLocale(id); }
            ~Locale() { text::setLocale("en_US"); }
        } locale(c.locale);
        writeFile(path, audio);
        const std::vector<std::string> writer
            = {python, "-c", codePageTrailer, path, c.codec, c.artist, c.artist, "", "1988", c.artist, "3", "17"};
        ASSERT_EQ(run(writer).status, 0);
        TID3v1 tag;
        ASSERT_TRUE(tag.ReadFromFile(path));
        EXPECT_EQ(tag.Title(), c.artist);
        EXPECT_EQ(tag.Comment(), c.artist);
        EXPECT_EQ(tag.Track(), 3);

        tag.FSetTitle(c.title);
        tag.FSetAlbum(c.title);
        tag.FSetYear("19991");
        tag.FSetTrack(7);
        tag.FSetGenreID(8);
        ASSERT_TRUE(tag.SaveToFile(path));
        const std::string file = readFile(path);
        ASSERT_EQ(file.size(), audio.size() + 128) << "the old trailer is overwritten";
        EXPECT_EQ(file.substr(0, audio.size()), audio);
        const PeerView m = mutagen(c.codec);
        for (const auto& [key, value] : std::map<std::string, std::string>{{"v1.TIT2", c.cutTitle},
                                                                           {"v1.TPE1", c.artist},
                                                                           {"v1.TALB", c.cutTitle},
                                                                           {"v1.TDRC", "1999"},
                                                                           {"v1.COMM", c.artist},
                                                                           {"v1.TRCK", "7"},
                                                                           {"v1.TCON", "Jazz"}}) {
            EXPECT_EQ(m[key], value) << key;
        }
        const ToolRun listed = listWithId3v2(path);
        EXPECT_NE(listed.out.find("Year: 1999, Genre: Jazz (8)"), std::string::npos) << listed.out;
        EXPECT_NE(listed.out.find("Track: 7"), std::string::npos) << listed.out;
    }
}

TEST_F(PeerTags, SavingKeepsEveryOtherFrameTheAudioAndTheTrailer)
{
    const std::string managed = R"(["TIT2", {"encoding": 1, "text": ["Old title"]}],
        ["TPE1", {"encoding": 0, "text": ["Old artist"]}], ["TRCK", {"encoding": 0, "text": ["5/12"]}],
        ["TCON", {"encoding": 0, "text": ["(17)Rock"]}],
        ["COMM", {"encoding": 1, "lang": "fra", "desc": "", "text": ["Vieux"]}],)";
    // The frames of the seven fields, which a save may rewrite.
    const auto othersOf = [](std::vector<std::string> frames) {
        std::erase_if(frames, [](const std::string& frame) {
            const std::string id = frame.substr(0, 5);
            return std::string_view("TIT2(TPE1(TALB(TRCK(TYER(TDRC(TCON(").find(id) != std::string_view::npos
                || (id == "COMM(" && frame.find("desc=''") != std::string::npos);
        });
        return frames;
    };
    for (const int version : {3, 4}) {
        for (const bool change : {false, true}) {
            SCOPED_TRACE(std::to_string(version) + (change ? " changed" : " unchanged"));
            writeFile(path, audio);
            const std::string year
                = R"([")" + std::string(version == 4 ? "TDRC" : "TYER") + R"(", {"text": ["1999"]}],)";
            writeWithMutagen(version, managed + year + foreignFrames, 5000, true);
            const std::string original = readFile(path);
            const PeerView before = mutagen();
            ASSERT_EQ(before.frames.size(), 11u);

            TID3v2 tag;
            ASSERT_TRUE(tag.ReadFromFile(path));
            if (change) {
                tag.FSetTitle("Новое");
                tag.FSetArtist("");
                tag.FSetAlbum("Ærø");
                tag.FSetTrack(6);
                tag.FSetGenre("Jazz");
                tag.FSetYear("2024");
                tag.FSetComment("Nouveau");
            }
            ASSERT_TRUE(tag.SaveToFile(path));
            const std::string saved = readFile(path);
            EXPECT_EQ(saved.substr(audioStart(saved)), original.substr(audioStart(original)));

            const PeerView after = mutagen();
            EXPECT_EQ(after["version"], version == 4 ? "2.4" : "2.3");
            EXPECT_EQ(after["v1.TIT2"], "Old title");
            const PeerView e = eyeD3();
            EXPECT_TRUE(e.warnings.empty()) << e.warnings.front();
            EXPECT_EQ(e["title"], change ? "Новое" : "Old title");
            EXPECT_EQ(e["image"], before["APIC:cover"]);
            if (!change) {
                EXPECT_EQ(after.frames, before.frames);
                continue;
            }
            EXPECT_EQ(othersOf(after.frames), othersOf(before.frames));
            EXPECT_EQ(after["TIT2"], "Новое");
            EXPECT_EQ(after["TPE1"], "<missing>");
            EXPECT_EQ(after["TALB"], "Ærø");
            EXPECT_EQ(after["TRCK"], "6");
            EXPECT_EQ(after["TCON"], "Jazz");
            EXPECT_EQ(after[version == 4 ? "TDRC" : "TYER"], "2024");
            EXPECT_EQ(after["COMM::fra"], "Nouveau") << "a replaced comment keeps its language";
            EXPECT_EQ(after["COMM:note:eng"], "not the comment");
        }
    }
}

// mutagen converts 2.2 frames to 2.3 ones as it reads, so its reading of the
// 2.2 tag is what the saved 2.3 tag must hold, but for the edited title and
// the pictures, whose 2.2 image formats mutagen keeps as their MIME types.
TEST_F(PeerTags, SavingOverVersion2KeepsEveryFrame)
{
    using testing::id3v22Frame;
    using testing::id3v2Tag;
    struct Picture {
        std::string desc, format;
        int type;
        std::string mime;
    };
    const std::vector<Picture> pictures
        = {{"cover", "JPG", 3, "image/jpeg"}, {"back", "PNG", 4, "image/png"}, {"band", "BMP", 8, "image/bmp"}};
    // Over 127 bytes, with false MPEG syncs.
    const std::string image = "\xFF\xD8\xFF\xE0" + std::string(200, 'i') + "\xFF\xD9";
    std::string frames = id3v22Frame("TT2", std::string("\x01\xFF\xFEO\0l\0d\0", 9))
        + id3v22Frame("TP1", std::string("\0Artist", 7)) + id3v22Frame("COM", std::string("\0eng\0Nice", 9))
        + id3v22Frame("COM", std::string("\0fraavis\0Bien", 13)) + id3v22Frame("ULT", std::string("\0deu\0Lyrics", 11))
        + id3v22Frame("LNK", std::string("TALhttp://example.org/\0id", 25))
        + id3v22Frame("TCP",
                      std::string("\0"
                                  "1",
                                  2)); // written by iTunes
    for (const Picture& picture : pictures) {
        frames += id3v22Frame("PIC",
                              '\0' + picture.format + static_cast<char>(picture.type) + picture.desc + '\0' + image);
    }
    const std::string original = id3v2Tag(2, frames + std::string(100, '\0')) + audio;
    writeFile(path, original);
    const PeerView before = mutagen();
    ASSERT_EQ(before["version"], "2.2");
    ASSERT_EQ(before["TIT2"], "Old") << "the hand-made bytes are not what mutagen reads";
    ASSERT_EQ(before.frames.size(), 10u);

    TID3v2 tag;
    ASSERT_TRUE(tag.ReadFromFile(path));
    EXPECT_EQ(tag.Version(), 2);
    expectFields(tag, {"Old", "Artist", "", 0, "", "", "Nice"});
    tag.FSetTitle("New");
    ASSERT_TRUE(tag.SaveToFile(path));
    const std::string saved = readFile(path);
    EXPECT_TRUE(saved.substr(audioStart(saved)) == audio);

    const PeerView after = mutagen();
    EXPECT_EQ(after["version"], "2.3");
    EXPECT_EQ(after["TIT2"], "New");
    const auto others = [](std::vector<std::string> frames) {
        std::erase_if(
            frames, [](const std::string& frame) { return frame.starts_with("TIT2(") || frame.starts_with("APIC("); });
        return frames;
    };
    EXPECT_EQ(others(after.frames), others(before.frames)) << "each frame as mutagen converts it, in order";
    EXPECT_EQ(after.frames.size(), before.frames.size());
    for (const Picture& picture : pictures) {
        const std::string key = "APIC:" + picture.desc;
        EXPECT_EQ(after[key + ".mime"], picture.mime) << key;
        EXPECT_EQ(after[key + ".type"], std::to_string(picture.type)) << key;
        EXPECT_EQ(after[key], before[key]) << key;
    }
    EXPECT_EQ(after["TPE1"], "Artist");
    EXPECT_EQ(after["COMM::eng"], "Nice");
}

TEST_F(PeerTags, RemovedTagsAreGoneForThePeers)
{
    for (const int version : {3, 4}) {
        SCOPED_TRACE(version);
        writeFile(path, audio);
        writeWithMutagen(version, R"(["TIT2", {"encoding": 0, "text": ["Gone"]}],)" + foreignFrames, 500, true);

        ASSERT_TRUE(TID3v2().RemoveFromFile(path));
        EXPECT_EQ(mutagen()["version"], "none");
        EXPECT_EQ(mutagen()["v1.TIT2"], "Gone");
        ASSERT_TRUE(TID3v1().RemoveFromFile(path));
        EXPECT_EQ(mutagen()["v1.TIT2"], "<missing>");
        const ToolRun listed = listWithId3v2(path);
        EXPECT_NE(listed.out.find("No ID3 tag"), std::string::npos) << listed.out;
        EXPECT_EQ(readFile(path), audio);
    }
}

} // namespace
} // namespace quorbit
