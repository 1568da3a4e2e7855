#include "settings/inifile.h"

#include "tempfolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbit::settings {
namespace {

using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

TEST(IniFile, ReadsValuesAsHandWrittenFilesExpect)
{
    const IniFile file("top=before any section\n"
                       "[Options]\n"
                       "Plain=value\n"
                       "  Spaced  =  \t inner  blanks \t \n"
                       "Double=\" kept blanks \"\n"
                       "Single=' single '\n"
                       "Mismatched=\"left'\n"
                       "Lone=\"\n"
                       "Inner=a \"b\" c\n"
                       "Empty=\n"
                       "Blank=   \n"
                       "no equals sign here\n"
                       "; Comment=not a key\n"
                       "First=one\n"
                       "first=two\n"
                       "[Broken\n"
                       "AfterBroken=still in Options\n"
                       "[ other ]\n"
                       "Plain=other section\n");
    EXPECT_EQ(file.readString("Options", "Plain", "-"), "value");
    EXPECT_EQ(file.readString("OPTIONS", "pLAIN", "-"), "value");
    EXPECT_EQ(file.readString("Options", "Spaced", "-"), "inner  blanks");
    EXPECT_EQ(file.readString("Options", "Double", "-"), " kept blanks ");
    EXPECT_EQ(file.readString("Options", "Single", "-"), " single ");
    EXPECT_EQ(file.readString("Options", "Mismatched", "-"), "\"left'");
    EXPECT_EQ(file.readString("Options", "Lone", "-"), "\"");
    EXPECT_EQ(file.readString("Options", "Inner", "-"), "a \"b\" c");
    EXPECT_EQ(file.readString("Options", "Empty", "-"), "");
    EXPECT_EQ(file.readString("Options", "Blank", "-"), "");
    EXPECT_EQ(file.readString("Options", "First", "-"), "one");
    EXPECT_EQ(file.readString("Options", "AfterBroken", "-"), "still in Options");
    EXPECT_EQ(file.readString("Other", "plain", "-"), "other section");
    EXPECT_EQ(file.readString("Options", "Missing", "default"), "default");
    EXPECT_EQ(file.readString("Missing", "Plain", "default"), "default");
    EXPECT_EQ(file.readString("", "top", "default"), "default");
    EXPECT_EQ(file.readString("Options", "; Comment", "default"), "default");
    EXPECT_EQ(file.readString("Options", "no equals sign here", "default"), "default");
}

TEST(IniFile, ReadsIntegersInDecimalOrAfter0x)
{
    const IniFile file("[s]\nplain=42\nnegative=-7\nplus=+3\nhex=0x1F\nupper=0X10\nbare=0x\nsignedHex=-0x10\n"
                       "dollar=$10\ntrailing=12abc\nwords=one\nempty=\nhuge=4294967296\nquoted=\"5\"\n");
    const std::pair<const char*, int> cases[] = {
        {"plain", 42},  {"negative", -7}, {"plus", 3},   {"hex", 31},   {"upper", 16}, {"bare", 99},  {"signedHex", 99},
        {"dollar", 99}, {"trailing", 99}, {"words", 99}, {"empty", 99}, {"huge", 99},  {"quoted", 5}, {"missing", 99}};
    for (const auto& [key, expected] : cases) {
        EXPECT_EQ(file.readInteger("S", key, 99), expected) << key;
    }
}

TEST(IniFile, CutsLongValuesWithoutSplittingACharacter)
{
    const std::string ascii(3000, 'a');
    // Two-byte letters: the 2047th byte is the first half of one.
    std::string cyrillic;
    for (int i = 0; i < 1500; ++i) {
        cyrillic += "ж";
    }
    const IniFile file("[s]\nascii=" + ascii + "\ncyrillic=" + cyrillic + "\n");
    EXPECT_EQ(file.readString("s", "ascii", ""), ascii.substr(0, kMaxValueBytes));
    EXPECT_EQ(file.readString("s", "cyrillic", ""), cyrillic.substr(0, 2046));
}

TEST(IniFile, WritesChangeOnlyTheirOwnLines)
{
    const std::string original = "\xEF\xBB\xBF; written by hand\r\n"
                                 "[Options]\r\n"
                                 "Apply To = 1   \r\n"
                                 "Unknown=kept\r\n"
                                 "apply to=second, never used\r\n"
                                 "; trailing comment\r\n"
                                 "\r\n"
                                 "[Other]\r\n"
                                 "Apply To=other section\r\n";
    IniFile file(original);
    file.writeInteger("options", "APPLY TO", 2);
    file.writeString("Options", "Language", "Russian");
    file.writeString("New", "Key", "value");
    EXPECT_EQ(file.bytes(),
              "\xEF\xBB\xBF; written by hand\r\n"
              "[Options]\r\n"
              "Apply To = 2   \r\n"
              "Unknown=kept\r\n"
              "apply to=second, never used\r\n"
              "Language=Russian\r\n"
              "; trailing comment\r\n"
              "\r\n"
              "[Other]\r\n"
              "Apply To=other section\r\n"
              "\r\n"
              "[New]\r\n"
              "Key=value\r\n");
}

TEST(IniFile, AddsLinesToFilesWithoutFinalLineEndOrWithCarriageReturnsOnly)
{
    IniFile unterminated("[Options]\nA=1");
    unterminated.writeString("Options", "B", "2");
    EXPECT_EQ(unterminated.bytes(), "[Options]\nA=1\nB=2\n");

    IniFile carriageReturns("[Options]\rA=1\r[Other]\rA=x\r");
    EXPECT_EQ(carriageReturns.readString("Other", "A", ""), "x");
    carriageReturns.writeString("Options", "B", "2");
    EXPECT_EQ(carriageReturns.bytes(), "[Options]\rA=1\rB=2\r[Other]\rA=x\r");

    IniFile headerOnly("[Options]");
    headerOnly.writeString("Options", "A", "1");
    EXPECT_EQ(headerOnly.bytes(), "[Options]\nA=1\n");
}

TEST(IniFile, EveryWrittenValueReadsBackAsItself)
{
    TempFolder folder;
    const std::string path = folder / "values.ini";
    const std::string values[]
        = {"plain",    "",      " leading",       "trailing\t", "\"quoted\"", "'single'", "\"", "/home/user/My Music/",
           "%Альбом%", "a=b=c", "[not a section]"};
    IniFile file;
    for (std::size_t i = 0; i < std::size(values); ++i) {
        file.writeString("Options", "Key" + std::to_string(i), values[i]);
    }
    ASSERT_FALSE(file.save(path));
    const IniFile reread = IniFile::load(path);
    for (std::size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(reread.readString("Options", "Key" + std::to_string(i), "-"), values[i]);
    }

    // A line break cannot be part of a line; the value must not turn into lines of its own.
    file.writeString("Options", "Key0", "first\nInjected=1\r[Evil]");
    EXPECT_EQ(file.readString("Options", "Key0", "-"), "");
    EXPECT_EQ(file.readString("Options", "Injected", "-"), "-");
    EXPECT_EQ(file.readString("Evil", "Key0", "-"), "-");
}

TEST(IniFile, SaveCreatesTheFileAndReplacesItWhole)
{
    TempFolder folder;
    const std::string path = folder / "new.ini";
    IniFile file = IniFile::load(path);
    file.writeString("Options", "Language", "English");
    ASSERT_FALSE(file.save(path));
    EXPECT_EQ(readFile(path), "[Options]\nLanguage=English\n");
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);

