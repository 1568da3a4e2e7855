// The readers of audio tags (TagLib) and photo dates (Exiv2 and the TIFF
// reader) on small real files that ffmpeg makes and mutagen and the exiv2
// command tag, and on the photo fuzzer's seeds; exiftool reads the photos as
// the reference.

#include "platform/files.h"
#include "tags/audiotags.h"
#include "tags/mediasamples.h"
#include "tags/photodate.h"
#include "tags/photoname.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace quorbit {
namespace {

using testing::TempFolder;

std::string upperCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

std::vector<std::string> shown(const CommonTags& tags)
{
    return {tags.artist, tags.title, tags.album, tags.year, tags.track};
}

struct AudioFormat {
    std::string extension;
    std::string codec; // ffmpeg's encoder
};

// The test's name in ctest's list.
void PrintTo(const AudioFormat& format, std::ostream* out)
{
    *out << format.extension;
}

class AudioTagsTest : public ::testing::TestWithParam<AudioFormat> {};

TEST_P(AudioTagsTest, ReadsTheCommonTagsThroughTheFolder)
{
    const std::string missing = testing::missingAudioTools();
    if (!missing.empty()) {
        GTEST_SKIP() << missing;
    }
    const AudioFormat& format = GetParam();
    struct Row {
        std::string name;
        std::vector<std::pair<std::string, std::string>> written;
        CommonTags expected;
    };
    const std::vector<Row> table = {
        {"cyrillic." + format.extension,
         {{"artist", "Кино"},
          {"title", "Группа крови"},
          {"album", "Группа крови"},
          {"date", "1988-01-05"},
          {"tracknumber", "03/12"}},
         {"Кино", "Группа крови", "Группа крови", "1988", "3"}},
        {"slash." + format.extension,
         {{"artist", "AC/DC"}, {"title", "Back in Black"}, {"date", "1980"}, {"tracknumber", "6"}},
         {"AC/DC", "Back in Black", "", "1980", "6"}},
        // The extension in capitals, as TagLib chooses the format by it.
        {"UNTITLED." + upperCase(format.extension), {{"artist", "Unknown Artist"}}, {"Unknown Artist", "", "", "", ""}},
    };
    const TempFolder temp;
    const std::string silence = temp / ("silence." + format.extension);
    ASSERT_TRUE(testing::makeSilence(silence, format.codec));
    std::vector<testing::AudioTagging> tagging;
    for (const Row& row : table) {
        std::filesystem::copy_file(silence, temp / row.name);
        tagging.push_back({temp / row.name, row.written});
    }
    ASSERT_TRUE(testing::tagAudio(tagging));

    const files::Folder folder(temp.path());
    for (const Row& row : table) {
        const std::optional<CommonTags> read = readAudioTags(folder, row.name);
        ASSERT_TRUE(read.has_value()) << row.name;
        EXPECT_EQ(shown(*read), shown(row.expected)) << row.name;
    }
    EXPECT_EQ(shown(readAudioTags(folder, "silence." + format.extension).value_or(CommonTags{"?", "", "", "", ""})),
              shown(CommonTags{}));
    temp.create({"text." + format.extension});
    // TagLib takes any file named .wav or .aiff for one without tags.
    EXPECT_EQ(shown(readAudioTags(folder, "text." + format.extension).value_or(CommonTags{})), shown(CommonTags{}));
    EXPECT_FALSE(readAudioTags(folder, "missing." + format.extension));
}

INSTANTIATE_TEST_SUITE_P(Formats, AudioTagsTest,
                         ::testing::Values(AudioFormat{"flac", "flac"}, AudioFormat{"ogg", "libvorbis"},
                                           AudioFormat{"oga", "libvorbis"}, AudioFormat{"opus", "libopus"},
                                           AudioFormat{"m4a", "aac"}, AudioFormat{"wma", "wmav2"},
                                           AudioFormat{"wav", "pcm_s16le"}, AudioFormat{"aiff", "pcm_s16be"}),
                         [](const auto& info) { return info.param.extension; });

TEST(MediaExtensionsTest, TellWhichReaderAFileIsFor)
{
    const std::map<std::string, std::pair<bool, bool>> table = {
        // name: {audio, photo}
        {"a.flac", {true, false}}, {"A.OPUS", {true, false}}, {"a.Aif", {true, false}},  {"a.m4a", {true, false}},
        {"a.mp3", {false, false}}, {".flac", {false, false}}, {"flac", {false, false}},  {"a.flac.txt", {false, false}},
        {"a.JPG", {false, true}},  {"a.jpeg", {false, true}}, {"a.heic", {false, true}}, {"a.Rw2", {false, true}},
        {"a.gif", {false, false}},
    };
    for (const auto& [name, expected] : table) {
        EXPECT_EQ(hasAudioTagExtension(name), expected.first) << name;
        EXPECT_EQ(hasPhotoExtension(name), expected.second) << name;
    }
}

// exiftool's values of the three date tags, the make and the model, by file
// name: "-" where it finds none.
std::map<std::string, std::vector<std::string>> exiftoolValues(const std::string& folder)
{
    std::map<std::string, std::vector<std::string>> dates;
    FILE* pipe = popen(testing::shellCommand({"exiftool", "-T", "-FileName", "-DateTimeOriginal", "-CreateDate",
                                              "-ModifyDate", "-Make", "-Model", folder})
                           .c_str(),
                       "r");
    std::string out;
    char buffer[4096];
    for (std::size_t got; pipe != nullptr && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, got);
    }
    if (pipe != nullptr) {
        pclose(pipe);
    }
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> columns;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) {
            columns.push_back(cell);
        }
        if (columns.size() == 6) {
            dates[columns[0]] = {columns.begin() + 1, columns.end()};
        }
    }
    return dates;
}

