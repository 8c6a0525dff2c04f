// The base library: the bounds-checked byte view, and number texts as printf writes them.
#include "base/byte_view.h"
#include "base/text.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <vector>

namespace zentarra {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Readers, BigEndianZeroExtendedExactBitsAndTheCursor)
{
	const Bytes bytes = {0x80, 0x00, 0xFF, 0xFF, 0xFF, 0xFE, 0x3F, 0x80, 0x00, 0x00, 0x7F, 0x80, 0x00, 0x01, 0x09, 0xFF,
		0xFF, 0xFF};
	ByteView file(bytes);
	EXPECT_EQ(R16(file, 0), 32768u);
	EXPECT_EQ(R16next(file), 65535u);
	EXPECT_EQ(R16next(file), 65534u); // never -2
	EXPECT_EQ(RFloatnext(file), 1.0f);
	EXPECT_EQ(std::bit_cast<std::uint32_t>(RFloatnext(file)), 0x7F800001u); // a signalling NaN keeps its bits
	EXPECT_EQ(R8next(file), 9u);
	EXPECT_EQ(R24next(file), 16777215u); // ends on the last byte
	EXPECT_EQ(file.tell(), bytes.size());
	EXPECT_EQ(RFloat(file, 6), 1.0f);
	EXPECT_FALSE(file.damaged());

	ByteView far(bytes);
	EXPECT_EQ(R32(far, SIZE_MAX - 1), 0u); // no wrap-around
	EXPECT_EQ(R16(far, 0), 0x8000u);       // damage is sticky, reads inside still work
	EXPECT_TRUE(far.damaged());

	const Bytes full = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
	for (std::size_t n = 0; n <= full.size(); ++n) {
		const Bytes prefix(full.begin(), full.begin() + std::ptrdiff_t(n)); // fresh, so ASan sees the end
		ByteView cut(prefix);
		EXPECT_EQ(R32next(cut), n >= 4 ? 0x12345678u : 0u); // nothing partial
		EXPECT_EQ(R32next(cut), n >= 8 ? 0x9ABCDEF0u : 0u);
		EXPECT_EQ(cut.damaged(), n < 8);
	}
}

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
