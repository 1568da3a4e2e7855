#include "tags/id3v1.h"

#include "platform/localetext.h"
#include "tags/mp3sample.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quorbit {
namespace {

using testing::mpegAudio;
using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

// A trailer from its fields as raw bytes; `comment` may hold the ID3v1.1 track bytes.
std::string trailer(std::string_view title, std::string_view comment = {}, unsigned char genre = 255,
                    std::string_view magic = "TAG")
{
    std::string bytes(128, '\0');
    bytes.replace(0, 3, magic);
    bytes.replace(3, title.size(), title);
    bytes.replace(97, comment.size(), comment);
    bytes[127] = static_cast<char>(genre);
    return bytes;
}

TEST(TID3v1, VersionRuleDecidesBetweenCommentAndTrack)
{
    struct Case {
        std::string comment;
        int version;
        int track;
        std::string expectedComment;
    };
    const std::string text28(28, 'c');
    const Case cases[] = {
        {text28 + std::string("\0\x07", 2), 2, 7, text28},
        {text28 + std::string("\0\0", 2), 1, 0, text28},
        {text28 + " x", 2, 'x', text28},
        {text28 + "  ", 1, 0, text28},
        {text28 + "xy", 1, 0, text28 + "xy"},
    };
    for (const Case& test : cases) {
        TID3v1 tag;
        std::array<char, 128> bytes;
        const std::string raw = trailer("Title", test.comment, 17);
        std::copy(raw.begin(), raw.end(), bytes.begin());
        tag.ReadFromTrailer(bytes);
        EXPECT_TRUE(tag.Exists());
        EXPECT_EQ(tag.Version(), test.version) << test.comment;
        EXPECT_EQ(tag.Track(), test.track) << test.comment;
        EXPECT_EQ(tag.Comment(), test.expectedComment);
        EXPECT_EQ(tag.Title(), "Title");
        EXPECT_EQ(tag.Genre(), "Rock");
    }
}

TEST(TID3v1, ShortAndTinyFiles)
{
    TempFolder folder;
    const std::string shortFile = folder / "short.mp3";
    writeFile(shortFile, std::string(127, 'x'));
    TID3v1 tag;
    tag.FSetTitle("New");
    EXPECT_FALSE(tag.ReadFromFile(shortFile));
    EXPECT_EQ(tag.Title(), "") << "a failed read leaves the reset state";
    tag.FSetTitle("New");
    EXPECT_FALSE(tag.SaveToFile(shortFile));
    EXPECT_FALSE(tag.RemoveFromFile(shortFile));
    EXPECT_EQ(readFile(shortFile), std::string(127, 'x'));
    EXPECT_FALSE(tag.ReadFromFile(folder / "missing.mp3"));
    EXPECT_FALSE(tag.SaveToFile(folder.path())) << "a folder is not a tag file";

    const std::string onlyTrailer = folder / "trailer.mp3";
    writeFile(onlyTrailer, trailer("Alone"));
    EXPECT_TRUE(tag.ReadFromFile(onlyTrailer));
    EXPECT_TRUE(tag.Exists());
    EXPECT_EQ(tag.Title(), "Alone");
    EXPECT_TRUE(tag.RemoveFromFile(onlyTrailer));
    EXPECT_EQ(readFile(onlyTrailer), "");

    const std::string lowerCase = folder / "lower.mp3";
    writeFile(lowerCase, trailer("Title", {}, 255, "tag"));
    EXPECT_TRUE(tag.ReadFromFile(lowerCase));
    EXPECT_FALSE(tag.Exists());
    EXPECT_TRUE(tag.RemoveFromFile(lowerCase));
    EXPECT_EQ(readFile(lowerCase).size(), 128u) << "no trailer, nothing cut";
}

TEST(TID3v1, GenreNames)
{
    TID3v1 tag;
    EXPECT_EQ(tag.GenreID(), 255);
    EXPECT_EQ(tag.Genre(), "");
    const std::pair<int, std::string_view> names[] = {
        {0, "Blues"},
        {1, "Classic Rock"},
        {40, "AlternRock"},
        {67, "Psychadelic"},
        {79, "Hard Rock"},
        {85, "Bebob"},
        {92, "Progessive Rock"},
        {123, "A capella"},
        {144, "Trash Metal"},
        {145, "Anime"},
        {147, "Synthpop"},
        {148, ""},
        {255, ""},
    };
    for (const auto& [id, name] : names) {
        tag.FSetGenreID(static_cast<std::uint8_t>(id));
        EXPECT_EQ(tag.Genre(), name) << id;
    }
}

TEST(TID3v1, SaveWritesTheTrailerInPlace)
{
    TempFolder folder;
    const std::string path = folder / "song.mp3";
    const std::string audio = mpegAudio();
    writeFile(path, audio);

    TID3v1 tag;
    tag.FSetTitle("abcd" + std::string(26, ' '));
    tag.FSetComment(std::string(30, 'k'));
    ASSERT_TRUE(tag.SaveToFile(path));
    std::string content = readFile(path);
    ASSERT_EQ(content.size(), audio.size() + 128);
    EXPECT_EQ(content.substr(0, audio.size()), audio);
    EXPECT_EQ(content.substr(audio.size() + 3, 30), "abcd" + std::string(26, '\0')) << "padded with zeros, not blanks";
    EXPECT_EQ(content.substr(audio.size() + 97, 30), std::string(30, 'k')) << "no track: a 30-character comment";

    tag.FSetTrack(12);
    ASSERT_TRUE(tag.SaveToFile(path));
    content = readFile(path);
    ASSERT_EQ(content.size(), audio.size() + 128) << "the old trailer is replaced, not followed by a second";
    EXPECT_EQ(content.substr(audio.size() + 97, 30), std::string(28, 'k') + std::string("\0\x0C", 2));

    TID3v1 reread;
    ASSERT_TRUE(reread.ReadFromFile(path));
    EXPECT_EQ(reread.Version(), 2);
    EXPECT_EQ(reread.Track(), 12);
    EXPECT_EQ(reread.Title(), "abcd");
    EXPECT_EQ(reread.GenreID(), 255);

    ASSERT_TRUE(reread.RemoveFromFile(path));
    EXPECT_EQ(readFile(path), audio);
}

TEST(TID3v1, SaveMakesAReadOnlyFileWritable)
{
    TempFolder folder;
    const std::string path = folder / "locked.mp3";
    writeFile(path, mpegAudio() + trailer("Old"));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    TID3v1 tag;
    tag.FSetTitle("New");
    ASSERT_TRUE(tag.SaveToFile(path));
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
    ASSERT_TRUE(tag.ReadFromFile(path));
    EXPECT_EQ(tag.Title(), "New");
}

class TID3v1CodePage : public ::testing::Test {
protected:
    void TearDown() override { text::setLocale("en_US"); }
};

TEST_F(TID3v1CodePage, TextIsStoredInTheLocaleCodePage)
{
    TempFolder folder;
    const std::string path = folder / "song.mp3";
    // "Кино" and "Группа крови" in windows-1251, as Russian Windows programs write them.
    writeFile(path, mpegAudio() + trailer("\xCA\xE8\xED\xEE", "\xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8"));
    text::setLocale("ru_RU");
    TID3v1 tag;
    ASSERT_TRUE(tag.ReadFromFile(path));
    EXPECT_EQ(tag.Title(), "Кино");
    EXPECT_EQ(tag.Comment(), "Группа крови");

    // Thirty Cyrillic letters fit, as one byte each; the cut never splits a letter.
    const std::string letters = "абвгдеёжзийклмнопрстуфхцчшщъыэюя";
    tag.FSetTitle(letters);
    EXPECT_EQ(tag.Title(), letters.substr(0, letters.size() - 4));
    tag.FSetYear("1988год");
    EXPECT_EQ(tag.Year(), "1988");
    ASSERT_TRUE(tag.SaveToFile(path));
    const std::string content = readFile(path);
    EXPECT_EQ(content.substr(content.size() - 125, 4), "\xE0\xE1\xE2\xE3");

    text::setLocale("en_US");
    TID3v1 western;
    western.FSetTitle("Café Кино");
    const TID3v1::Trailer bytes = western.BuildTrailer();
    EXPECT_EQ(std::string(bytes.data() + 3, 10), std::string("Caf\xE9 ????\0", 10))
        << "windows-1252: letters it cannot hold become question marks";
}

} // namespace
} // namespace quorbit
