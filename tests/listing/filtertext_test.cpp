#include "listing/filtertext.h"

#include <gtest/gtest.h>

namespace quorbit::listing {

// Lets a failed comparison show the entries rather than their bytes.
void PrintTo(const FilterEntry& entry, std::ostream* out)
{
    *out << '"' << entry.description << "\" / \"" << entry.maskText << '"';
}

namespace {

struct FilterCase {
    const char* filter;
    std::vector<FilterEntry> entries;
};

TEST(FilterText, SplitsIntoDescriptionsAndMaskTexts)
{
    const FilterCase cases[] = {
        {"All Files (*.*)|*.*|Text (*.txt)|*.txt|Html (*.html, *.htm)|*.html;*.htm|Images (*.bmp, *.jpg, *.gif, "
         "*.png)|*.bmp;*.jpg;*.gif;*.png|Audio Files (*.wav, *.mp3, *.ogg)|*.wav;*.mp3;*.ogg|Video Files (*.avi, "
         "*.mpg, *.mov, *.flv)|*.avi;*.mpg;*.mov;*.flv",
         {{"All Files (*.*)", "*.*"},
          {"Text (*.txt)", "*.txt"},
          {"Html (*.html, *.htm)", "*.html;*.htm"},
          {"Images (*.bmp, *.jpg, *.gif, *.png)", "*.bmp;*.jpg;*.gif;*.png"},
          {"Audio Files (*.wav, *.mp3, *.ogg)", "*.wav;*.mp3;*.ogg"},
          {"Video Files (*.avi, *.mpg, *.mov, *.flv)", "*.avi;*.mpg;*.mov;*.flv"}}},
        {"All files (*.*)|*.*", {{"All files (*.*)", "*.*"}}},
        {"A|*.a|Dangling", {{"A", "*.a"}}},
        {"A|*.a|B|", {{"A", "*.a"}, {"B", ""}}},
        {"|", {{"", ""}}},
        {"A||B|*.b", {{"A", ""}, {"B", "*.b"}}},
        {"no bar at all", {}},
        {"", {}},
        {" A |  *.a ; *.b |", {{" A ", "  *.a ; *.b "}}},
    };
    for (const FilterCase& test : cases) {
        EXPECT_EQ(parseFilter(test.filter), test.entries) << test.filter;
    }
}

} // namespace
} // namespace quorbit::listing