    chmod(path.c_str(), 0640);
    file.writeString("Options", "Language", "Russian");
    ASSERT_FALSE(file.save(path));
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    EXPECT_EQ(folder.list(), (std::set<std::string>{"new.ini"}));
}

TEST(IniFile, FailedSaveNamesTheFileAndLeavesItAsItWas)
{
    TempFolder folder;
    folder.create({"not a folder"});
    const std::string underFile = folder / "not a folder/quorbit.ini";
    IniFile file;
    file.writeString("Options", "Language", "English");
    EXPECT_EQ(file.save(underFile), "Unable to write to " + underFile);

    // Running out of room half-way: the old file stays whole and no temporary file is left.
    const std::string path = folder / "quorbit.ini";
    writeFile(path, "[Options]\nLanguage=English\n");
    file.writeString("Options", "Last Folder", std::string(100000, 'x'));
    signal(SIGXFSZ, SIG_IGN);
    rlimit previousLimit{};
    getrlimit(RLIMIT_FSIZE, &previousLimit);
    rlimit limit = previousLimit;
    limit.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const std::optional<std::string> message = file.save(path);
    setrlimit(RLIMIT_FSIZE, &previousLimit);
    EXPECT_EQ(message, "Unable to write to " + path);
    EXPECT_EQ(readFile(path), "[Options]\nLanguage=English\n");
    EXPECT_EQ(folder.list(), (std::set<std::string>{"not a folder", "quorbit.ini"}));

    if (geteuid() != 0) { // permissions do not bind the superuser
        chmod(path.c_str(), 0444);
        EXPECT_EQ(file.save(path), "Unable to write to " + path);
        chmod(path.c_str(), 0644);
        chmod(folder.path().c_str(), 0555);
        EXPECT_EQ(file.save(path), "Unable to write to " + path);
        chmod(folder.path().c_str(), 0755);
        EXPECT_EQ(readFile(path), "[Options]\nLanguage=English\n");
    }
}

