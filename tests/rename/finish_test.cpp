#include "rename/journal.h"
#include "rename/journalreplay.h"
#include "rename/runrecord.h"

#include "platform/localetext.h"
#include "tags/id3v1.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

namespace quorbit {
namespace {

using testing::TempFolder;

RunRecord oddRecord()
{
    RunRecord record;
    record.settings.option = RenameOption::RandomSymbols;
    record.settings.applyTo = ApplyTo::Both;
    record.settings.renamePart = RenamePart::Extensions;
    record.settings.subfolders = true;
    record.settings.mask = "*.txt\n*.md";
    record.settings.symbolsText = std::string("12:\n\0x\xff", 7);
    record.settings.numberText = "-3";
    record.settings.random.next();
    record.fromTags = TitleTemplate{"%Artist%\r\n%Title%", {"%Artist%", "", "4:x\n"}, {"a", "b", "", "d", "e\n"}};
    return record;
}

TEST(RunRecord, EveryFieldComesBackWhole)
{
    RunRecord photos = oddRecord();
    photos.settings.photoTemplate = "%Date%\n%Camera%";
    for (const RunRecord& record : {RunRecord(), oddRecord(), photos}) {
        const std::string bytes = encodeRunRecord(record);
        const std::optional<RunRecord> decoded = decodeRunRecord(bytes);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(encodeRunRecord(*decoded), bytes);
    }
}

// The settings come from a file on the disk: whatever it holds, nothing but an
// encoder's whole record is read, and nothing is sized by a count it holds.
TEST(RunRecord, BytesNotMadeByTheEncoderAreRefused)
{
    const std::string whole = encodeRunRecord(oddRecord());
    for (std::size_t length = 0; length < whole.size(); ++length) {
        EXPECT_FALSE(decodeRunRecord(whole.substr(0, length))) << length;
    }
    // The default settings field by field, to spoil one field at a time.
    const std::vector<std::string> valid = {"0", "0", "0", "0", "*.*", "", "", "1", "22695478", "0"};
    const auto encoded = [&valid](std::size_t field, const std::string& text) {
        std::string bytes = "quorbit run 1\n";
        for (std::size_t i = 0; i < valid.size(); ++i) {
            const std::string& value = i == field ? text : valid[i];
            bytes += std::to_string(value.size()) + ":" + value + "\n";
        }
        return bytes;
    };
    ASSERT_TRUE(decodeRunRecord(encoded(valid.size(), "")));
    EXPECT_EQ(decodeRunRecord(encoded(0, "16"))->settings.option, RenameOption::RegexReplace);
    std::vector<std::string> refused = {
        whole + "\n",
        "quorbit run 1\n99999999999999999999999:0\n",
        "quorbit run 1\n-1:0\n",
        "quorbit run 2\n1:0\n",
        encoded(9, "1") + "8:%Artist%\n20:18446744073709551615\n1:x\n", // far more template fields than bytes
    };
    const std::pair<std::size_t, std::string> spoiled[]
        = {{0, "17"}, {0, "+0"}, {1, "3"}, {2, "3"}, {3, "2"}, {8, ""}, {8, "4294967296"}, {9, "2"}};
    for (const auto& [field, text] : spoiled) {
        refused.push_back(encoded(field, text));
    }
    for (const std::string& bytes : refused) {
        EXPECT_FALSE(decodeRunRecord(bytes)) << bytes;
    }
}

void writeTagged(const std::string& path, const char* artist, const char* title)
{
    TID3v1 tag;
    tag.FSetArtist(artist);
    tag.FSetTitle(title);
    const TID3v1::Trailer trailer = tag.BuildTrailer();
    testing::writeFile(path, "audio" + std::string(trailer.data(), trailer.size()));
}

// Stops the run after its first move, as a crash would have ended it.
class StopAfterOneMove : public RunProgress {
public:
    void setProgressPosition(int) override { m_moved = true; }
    bool stopRequested() override { return m_moved; }

private:
    bool m_moved = false;
};

// The finish names the files of the folders the run had not reached from
// their tags, by the template the run recorded, and the others by the operation.
TEST(Finish, GoesOnNamingFilesFromTheRecordedTemplate)
{
    text::setLocale("en_US");
    const TempFolder folder;
    const TempFolder journals;
    folder.create({"a/", "b/", "cover.jpg"});
    writeTagged(folder / "a/1.mp3", "Ann", "One");
    writeTagged(folder / "b/2.mp3", "Bob", "Two");
    writeTagged(folder / "3.mp3", "Cid", "Three");
    RunSettings settings;
    settings.folder = folder.path();
    settings.symbolsText = "x_";
    settings.subfolders = true;
    settings.journalFolder = journals.path();
    StopAfterOneMove stop;
    const TitleTemplate fromTags{
        "%Artist% - %Title%", {"%Artist%", "%Title%"}, {"%Artist%", "%Title%", "%Album%", "%Year%", "%Track%"}};
    RenameRun().run(settings, stop, fromTags);
    ASSERT_EQ(folder.list("b"), (std::set<std::string>{"2.mp3"}));

    RunProgress progress;
    const std::string journal = journalFiles(journals.path()).back();
    const ReplayResult finished = finishJournal(*readJournal(journal).journal, HeldJournal(journal), progress);
    EXPECT_EQ(finished.moved, 3u);
    EXPECT_EQ(folder.list(), (std::set<std::string>{"a", "b", "Cid - Three.mp3", "x_cover.jpg"}));
    EXPECT_EQ(folder.list("a"), (std::set<std::string>{"Ann - One.mp3"}));
    EXPECT_EQ(folder.list("b"), (std::set<std::string>{"Bob - Two.mp3"}));
}

} // namespace
} // namespace quorbit
