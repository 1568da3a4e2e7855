#include "mediafuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quorbit::fuzz::fuzzPhotoBytes(data, size);
    return 0;
}