TEST(PhotoMetadataTest, ReadsTheFirstValidDateAsExiftoolDoes)
{
    const std::string missing = testing::missingPhotoTools();
    if (!missing.empty()) {
        GTEST_SKIP() << missing;
    }
    const std::string original = "set Exif.Photo.DateTimeOriginal Ascii 2026:07:14 09:31:22";
    const std::string digitized = "set Exif.Photo.DateTimeDigitized Ascii 2025:01:02 03:04:05";
    const std::string modified = "set Exif.Image.DateTime Ascii 2024:12:31 23:59:59";
    enum Tag { DateTimeOriginal, CreateDate, ModifyDate, None };
    struct Row {
        std::string name;
        std::vector<std::string> exif;
        Tag from; // the tag whose date is read, as exiftool names it
        std::string taken = {};
        std::string make = {};
        std::string model = {};
    };
    const std::vector<Row> table = {
        {"all three.jpg",
         {modified, digitized, original, "set Exif.Image.Make Canon", "set Exif.Image.Model Canon EOS 5D"},
         DateTimeOriginal,
         "2026:07:14 09:31:22",
         "Canon",
         "Canon EOS 5D"},
        {"digitized.jpg", {modified, digitized}, CreateDate, "2025:01:02 03:04:05"},
        {"modified.jpg", {modified}, ModifyDate, "2024:12:31 23:59:59"},
        {"zero original.jpg",
         {"set Exif.Photo.DateTimeOriginal Ascii 0000:00:00 00:00:00", digitized},
         CreateDate,
         "2025:01:02 03:04:05"},
        {"malformed.jpg",
         {"set Exif.Photo.DateTimeOriginal Ascii 2026:07:14",
          "set Exif.Photo.DateTimeDigitized Ascii 2025:13:02 03:04:05", modified},
         ModifyDate,
         "2024:12:31 23:59:59"},
        {"no date.jpg", {"set Exif.Image.Make Canon"}, None},
        {"no exif.jpg", {}, None},
        {"photo.png", {original}, DateTimeOriginal, "2026:07:14 09:31:22"},
        {"photo.webp", {original}, DateTimeOriginal, "2026:07:14 09:31:22"},
        // TIFF-based, as raw files are: Exiv2 parses these in place.
        {"raw.tif",
         {original, "set Exif.Image.Make NIKON CORPORATION  ", "set Exif.Image.Model  NIKON D750"},
         DateTimeOriginal,
         "2026:07:14 09:31:22",
         "NIKON CORPORATION",
         "NIKON D750"},
    };
    const TempFolder temp;
    for (const Row& row : table) {
        ASSERT_TRUE(testing::makePhoto(temp / row.name, row.exif)) << row.name;
    }
    // A raw file is a TIFF with its own extension.
    std::filesystem::copy_file(temp / "raw.tif", temp / "raw.dng");
    // IFD0's entry count and first entries overwritten, and a photo cut short inside its Exif block.
    std::string damaged = testing::readFile(temp / "all three.jpg");
    const std::size_t tiff = damaged.find(std::string("Exif\0\0", 6)) + 6;
    damaged.replace(tiff + 8, 32, 32, '\xFF');
    testing::writeFile(temp / "damaged.jpg", damaged);
    testing::writeFile(temp / "cut short.jpg", damaged.substr(0, tiff + 20));
    temp.create({"text.jpg"});

    const std::map<std::string, std::vector<std::string>> reference = exiftoolValues(temp.path());
    ASSERT_FALSE(reference.empty()) << "exiftool read nothing";
    const files::Folder folder(temp.path());
    for (const Row& row : table) {
        const std::optional<PhotoMetadata> read = readPhotoMetadata(folder, row.name);
        if (row.from == None) {
            EXPECT_FALSE(read) << row.name;
            continue;
        }
        ASSERT_TRUE(read) << row.name;
        EXPECT_EQ(read->taken, row.taken) << row.name;
        EXPECT_EQ(read->make, row.make) << row.name;
        EXPECT_EQ(read->model, row.model) << row.name;
        EXPECT_EQ(read->taken, reference.at(row.name).at(row.from)) << row.name << ": exiftool reads otherwise";
    }
    EXPECT_EQ(readPhotoMetadata(folder, "raw.dng").value_or(PhotoMetadata{}).taken, "2026:07:14 09:31:22");
    for (const char* name : {"damaged.jpg", "cut short.jpg", "text.jpg", "missing.jpg"}) {
        EXPECT_FALSE(readPhotoMetadata(folder, name)) << name;
    }
}

