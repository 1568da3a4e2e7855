// Names from tags, for files tagged by mutagen and eyeD3 rather than by the
// program itself.

#include "platform/localetext.h"
#include "rename/tagname.h"
#include "tags/mp3sample.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace quorbit {
namespace {

using testing::TempFolder;
using Names = std::set<std::string>;
using Placeholders = std::array<std::string, 5>;

const Placeholders english = {"%Artist%", "%Title%", "%Album%", "%Year%", "%Track%"};
const Placeholders russian = {"%Артист%", "%Название%", "%Альбом%", "%Год%", "%Трэк%"};

// Runs a tool with each argument quoted, so that no tag text is read as shell syntax.
int runTool(const std::vector<std::string>& args)
{
    const int status = std::system((testing::shellCommand(args) + ">/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The system Python, whose packages mutagen and eyeD3 are.
const std::string python = "/usr/bin/python3";

// Saves "ID=text" frames as a fresh tag, in UTF-16 for 2.3 and UTF-8 for
// 2.4; v1=2 adds the ID3v1 trailer mutagen derives from them.
const char* const mutagenWrite = R"(
import sys, mutagen.id3 as m
version, v1, *frames, path = sys.argv[1:]
tag = m.ID3()
for frame in frames:
    name, text = frame.split('=', 1)
    tag.add(getattr(m, name)(encoding=1 if version == '3' else 3, text=[text]))
tag.save(path, v2_version=int(version), v1=int(v1))
)";

std::vector<std::string> mutagen(int version, bool withV1, std::vector<std::string> frames)
{
    frames.insert(frames.begin(), {python, "-c", mutagenWrite, std::to_string(version), withV1 ? "2" : "0"});
    return frames;
}

class TagRenamePeers : public ::testing::Test {
protected:
    void SetUp() override
    {
        // ID3v1 text is read in the locale's code page.
        text::setLocale("en_US");
    }

    // Writes a file of silent audio, has each tool tag it in turn and keeps its bytes.
    void addFile(const std::string& name, const std::vector<std::vector<std::string>>& writers)
    {
        testing::writeFile(source / name, testing::mpegAudio(3) + name);
        for (std::vector<std::string> args : writers) {
            args.push_back(source / name);
            ASSERT_EQ(runTool(args), 0) << args[0];
        }
        originals[name] = testing::readFile(source / name);
    }

    void copyOriginals(const TempFolder& folder) const
    {
        for (const auto& [name, bytes] : originals) {
            testing::writeFile(folder / name, bytes);
        }
    }

    static void rename(const TempFolder& folder, const TitleTemplate& titleTemplate)
    {
        RunSettings settings;
        settings.folder = folder.path();
        settings.option = RenameOption::AddToLeft; // with no symbols: a file the tags name nothing keeps its name
        RunProgress progress;
        RenameRun().run(settings, progress, tagNameSource(titleTemplate));
    }

    TempFolder source;
    std::map<std::string, std::string> originals;
};

TEST_F(TagRenamePeers, NamesEveryFileFromItsPeerWrittenTags)
{
    // In name order a file with one tag follows one with both, so a tag left over from the file before shows.
    addFile("01.mp3",
            {mutagen(3, true,
                     {"TPE1=Ærøskøbing Band", "TIT2=Sång om en lång, lång väg till Köpenhamn",
                      "TALB=Звезда по имени Солнце", "TYER=1988", "TRCK=5/12"})});
    addFile("02 v2 only.mp3", {mutagen(4, false, {"TPE1=Nobody", "TIT2=Unheard", "TALB=Hidden", "TRCK=2"})});
    addFile("03.mp3",
            {mutagen(4, true, {"TPE1=AC/DC", "TIT2=Thunderstruck", "TALB=The Razors Edge", "TDRC=1990", "TRCK=1"})});
    // eyeD3 writes ID3v2.4 and ID3v1.1 in separate runs.
    addFile("04.mp3",
            {{"eyeD3", "-a", "Who", "-t", "Why?", "-A", "Questions", "--recording-date", "2001", "-n", "7"},
             {"eyeD3", "--v1", "-a", "Who", "-t", "Why?"}});
    addFile("x.MP3", {{"eyeD3", "--v1", "-a", "Solo", "-t", "Alone", "-A", "Single", "-Y", "1977", "-n", "4"}});

    const std::string song = "Ærøskøbing Band - Sång om en lång, lång väg till Köpenhamn";
    struct Case {
        std::string text;
        const Placeholders& placeholders;
        std::map<std::string, std::string> renamed; // the others keep their names
    };
    const std::vector<Case> cases = {
        {"%Artist% - %Title%",
         english,
         {{"01.mp3", song + ".mp3"},
          {"02 v2 only.mp3", "Nobody - Unheard.mp3"},
          {"04.mp3", "Who - Why?.mp3"},
          {"x.MP3", "Solo - Alone.mp3"}}},
        {"%Track%. %Title%",
         english,
         {{"01.mp3", "5. Sång om en lång, lång väg till Köpenhamn.mp3"},
          {"02 v2 only.mp3", "2. Unheard.mp3"},
          {"03.mp3", "1. Thunderstruck.mp3"},
          {"04.mp3", "7. Why?.mp3"},
          {"x.MP3", "0. Alone.mp3"}}},
        {BuildTitleTemplate({"%Artist%", "%Album%", "%Year%"}, "+"),
         english,
         {{"01.mp3", "Ærøskøbing Band + Звезда по имени Солнце + 1988.mp3"},
          {"02 v2 only.mp3", "Nobody + Hidden + .mp3"},
          {"04.mp3", "Who + Questions + 2001.mp3"},
          {"x.MP3", "Solo + Single + 1977.mp3"}}},
        {"%Трэк%. %Артист% - %Название% (%Альбом%, %Год%)",
         russian,
         {{"01.mp3", "5. " + song + " (Звезда по имени Солнце, 1988).mp3"},
          {"02 v2 only.mp3", "2. Nobody - Unheard (Hidden, ).mp3"},
          {"04.mp3", "7. Who - Why? (Questions, 2001).mp3"},
          {"x.MP3", "0. Solo - Alone (Single, 1977).mp3"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        // An empty folder "AC" stands ready for a rename that would take the "/" of "AC/DC" as a path.
        TempFolder folder;
        copyOriginals(folder);
        folder.create({"AC/"});
        rename(folder, {c.text, {c.placeholders.begin(), c.placeholders.end()}, c.placeholders});
        Names want = {"AC"};
        for (const auto& [name, bytes] : originals) {
            const std::string newName = c.renamed.contains(name) ? c.renamed.at(name) : name;
            want.insert(newName);
            EXPECT_EQ(testing::readFile(folder / newName), bytes) << newName;
        }
        EXPECT_EQ(folder.list(), want);
        EXPECT_TRUE(folder.list("AC").empty()) << "a '/' in a tag must never lead into a folder";
    }
}

TEST_F(TagRenamePeers, FilesOfOneAlbumNeverOverwriteEachOther)
{
    for (const std::string name : {"A", "B", "C"}) {
        addFile(name + ".mp3", {mutagen(3, true, {"TPE1=Band", "TIT2=Song " + name, "TALB=Greatest Hits"})});
    }
    const auto contents = [](const TempFolder& folder) {
        std::multiset<std::string> all;
        for (const std::string& name : folder.list()) {
            all.insert(testing::readFile(folder / name));
        }
        return all;
    };
    TempFolder folder;
    copyOriginals(folder);
    // Run twice: the second time the first file already has its name and the others still collide with it.
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        rename(folder, {"%Album%", {english.begin(), english.end()}, english});
        EXPECT_EQ(folder.list(), (Names{"Greatest Hits.mp3", "B.mp3", "C.mp3"}));
        EXPECT_EQ(testing::readFile(folder / "Greatest Hits.mp3"), originals["A.mp3"]);
        EXPECT_EQ(contents(folder), contents(source));
    }
}

} // namespace
} // namespace quorbit
