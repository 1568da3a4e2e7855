#include "tagfuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quorbit::fuzz::fuzzTagBytes(data, size);
    return 0;
}
