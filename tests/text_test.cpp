#include "base/text.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>

namespace zentarra {
namespace {

TEST(NumberTexts, FixedWidthZeroPaddedTruncated)
{
	const std::pair<std::string, std::string> cases[] = {{IntToString(1234, 3), "234"}, {IntToString(42, 0), ""},
		{IntToString(LLONG_MAX, 19), "9223372036854775807"}, {SignedIntToString(-5, 2), "-05"},
		{SignedIntToString(5, 2), "05"}, {SignedIntToString(LLONG_MIN, 19), "-9223372036854775808"},
		{FloatToString(12.345, 5, 3), "00012.345"}, {FloatToString(0.9999, 1, 3), "0.999"}, // every digit truncated
		{FloatToString(123.5, 2, 1), "23.5"}, {FloatToString(0.5, 0, 1), ".5"}, {FloatToString(-1.5, 1, 1), "0.0"},
		{FloatToString(std::numeric_limits<double>::quiet_NaN(), 1, 1), "0.0"},
		{FloatToString(std::numeric_limits<double>::infinity(), 1, 1), "0.0"}};
	for (const auto& [text, expected] : cases)
		EXPECT_EQ(text, expected);
	EXPECT_EQ(FloatToString(1e300, 2, 2).size(), 5u);
}

// PutFixed6 against AppendFixed6 (to_chars, itself checked against printf):
// a spread of every float's bit patterns, halfway cases (odd multiples of
// 1/128), and the edges of the fast range.
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
