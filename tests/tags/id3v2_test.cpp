#include "tags/id3v2.h"

#include "platform/localetext.h"
#include "tags/id3v2format.h"
#include "tags/mp3sample.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbit {
namespace {

using testing::id3v22Frame;
using testing::id3v2Frame;
using testing::id3v2Tag;
using testing::mpegAudio;
using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

std::string text(std::string_view value)
{
    return '\0' + std::string(value);
}

std::string utf16(std::string_view bytes)
{
    return "\x01" + std::string(bytes);
}

// Reads a file holding `tag` and some audio.
TID3v2 readTag(const TempFolder& folder, const std::string& tag)
{
    const std::string path = folder / "read.mp3";
    writeFile(path, tag + mpegAudio());
    TID3v2 result;
    EXPECT_TRUE(result.ReadFromFile(path));
    return result;
}

TEST(TID3v2, ReadsTheFieldsOfVersion3)
{
    TempFolder folder;
    const std::string frames = id3v2Frame("TIT2", text("Title") + std::string(20, '\0'))
        + id3v2Frame("TPE1",
                     utf16(std::string("\xFF\xFE"
                                       "A\0r\0t\0",
                                       8)))
        + id3v2Frame("TALB", utf16(std::string("A\0l\0b\0", 6))) // no byte-order mark: little-endian
        + id3v2Frame("TRCK", text("5/12")) + id3v2Frame("TYER", text("1999")) + id3v2Frame("TCON", text("(17)Rock"))
        + id3v2Frame("COMM", std::string("\0deu\0Kommentar", 14))
        + id3v2Frame("COMM", std::string("\0engiTunNORM\0 000", 17)) // described: not the comment
        + id3v2Frame("TXXX", text("key") + '\0' + "value");
    const TID3v2 tag = readTag(folder, id3v2Tag(3, frames + std::string(64, '\0')));
    EXPECT_TRUE(tag.Exists());
    EXPECT_EQ(tag.Version(), 3);
    EXPECT_EQ(tag.Size(), static_cast<int>(frames.size() + 64 + 10));
    EXPECT_EQ(tag.Title(), "Title");
    EXPECT_EQ(tag.Artist(), "Art");
    EXPECT_EQ(tag.Album(), "Alb");
    EXPECT_EQ(tag.Track(), 5);
    EXPECT_EQ(tag.Year(), "1999");
    EXPECT_EQ(tag.Genre(), "Rock");
    EXPECT_EQ(tag.Comment(), "Kommentar");
}

TEST(TID3v2, TrackAndGenreTexts)
{
    TempFolder folder;
    const std::pair<std::string, int> tracks[]
        = {{"5/12", 5}, {"300", 44}, {"A1", 0}, {"", 0}, {" 7 ", 7}, {"-1", 255}};
    for (const auto& [track, number] : tracks) {
        EXPECT_EQ(readTag(folder, id3v2Tag(3, id3v2Frame("TRCK", text(track)))).Track(), number) << track;
    }
    const std::pair<std::string, std::string> genres[]
        = {{"(17)", ""}, {"(17)Rock", "Rock"}, {"Rock", "Rock"}, {"(17) Rock", " Rock"}, {"(1)(2)Pop", "Pop"}};
    for (const auto& [genre, shown] : genres) {
        EXPECT_EQ(readTag(folder, id3v2Tag(3, id3v2Frame("TCON", text(genre)))).Genre(), shown) << genre;
    }
}

TEST(TID3v2, ReadsVersion4)
{
    TempFolder folder;
    const std::string longTitle(300, 't');
    const std::string frames = id3v2Frame("TIT2", text(longTitle), true)
        + id3v2Frame("TPE1", std::string("\x03Первый\0Второй", 26), true) // several strings: the first shows
        + id3v2Frame("TDRC", text("2004-05-06T10:00"), true)
        + id3v2Frame("TALB", "\x02" + std::string("\0B\0E", 4), true);
    const TID3v2 tag = readTag(folder, id3v2Tag(4, frames));
    EXPECT_EQ(tag.Version(), 4);
    EXPECT_EQ(tag.Title(), longTitle) << "whole frames are read";
    EXPECT_EQ(tag.Artist(), "Первый");
    EXPECT_EQ(tag.Year(), "2004");
    EXPECT_EQ(tag.Album(), "BE");

    // Older iTunes wrote plain frame sizes into 2.4 tags.
    const std::string plainSizes = id3v2Frame("TIT2", text(longTitle)) + id3v2Frame("TPE1", text("Artist"));
    EXPECT_EQ(readTag(folder, id3v2Tag(4, plainSizes)).Artist(), "Artist");
}

TEST(TID3v2, ReadsVersion2)
{
    TempFolder folder;
    const std::string frames = id3v22Frame("TT2", text("Title") + std::string(3, '\0'))
        + id3v22Frame("TP1", utf16(std::string("\xFF\xFEP\0o\0p\0", 8))) + id3v22Frame("TAL", text("Alb"))
        + id3v22Frame("TRK", text("5/12")) + id3v22Frame("TYE", text("1999")) + id3v22Frame("TCO", text("(17)Rock"))
        + id3v22Frame("COM", std::string("\0deu\0Kommentar", 14))
        + id3v22Frame("COM", std::string("\0engiTunNORM\0 000", 17)) // described: not the comment
        + id3v22Frame("PIC", std::string("\0JPG\x03\0\xFF\xD8", 8));
    const TID3v2 tag = readTag(folder, id3v2Tag(2, frames + std::string(32, '\0')));
    EXPECT_EQ(tag.Version(), 2);
    EXPECT_EQ(tag.Size(), static_cast<int>(frames.size() + 32 + 10));
    EXPECT_EQ(tag.Title(), "Title");
    EXPECT_EQ(tag.Artist(), "Pop");
    EXPECT_EQ(tag.Album(), "Alb");
    EXPECT_EQ(tag.Track(), 5);
    EXPECT_EQ(tag.Year(), "1999");
    EXPECT_EQ(tag.Genre(), "Rock");
    EXPECT_EQ(tag.Comment(), "Kommentar");

    // As in 2.3, the whole tag may be unsynchronised. 2.2 named no compression
    // method, so a compressed tag cannot be read.
    std::string unsynchronised = id3v22Frame("TT2", std::string("\x01\xFF\xFEO\0K\0", 7));
    unsynchronised.insert(unsynchronised.find('\xFF') + 1, 1, '\0');
    EXPECT_EQ(readTag(folder, id3v2Tag(2, unsynchronised, 0x80)).Title(), "OK");
    const TID3v2 compressed = readTag(folder, id3v2Tag(2, frames, 0x40));
    EXPECT_TRUE(compressed.Exists());
    EXPECT_EQ(compressed.Title(), "");
}

TEST(TID3v2, UndoesUnsynchronisationAndSkipsHeaderExtras)
{
    TempFolder folder;
    // 2.3: the whole tag is unsynchronised; "\xFF\0" stands for "\xFF".
    std::string unsynchronised = id3v2Frame("TIT2", std::string("\x01\xFF\xFEO\0K\0", 7));
    unsynchronised.insert(unsynchronised.find('\xFF') + 1, 1, '\0');
    EXPECT_EQ(readTag(folder, id3v2Tag(3, unsynchronised, 0x80)).Title(), "OK");

    // 2.3's extended header size leaves out its own four bytes.
    const std::string extended3 = std::string("\0\0\0\x06\0\0\0\0\0\0", 10) + id3v2Frame("TIT2", text("Ext"));
    EXPECT_EQ(readTag(folder, id3v2Tag(3, extended3, 0x40)).Title(), "Ext");
    // 2.4's counts them.
    const std::string extended4 = std::string("\0\0\0\x06\x01\0", 6) + id3v2Frame("TIT2", text("Ext4"), true);
    EXPECT_EQ(readTag(folder, id3v2Tag(4, extended4, 0x40)).Title(), "Ext4");
    // 2.4 marks unsynchronisation per frame.
    const std::string frame4 = id3v2Frame("TIT2", std::string("\x01\xFF\0\xFEX\0", 6), true, 0x0002);
    EXPECT_EQ(readTag(folder, id3v2Tag(4, frame4)).Title(), "X");
}

TEST(TID3v2, BrokenTagsNeverCrashAndKeepWhatCameBefore)
{
    TempFolder folder;
    const std::string good = id3v2Frame("TIT2", text("Good"));
    struct Case {
        std::string name;
        std::string tag;
        std::string title;
    };
    const Case cases[] = {
        {"frame past the tag", id3v2Tag(3, good + id3v2Frame("TPE1", text("cut short")).substr(0, 14)), "Good"},
        {"frame size past the tag", id3v2Tag(3, good + "TPE1\x7F\0\0\0\0\0\0abc"), "Good"},
        {"zero-size frame", id3v2Tag(3, id3v2Frame("PRIV", "") + good), "Good"},
        {"garbage frame ID", id3v2Tag(3, good + "t!t2\0\0\0\x02\0\0\0x" + id3v2Frame("TPE1", text("After"))), "Good"},
        {"odd-length UTF-16", id3v2Tag(3, id3v2Frame("TIT2", std::string("\x01\xFF\xFEO\0K", 6))), "O"},
        {"lone surrogate", id3v2Tag(3, id3v2Frame("TIT2", std::string("\x01\xFF\xFE\x00\xD8", 5))), "\xEF\xBF\xBD"},
        {"empty frame data", id3v2Tag(3, id3v2Frame("TIT2", "\x05")), ""},
        {"unknown encoding", id3v2Tag(3, id3v2Frame("TIT2", "\x09Odd")), "Odd"},
        {"bad extended header", id3v2Tag(3, "\xFF\xFF\xFF\xFF" + good, 0x40), ""},
        {"unknown version", id3v2Tag(5, good), ""},
    };
    for (const Case& test : cases) {
        const TID3v2 tag = readTag(folder, test.tag);
        EXPECT_TRUE(tag.Exists()) << test.name;
        EXPECT_EQ(tag.Title(), test.title) << test.name;
        EXPECT_EQ(tag.Artist(), "") << test.name;
    }

    // A size past the end of the file makes the tag unusable.
    const TID3v2 huge = readTag(folder, id3v2Tag(3, good, 0, 0x0FFFFFFF));
    EXPECT_TRUE(huge.Exists());
    EXPECT_EQ(huge.Size(), 0);
    EXPECT_EQ(huge.Title(), "");

    const std::string tiny = folder / "tiny.mp3";
    writeFile(tiny, std::string("ID3\x03\0\0\0\0", 8));
    TID3v2 tag;
    EXPECT_FALSE(tag.ReadFromFile(tiny));
    EXPECT_FALSE(tag.SaveToFile(tiny));
    EXPECT_FALSE(tag.RemoveFromFile(tiny));
    EXPECT_EQ(readFile(tiny), std::string("ID3\x03\0\0\0\0", 8));
}

TEST(TID3v2, SavedBytesAreExact)
{
    TempFolder folder;
    const std::string path = folder / "song.mp3";
    const std::string audio = mpegAudio();
    writeFile(path, audio);

    TID3v2 tag;
    ASSERT_TRUE(tag.SaveToFile(path));
    EXPECT_TRUE(readFile(path) == std::string("ID3\x03\0\0\0\0\0\0", 10) + audio);
    TID3v2 empty;
    ASSERT_TRUE(empty.ReadFromFile(path));
    EXPECT_TRUE(empty.Exists());
    EXPECT_EQ(empty.Version(), 3);
    EXPECT_EQ(empty.Size(), 10);

    tag.FSetTitle("Abc  ");
    ASSERT_TRUE(tag.SaveToFile(path));
    ASSERT_TRUE(tag.SaveToFile(path)) << "a second save replaces the first tag";
    EXPECT_EQ(readFile(path).substr(0, 24),
              std::string("ID3\x03\0\0\0\0\0\x0E"
                          "TIT2\0\0\0\x04\0\0\0Abc",
                          24));
    EXPECT_TRUE(readFile(path).substr(24) == audio);

    tag.FSetTitle("Ёлка");
    tag.FSetComment("né");
    ASSERT_TRUE(tag.SaveToFile(path));
    const std::string content = readFile(path);
    EXPECT_NE(content.find(std::string("TIT2\0\0\0\x0B\0\0\x01\xFF\xFE\x01\x04\x3B\x04", 17)), std::string::npos)
        << "text beyond ASCII is written as UTF-16";
    EXPECT_NE(content.find(std::string("COMM\0\0\0\x0C\0\0\x01"
                                       "eng\0\0\xFF\xFEn\0\xE9\0",
                                       22)),
              std::string::npos);
    TID3v2 reread;
    ASSERT_TRUE(reread.ReadFromFile(path));
    EXPECT_EQ(reread.Title(), "Ёлка");
    EXPECT_EQ(reread.Comment(), "né");

    tag.FSetArtist("Song 🎵 \xFF"); // a character beyond 16 bits, and a stray byte
    ASSERT_TRUE(tag.SaveToFile(path));
    ASSERT_TRUE(reread.ReadFromFile(path));
    EXPECT_EQ(reread.Artist(), "Song 🎵 \uFFFD");
}

// Saves `fields` into a file holding `tag`, `audio` and an ID3v1 trailer;
// checks the audio and trailer are untouched and returns the new tag.
std::string saveOver(const TempFolder& folder, const std::string& tag, const TID3v2& fields)
{
    const std::string path = folder / "save.mp3";
    const std::string rest = mpegAudio(6) + "TAG" + std::string(125, 'v');
    writeFile(path, tag + rest);
    EXPECT_TRUE(fields.SaveToFile(path));
    const std::string content = readFile(path);
    EXPECT_GE(content.size(), rest.size());
    EXPECT_TRUE(content.substr(content.size() - rest.size()) == rest) << "the audio and the ID3v1 trailer never change";
    return content.substr(0, content.size() - rest.size());
}

TEST(TID3v2, SaveKeepsFramesItDoesNotEdit)
{
    TempFolder folder;
    const std::string picture = id3v2Frame("APIC", std::string("\0image/png\0\x03\0\x89PNG\xFF\0\xFF", 19));
    const std::string user = id3v2Frame("TXXX", text("MOOD") + '\0' + "calm");
    const std::string track = id3v2Frame("TRCK", text("5/12"));
    const std::string title = id3v2Frame("TIT2", text("Old title"));
    const std::string described = id3v2Frame("COMM", std::string("\0engdesc\0text", 13));
    const std::string original = picture + title + user + track + described;

    TID3v2 fields;
    fields.ReadFromBytes(id3v2Tag(3, original), 1 << 20);
    EXPECT_EQ(saveOver(folder, id3v2Tag(3, original + std::string(100, '\0')), fields), id3v2Tag(3, original))
        << "unchanged fields keep their frames byte for byte; padding goes";

    fields.FSetTitle("New title");
    fields.FSetArtist("Artist");
    fields.FSetTrack(0);
    const std::string expected
        = picture + id3v2Frame("TIT2", text("New title")) + user + described + id3v2Frame("TPE1", text("Artist"));
    EXPECT_EQ(saveOver(folder, id3v2Tag(3, original), fields), id3v2Tag(3, expected))
        << "a changed frame stays in place, a new one goes last, a cleared one goes";

    // A 2.4 tag stays 2.4, with its year in TDRC, and loses its footer and
    // unsynchronisation on the way.
    const std::string frames4 = id3v2Frame("APIC", std::string("\0x\0\0\xFF\0\x01", 7), true, 0x0002)
        + id3v2Frame("TDRC", text("2004-05-06"), true);
    const std::string footer("3DI\x04\0\x10\0\0\0\x0F", 10);
    TID3v2 year4;
    year4.ReadFromBytes(id3v2Tag(4, frames4, 0x10), 1 << 20);
    EXPECT_EQ(year4.Year(), "2004");
    const std::string picture4 = id3v2Frame("APIC", std::string("\0x\0\0\xFF\x01", 6), true);
    EXPECT_EQ(saveOver(folder, id3v2Tag(4, frames4, 0x10) + footer, year4),
              id3v2Tag(4, picture4 + id3v2Frame("TDRC", text("2004-05-06"), true)));
    year4.FSetYear("1999");
    EXPECT_EQ(saveOver(folder, id3v2Tag(4, frames4), year4),
              id3v2Tag(4, picture4 + id3v2Frame("TDRC", text("1999"), true)));

    // Saved into a file other than the one read, the frames of that file are kept.
    EXPECT_EQ(saveOver(folder, id3v2Tag(3, user), year4), id3v2Tag(3, user + id3v2Frame("TYER", text("1999"))));
}

// A save writes 2.3 over any tag but a 2.4 one; a tag whose frames cannot all
// be carried over would be lost, so the save fails instead.
TEST(TID3v2, SaveRefusesTagsItCannotKeepWhole)
{
    TempFolder folder;
    const std::string path = folder / "song.mp3";
    const std::string title2 = id3v22Frame("TT2", text("Old"));
    struct Case {
        const char* name;
        std::string tag;
    };
    const Case cases[] = {
        {"2.2 frame that 2.3 lacks", id3v2Tag(2, title2 + id3v22Frame("CRM", std::string("owner\0x\0data", 12)))},
        {"2.2 link to such a frame", id3v2Tag(2, title2 + id3v22Frame("LNK", std::string("CRMhttp://a\0", 12)))},
        {"compressed 2.2", id3v2Tag(2, title2, 0x40)},
        {"version 5", id3v2Tag(5, id3v2Frame("TIT2", text("Old")))},
        {"version 1", id3v2Tag(1, id3v2Frame("TIT2", text("Old")))},
    };
    TID3v2 tag;
    tag.FSetTitle("New");
    for (const Case& test : cases) {
        const std::string original = test.tag + mpegAudio();
        writeFile(path, original);
        EXPECT_FALSE(tag.SaveToFile(path)) << test.name;
        EXPECT_TRUE(readFile(path) == original) << test.name;
        EXPECT_EQ(folder.list(), std::set<std::string>{"song.mp3"}) << test.name;
    }
}

TEST(TID3v2, RemoveAndUnusableTags)
{
    TempFolder folder;
    const std::string path = folder / "song.mp3";
    const std::string audio = mpegAudio();
    TID3v2 tag;

    writeFile(path, audio);
    EXPECT_FALSE(tag.RemoveFromFile(path)) << "no tag to remove";

    writeFile(path,
              id3v2Tag(4, id3v2Frame("TIT2", text("x"), true), 0x10) + std::string("3DI\x04\0\x10\0\0\0\x0C", 10)
                  + audio);
    EXPECT_TRUE(tag.RemoveFromFile(path));
    EXPECT_TRUE(readFile(path) == audio) << "the footer goes with the tag";
    // A footer flag with no footer behind the tag takes no audio with it.
    writeFile(path, id3v2Tag(4, id3v2Frame("TIT2", text("x"), true), 0x10) + audio);
    EXPECT_TRUE(tag.RemoveFromFile(path));
    EXPECT_TRUE(readFile(path) == audio);

    // The end of a tag whose size runs past the file is unknown: removing
    // cannot succeed, and saving puts the new tag in front of everything.
    const std::string broken = id3v2Tag(3, "TIT2", 0, 1 << 20) + audio;
    writeFile(path, broken);
    EXPECT_FALSE(tag.RemoveFromFile(path));
    EXPECT_TRUE(readFile(path) == broken);
    tag.FSetTitle("T");
    ASSERT_TRUE(tag.SaveToFile(path));
    EXPECT_TRUE(readFile(path) == id3v2Tag(3, id3v2Frame("TIT2", text("T"))) + broken);
}

TEST(TID3v2, RebuildKeepsTheFileSafe)
{
    TempFolder folder;
    const std::string path = folder / "song.mp3";
    const std::string original = id3v2Tag(3, id3v2Frame("TIT2", text("Old"))) + mpegAudio(20);
    TID3v2 tag;
    tag.FSetTitle("New");

    // A file of that name that is not ours is never replaced.
    writeFile(path, original);
    writeFile(path + "~", "someone's backup");
    ASSERT_EQ(chmod(path.c_str(), 0440), 0);
    ASSERT_TRUE(tag.SaveToFile(path));
    EXPECT_EQ(readFile(path + "~"), "someone's backup");
    EXPECT_EQ(folder.list(), (std::set<std::string>{"song.mp3", "song.mp3~"}));
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u) << "permission bits are kept, with the owner's write added";

    // Through a link, the file it points to is rebuilt and the link stays.
    ASSERT_EQ(symlink("song.mp3", (folder / "link.mp3").c_str()), 0);
    tag.FSetTitle("Linked");
    ASSERT_TRUE(tag.SaveToFile(folder / "link.mp3"));
    ASSERT_EQ(lstat((folder / "link.mp3").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    ASSERT_TRUE(tag.ReadFromFile(path));
    EXPECT_EQ(tag.Title(), "Linked");

    // A write that fails half-way (here: the file size limit) leaves the
    // original as it was and no temporary file behind.
    writeFile(path, original);
    ::unlink((folder / "song.mp3~").c_str());
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previousLimit{};
    getrlimit(RLIMIT_FSIZE, &previousLimit);
    rlimit limit = previousLimit;
    limit.rlim_cur = original.size() / 2;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    tag.FSetTitle("Too late");
    const bool saved = tag.SaveToFile(path);
    setrlimit(RLIMIT_FSIZE, &previousLimit);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(saved);
    EXPECT_TRUE(readFile(path) == original);
    EXPECT_EQ(folder.list(), (std::set<std::string>{"song.mp3", "link.mp3"}));
}

} // namespace
} // namespace quorbit
