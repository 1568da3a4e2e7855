#include "inifuzz.h"
#include "mediafuzz.h"
#include "tagfuzz.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

using FuzzEntry = void (*)(const std::uint8_t* data, std::size_t size);

// Runs a fuzz entry function over every file of a folder of fuzz/; a broken
// rule aborts, and the file last named on stdout is the one to look at.
int replayFolder(const std::string& name, FuzzEntry fuzz)
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
        fuzz(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++replayed;
    }
    return replayed;
}

TEST(FuzzReplay, TagCorpusAndCrashes)
{
    EXPECT_GT(replayFolder("corpus", quorbit::fuzz::fuzzTagBytes), 0);
    replayFolder("crashes", quorbit::fuzz::fuzzTagBytes);
}

TEST(FuzzReplay, IniCorpusAndCrashes)
{
    EXPECT_GT(replayFolder("ini-corpus", quorbit::fuzz::fuzzIniBytes), 0);
    replayFolder("ini-crashes", quorbit::fuzz::fuzzIniBytes);
}

TEST(FuzzReplay, PhotoCorpusAndCrashes)
{
    EXPECT_GT(replayFolder("photo-corpus", quorbit::fuzz::fuzzPhotoBytes), 0);
    replayFolder("photo-crashes", quorbit::fuzz::fuzzPhotoBytes);
}

TEST(FuzzReplay, AudioCorpusAndCrashes)
{
    EXPECT_GT(replayFolder("audio-corpus", quorbit::fuzz::fuzzAudioBytes), 0);
    replayFolder("audio-crashes", quorbit::fuzz::fuzzAudioBytes);
}

} // namespace
