#include "inifuzz.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

// Runs the INI fuzz entry function over every file of a folder of fuzz/; a
// broken rule aborts, and the file last named on stdout is the one to look at.
int replayFolder(const std::string& name)
{
    int replayed = 0;
    std::error_code error; // a folder without files may not be there at all
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(QUORBIT_FUZZ_FOLDER) + "/" + name, error)) {
        if (!entry.is_regular_file() || entry.path().filename().string().starts_with(".")) {
            continue;
        }
        std::cout << "replaying " << entry.path().string() << std::endl;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        quorbit::fuzz::fuzzIniBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++replayed;
    }
    return replayed;
}

TEST(IniFuzzReplay, Corpus)
{
    EXPECT_GT(replayFolder("ini-corpus"), 0);
}

TEST(IniFuzzReplay, Crashes)
{
    replayFolder("ini-crashes");
}

} // namespace
