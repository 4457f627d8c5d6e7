// Pages come from whatever answers on port 80 at the device's address.

#include "referencescraper.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckWanPage(data, size);
    return 0;
}
