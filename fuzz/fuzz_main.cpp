// One libFuzzer program per target; ZENTARRA_FUZZ_TARGET names its body.
#include "fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
	zentarra::fuzz::ZENTARRA_FUZZ_TARGET(data, size);
	return 0;
}
