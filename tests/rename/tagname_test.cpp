#include "rename/tagname.h"

#include "tags/id3v1.h"
#include "tags/id3v2.h"

#include <gtest/gtest.h>

namespace quorbit {
namespace {

const std::array<std::string, 5> english = {"%Artist%", "%Title%", "%Album%", "%Year%", "%Track%"};

TEST(TagName, ChoosesValuesFromBothTags)
{
    struct Case {
        const char* v1;
        const char* v2;
        const char* chosen;
    };
    // Artist and title: ID3v2 where the ID3v1 value is empty or lies within it, else ID3v1.
    for (const Case& row : {Case{"Band", "Band and Guests", "Band and Guests"}, Case{"Alpha", "ALPHA", "Alpha"},
                            Case{"", "Only in ID3v2", "Only in ID3v2"}, Case{"Only in ID3v1", "", "Only in ID3v1"},
                            Case{"A 30 characters long title cu", "A 30 characters long title cut short",
                                 "A 30 characters long title cut short"}}) {
        TID3v1 id3v1;
        TID3v2 id3v2;
        id3v1.FSetArtist(row.v1);
        id3v2.FSetArtist(row.v2);
        id3v1.FSetTitle(row.v1);
        id3v2.FSetTitle(row.v2);
        const TagValues values = chooseTagValues(id3v1, id3v2);
        EXPECT_EQ(values.artist, row.chosen) << row.v1 << " / " << row.v2;
        EXPECT_EQ(values.title, row.chosen) << row.v1 << " / " << row.v2;
    }
    TID3v1 id3v1;
    TID3v2 id3v2;
    id3v1.FSetAlbum("Old album");
    id3v1.FSetYear("1999");
    id3v1.FSetTrack(7);
    id3v2.FSetYear("2001");
    TagValues values = chooseTagValues(id3v1, id3v2);
    EXPECT_EQ(values.album, "Old album");
    EXPECT_EQ(values.year, "2001");
    EXPECT_EQ(values.track, "0") << "the ID3v1 track is never used";
    id3v2.FSetAlbum("New album");
    id3v2.FSetTrack(12);
    values = chooseTagValues(id3v1, id3v2);
    EXPECT_EQ(values.album, "New album");
    EXPECT_EQ(values.track, "12");
}

TEST(TagName, BuildsTheTemplateAndTheName)
{
    EXPECT_EQ(BuildTitleTemplate({"%Artist%", "%Title%"}, "-"), "%Artist% - %Title%");
    EXPECT_EQ(BuildTitleTemplate({"%Artist%", "%Title%"}, ""), "%Artist%  %Title%");
    EXPECT_EQ(BuildTitleTemplate({"%Year%"}, "-"), "%Year%");
    EXPECT_EQ(BuildTitleTemplate({}, "-"), "");

    const TagValues values{"AC/DC", "Thunder?", "Live", "1992", "3"};
    const std::vector<std::string> fields(english.begin(), english.end());
    struct Case {
        std::string text;
        std::vector<std::string> fields;
        std::optional<std::string> name;
    };
    const Case cases[] = {
        {"%Artist% - %Title%", fields, "AC/DC - Thunder?.mp3"}, // the run refuses the "/" itself
        {"%Track%. %Title% (%Title%)", fields, "3. Thunder? (Thunder?).mp3"},
        {"%Album%", fields, "Live.mp3"},
        {"", fields, std::nullopt}, // never the hidden ".mp3"
        {" \r\n\t\n", fields, std::nullopt},
        {"%Artist%\r\n%Title%\n\n%Album%\r%Year%", fields, "AC/DC Thunder?  Live 1992.mp3"},
        {"%Artist% - %Year%", {"%Artist%", "%Title%"}, "AC/DC - %Year%.mp3"}, // no item: stays literally
        {"%Артист%", {"%Артист%"}, "%Артист%.mp3"}, // not this language's placeholder
    };
    for (const Case& row : cases) {
        EXPECT_EQ(TagDerivedName({row.text, row.fields, english}, values), row.name) << row.text;
    }
    const std::array<std::string, 5> russian = {"%Артист%", "%Название%", "%Альбом%", "%Год%", "%Трэк%"};
    EXPECT_EQ(TagDerivedName({"%Трэк% %Артист% = %Название%", {russian.begin(), russian.end()}, russian}, values),
              "3 AC/DC = Thunder?.mp3");
    EXPECT_EQ(TagDerivedName({"%Artist%", fields, english}, {"", "Title", "", "", "0"}), std::nullopt);
    EXPECT_EQ(TagDerivedName({"%Artist%", fields, english}, {"Artist", "", "", "", "0"}), std::nullopt);
    EXPECT_EQ(TagDerivedName({"%Album%\n", fields, english}, {"Artist", "Title", "", "", "0"}), std::nullopt);
}

} // namespace
} // namespace quorbit