// The photo fuzzer's seeds: TIFF of both byte orders, CR2, ORF, RW2 with and
// without an Exif IFD beside its embedded JPEG, HEIF, JPEG, PNG and WebP. Each
// is named with the first word of its name for an extension.
TEST(PhotoMetadataTest, ReadsTheFuzzSeedsAsExiftoolDoes)
{
    const std::string missing = testing::missingPhotoTools();
    if (!missing.empty()) {
        GTEST_SKIP() << missing;
    }
    const TempFolder temp;
    std::vector<std::string> names;
    for (const auto& seed : std::filesystem::directory_iterator(std::string(QUORBIT_FUZZ_FOLDER) + "/photo-corpus")) {
        const std::string stem = seed.path().filename().string();
        names.push_back(stem + "." + stem.substr(0, stem.find('-')));
        // The first byte picks the fuzzer's extension.
        testing::writeFile(temp / names.back(), testing::readFile(seed.path().string()).substr(1));
    }
    const std::map<std::string, std::vector<std::string>> reference = exiftoolValues(temp.path());
    const files::Folder folder(temp.path());
    for (const std::string& name : names) {
        const std::vector<std::string>& values = reference.at(name);
        const auto taken = std::find_if(values.begin(), values.begin() + 3, [](const auto& v) { return v != "-"; });
        ASSERT_NE(taken, values.begin() + 3) << name << ": exiftool reads no date";
        const auto orEmpty = [](const std::string& value) { return value == "-" ? std::string() : value; };
        const PhotoMetadata read = readPhotoMetadata(folder, name).value_or(PhotoMetadata{});
        EXPECT_EQ(std::vector<std::string>({read.taken, read.make, read.model}),
                  std::vector<std::string>({*taken, orEmpty(values[3]), orEmpty(values[4])}))
            << name;
    }
}

TEST(PhotoNameTest, FillsTheTemplate)
{
    struct Row {
        std::string photoTemplate;
        PhotoMetadata metadata;
        std::string extension;
        std::optional<std::string> expected;
    };
    const PhotoMetadata canon = {"2026:07:14 09:31:22", "Canon", "Canon EOS 5D"};
    const std::vector<Row> table = {
        {std::string(defaultPhotoTemplate), canon, "JPG", "2026-07-14 09.31.22.jpg"},
        {"%Camera% %Date% (%Original%)", canon, "cr2", "Canon EOS 5D 2026-07-14 (IMG_0001).cr2"},
        {"%Camera%", {canon.taken, "NIKON CORPORATION", "NIKON D750"}, "nef", "NIKON D750.nef"},
        {"%Camera%", {canon.taken, "OLYMPUS IMAGING CORP.", "E-M5"}, "orf", "OLYMPUS IMAGING CORP. E-M5.orf"},
        {"%Camera%", {canon.taken, "", "iPhone 12"}, "heic", "iPhone 12.heic"},
        {"%Camera%", {canon.taken, "SONY", ""}, "arw", "SONY.arw"},
        {"%Camera%", {canon.taken, "Maker", "AB/CD"}, "jpg", "Maker AB/CD.jpg"}, // the run refuses it
        {"%Date%\r\n%Time%", canon, "", "2026-07-14 09.31.22"},
        {"%Camera%", {canon.taken, "", ""}, "jpg", std::nullopt},
        {std::string(defaultPhotoTemplate), {"", "Canon", "Canon EOS 5D"}, "jpg", std::nullopt},
    };
    for (const Row& row : table) {
        EXPECT_EQ(PhotoDerivedName(row.photoTemplate, row.metadata, "IMG_0001", row.extension), row.expected)
            << row.photoTemplate;
    }
}

} // namespace
} // namespace quorbit
