// The libFuzzer entry of one target; VOREL_FUZZ_TARGET names its function in targets.h.
#include "targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    vorel::fuzz::VOREL_FUZZ_TARGET(data, size);
    return 0;
}