TEST(IniFile, ReadsWindows1251FilesAndSavesThemAsUtf8)
{
    // "[Interface]", then the Russian artist and album words and a caption in windows-1251.
    IniFile file("[Interface]\r\nStringArtist=%\xC0\xF0\xF2\xE8\xF1\xF2%\r\n"
                 "StringAlbum=%\xC0\xEB\xFC\xE1\xEE\xEC%\r\nMFile->Caption=\"\xD4\xE0\xE9\xEB \"\r\n");
    EXPECT_EQ(file.readString("Interface", "StringArtist", ""), "%Артист%");
    EXPECT_EQ(file.readString("Interface", "StringAlbum", ""), "%Альбом%");
    EXPECT_EQ(file.readString("Interface", "MFile->Caption", ""), "Файл ");
    file.writeString("Interface", "StringYear", "%Год%");
    EXPECT_EQ(file.bytes(),
              "[Interface]\r\nStringArtist=%Артист%\r\nStringAlbum=%Альбом%\r\n"
              "MFile->Caption=\"Файл \"\r\nStringYear=%Год%\r\n");
}

TEST(IniFile, ReadsWindows1251OnlyWhenNoByteFormsUtf8)
{
    struct Case {
        const char* what;
        std::string bytes;
        std::string value; // of the key "k"
        bool kept; // the bytes are saved back as they came
    };
    const Case cases[] = {
        {"windows-1251 only", "[s]\nk=%\xC0\xF0\xF2\xE8\xF1\xF2%\n", "%Артист%", false},
        {"a lead byte cut short", "[s]\nk=\xD0\n", "Р", false},
        {"stray bytes beside UTF-8", "[s]\nk=/music/\xC0\xEB\xFC\xE1\xEE\xEC\nt=%Артист%\n",
         "/music/\xC0\xEB\xFC\xE1\xEE\xEC", true},
        {"stray bytes after a byte-order mark", "\xEF\xBB\xBF[s]\nk=\xC0\xEB\xFC\n", "\xC0\xEB\xFC", true},
    };
    for (const Case& c : cases) {
        const IniFile file(c.bytes);
        EXPECT_EQ(file.readString("s", "k", "-"), c.value) << c.what;
        EXPECT_EQ(file.bytes() == c.bytes, c.kept) << c.what;
    }
}

TEST(IniFile, StrayBytesWrittenIntoAsciiReadBack)
{
    // Saved bare, the value's bytes would read back as windows-1251 letters.
    IniFile file("[s]\nk=v\n");
    file.writeString("s", "k", "/music/\xC0\xEB\xFC");
    EXPECT_EQ(IniFile(file.bytes()).readString("s", "k", "-"), "/music/\xC0\xEB\xFC");
}

TEST(IniFile, FilesOver16MiBAreUnreadable)
{
    TempFolder folder;
    const std::string path = folder / "big.ini";
    const std::pair<std::size_t, files::ReadStatus> cases[]
        = {{kMaxFileBytes, files::ReadStatus::Read}, {kMaxFileBytes + 1, files::ReadStatus::Unreadable}};
    for (const auto& [size, status] : cases) {
        writeFile(path, "[s]\nk=v\n");
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
        const LoadedIniFile loaded = loadIniFile(path);
        EXPECT_EQ(loaded.status, status) << size;
        EXPECT_EQ(loaded.file.readString("s", "k", "-"), status == files::ReadStatus::Read ? "v" : "-") << size;
    }
}

TEST(IniFile, SurvivesJunk)
{
    std::mt19937 random(7);
    std::string junk(1 << 20, '\0');
    for (char& byte : junk) {
        byte = static_cast<char>(random());
    }
    const std::string hugeLine = "[Options]\nKey=" + std::string(10 << 20, 'v') + "\nAfter=1\n";
    const std::string hugeKey = "[Options]\n" + std::string(10 << 20, 'k') + "=v\nAfter=1\n";
    const std::string hugeSection = "[" + std::string(10 << 20, 's') + "\nAfter=1\n";
    for (const std::string& bytes :
         {junk, hugeLine, hugeKey, hugeSection, std::string("[[[]]]==\n=\n[\n]\n\0\0=\0", 17)}) {
        IniFile file(bytes);
        file.readString("Options", "After", "");
        file.readInteger("Options", "Key", 0);
        file.writeString("Options", "After", "2");
        EXPECT_EQ(file.readInteger("Options", "After", 0), 2);
    }
    EXPECT_EQ(IniFile(hugeLine).readString("Options", "Key", "").size(), kMaxValueBytes);
    EXPECT_EQ(IniFile(hugeLine).readInteger("Options", "After", 0), 1);
}

} // namespace
} // namespace quorbit::settings
