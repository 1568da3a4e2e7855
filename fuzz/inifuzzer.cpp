#include "inifuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quorbit::fuzz::fuzzIniBytes(data, size);
    return 0;
}
