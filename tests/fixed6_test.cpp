// PutFixed6 against AppendFixed6 (to_chars, itself checked against printf):
// a spread of every float's bit patterns, halfway cases (odd multiples of
// 1/128), and the edges of the fast range.
#include "base/text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

namespace zentarra {
namespace {

void ExpectSameText(float value)
{
	char text[kFixed6Room];
	const std::string ours(text, PutFixed6(text, value));
	std::string reference;
	AppendFixed6(reference, double(value));
	ASSERT_EQ(ours, reference) << std::hexfloat << value;
}

TEST(PutFixed6, SameTextAsAppendFixed6)
{
	for (std::uint64_t bits = 0; bits < (std::uint64_t(1) << 32); bits += 4099)
		ExpectSameText(std::bit_cast<float>(std::uint32_t(bits)));
	for (int odd = -(1 << 18) + 1; odd < (1 << 18); odd += 2)
		ExpectSameText(float(odd) / 128.0f);
	for (const float edge : {0x1p33f, 0x1p24f, 0x1p-21f, 0x1p-20f, 5e-7f, 0x1p-149f})
		for (const float value : {edge, -edge, std::nextafter(edge, 0.0f), std::nextafter(edge, INFINITY)})
			ExpectSameText(value);
}

} // namespace
} // namespace zentarra
