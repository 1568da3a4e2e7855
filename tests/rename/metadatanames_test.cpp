// Runs that name audio files from their tags and photos from their dates, on
// real files that ffmpeg makes and mutagen and the exiv2 command tag.

#include "rename/renamerun.h"
#include "rename/tagname.h"
#include "tags/mediasamples.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace quorbit {
namespace {

using Names = std::set<std::string>;

RunSettings addToLeft(const std::string& folder, std::string symbols)
{
    RunSettings settings;
    settings.folder = folder;
    settings.option = RenameOption::AddToLeft;
    settings.symbolsText = std::move(symbols);
    return settings;
}

TEST(MetadataNames, AudioFilesOfEveryFormatAreNamedFromTheirTags)
{
    if (const std::string missing = testing::missingAudioTools(); !missing.empty()) {
        GTEST_SKIP() << missing;
    }
    testing::TempFolder folder;
    const struct {
        const char* name;
        const char* codec;
        std::vector<std::pair<std::string, std::string>> fields;
    } files[] = {
        {"a.flac", "flac", {{"artist", "Кино"}, {"title", "Группа крови"}}},
        {"b.OGG", "libvorbis", {{"artist", "Lena"}, {"title", "Waves"}}},
        {"c.opus", "libopus", {{"artist", "Lena"}, {"title", "Dunes"}}},
        {"d.m4a", "aac", {{"artist", "Lena"}, {"title", "Tide"}}},
        {"e.wma", "wmav2", {{"artist", "Lena"}, {"title", "Shore"}}},
        {"f.wav", "pcm_s16le", {{"artist", "Lena"}, {"title", "Sand"}}},
        {"g.aiff", "pcm_s16be", {{"artist", "Lena"}, {"title", "Reef"}}},
        {"h.flac", "flac", {{"artist", "AC/DC"}, {"title", "T.N.T"}}}, // no file can have the name
        {"i.flac", "flac", {{"artist", "Lena"}}}, // no title: the operation names it
    };
    std::vector<testing::AudioTagging> tagging;
    for (const auto& file : files) {
        ASSERT_TRUE(testing::makeSilence(folder / file.name, file.codec)) << file.name;
        tagging.push_back({folder / file.name, file.fields});
    }
    ASSERT_TRUE(testing::tagAudio(tagging));
    RenameRun run;
    RunProgress progress;
    const TitleTemplate titleTemplate{
        "%Artist% - %Title%", {"%Artist%", "%Title%"}, {"%Artist%", "%Title%", "%Album%", "%Year%", "%Track%"}};
    const RunResult result = run.run(addToLeft(folder.path(), "x"), progress, titleTemplate);
    EXPECT_EQ(folder.list(),
              (Names{"Кино - Группа крови.flac", "Lena - Waves.ogg", "Lena - Dunes.opus", "Lena - Tide.m4a",
                     "Lena - Shore.wma", "Lena - Sand.wav", "Lena - Reef.aiff", "h.flac", "xi.flac"}));
    ASSERT_EQ(result.notRenamed.size(), 1u);
    EXPECT_EQ(result.notRenamed[0].reason, Verdict::Unsafe);
}

TEST(MetadataNames, PhotosTakeTheirDateAndABurstTakesFreeNamesInNameOrder)
{
    if (const std::string missing = testing::missingPhotoTools(); !missing.empty()) {
        GTEST_SKIP() << missing;
    }
    testing::TempFolder folder;
    const std::string burst = "set Exif.Photo.DateTimeOriginal 2026:07:14 09:31:22";
    for (const char* name : {"IMG_1.jpg", "IMG_2.jpg", "IMG_3.JPG"}) {
        ASSERT_TRUE(testing::makePhoto(folder / name, {burst}));
    }
    ASSERT_TRUE(testing::makePhoto(folder / "IMG_4.jpg",
                                   {"set Exif.Image.Make Canon", "set Exif.Image.Model Canon EOS 5D",
                                    "set Exif.Image.DateTime 2026:07:15 10:00:00"}));
    ASSERT_TRUE(testing::makePhoto(folder / "scan.jpg", {})); // no date: the operation names it
    // A name the folder already has is passed over, as one an earlier photo wants.
    ASSERT_TRUE(testing::makePhoto(folder / "2026-07-14 09.31.22-2.jpg", {burst}));
    folder.create({"notes.txt"});
    RunSettings settings = addToLeft(folder.path(), "x");
    settings.mask = "IMG*;scan*";
    settings.photoTemplate = "%Date% %Time%";

    const std::optional<RunPreview> preview = RenameRun::preview(settings, {});
    ASSERT_TRUE(preview);
    std::vector<std::string> shown;
    for (const PlannedEntry& entry : preview->shown.entries()) {
        shown.push_back(std::string(entry.name) + " > " + std::string(entry.newName)
                        + (entry.photoWithoutDate ? " (no date)" : ""));
    }
    EXPECT_EQ(shown,
              (std::vector<std::string>{
                  "IMG_1.jpg > 2026-07-14 09.31.22.jpg",
                  "IMG_2.jpg > 2026-07-14 09.31.22-3.jpg",
                  "IMG_3.JPG > 2026-07-14 09.31.22-4.jpg",
                  "IMG_4.jpg > 2026-07-15 10.00.00.jpg",
                  "scan.jpg > xscan.jpg (no date)",
              }));
    RenameRun run;
    RunProgress progress;
    run.run(settings, progress);
    EXPECT_EQ(folder.list(),
              (Names{"2026-07-14 09.31.22.jpg", "2026-07-14 09.31.22-2.jpg", "2026-07-14 09.31.22-3.jpg",
                     "2026-07-14 09.31.22-4.jpg", "2026-07-15 10.00.00.jpg", "xscan.jpg", "notes.txt"}));
    // Named once, a burst keeps its names: each photo's own name is free for it.
    settings.mask = "2026-07-14*";
    const std::optional<RunPreview> again = RenameRun::preview(settings, {});
    ASSERT_TRUE(again);
    EXPECT_EQ(again->renamed, 0u);

    settings.photoTemplate = "%Camera% %Original%";
    settings.mask = "2026-07-15*";
    run.run(settings, progress);
    EXPECT_TRUE(folder.list().contains("Canon EOS 5D 2026-07-15 10.00.00.jpg"));
}

} // namespace
} // namespace quorbit
