#include "tagfuzz.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

// Runs the fuzz entry function over every file of a folder of fuzz/; a broken
// round trip aborts, and the file last named on stdout is the one to look at.
int replayFolder(const std::string& name)
{
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(QUORBIT_FUZZ_FOLDER) + "/" + name)) {
        if (!entry.is_regular_file() || entry.path().filename().string().starts_with(".")) {
            continue;
        }
        std::cout << "replaying " << entry.path().string() << std::endl;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        quorbit::fuzz::fuzzTagBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++replayed;
    }
    return replayed;
}

TEST(FuzzReplay, Corpus)
{
    EXPECT_GT(replayFolder("corpus"), 0);
}

TEST(FuzzReplay, Crashes)
{
    replayFolder("crashes");
}

} // namespace
