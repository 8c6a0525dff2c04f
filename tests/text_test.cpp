#include "base/text.h"

#include <gtest/gtest.h>

#include <climits>

namespace zentarra {
namespace {

TEST(Paths, LaterSeparatorOfEitherKindWins)
{
	const struct {
		const char* path;
		const char* directory;
		const char* file;
	} cases[] = {
		{"C:/x/y\\z.brres", "C:/x/y\\", "z.brres"},
		{"a\\b\\c.brres", "a\\b\\", "c.brres"},
		{"/home/u/x.brres", "/home/u/", "x.brres"},
		{"plain.brres", "plain.brres", "plain.brres"},
		{"dir/", "dir/", ""},
		{"", "", ""},
	};
	for (const auto& c : cases) {
		EXPECT_EQ(GetDirectory(c.path), c.directory) << c.path;
		EXPECT_EQ(GetFileNameFromPath(c.path), c.file) << c.path;
	}
}

TEST(NumberTexts, FixedWidthZeroPaddedTruncated)
{
	EXPECT_EQ(IntToString(0, 5), "00000");
	EXPECT_EQ(IntToString(1234, 3), "234");
	EXPECT_EQ(IntToString(42, 0), "");
	EXPECT_EQ(IntToString(LLONG_MAX, 19), "9223372036854775807");
	EXPECT_EQ(SignedIntToString(-5, 2), "-05");
	EXPECT_EQ(SignedIntToString(5, 2), "05");
	EXPECT_EQ(SignedIntToString(-1234, 3), "-234");
	EXPECT_EQ(SignedIntToString(LLONG_MIN, 19), "-9223372036854775808");

	EXPECT_EQ(FloatToString(12.345, 5, 3), "00012.345");
	EXPECT_EQ(FloatToString(0.9999, 1, 3), "0.999"); // every digit truncated
	EXPECT_EQ(FloatToString(1.0, 1, 2), "1.00");
	EXPECT_EQ(FloatToString(123.5, 2, 1), "23.5");
	EXPECT_EQ(FloatToString(0.5, 0, 1), ".5");
	// out of range: zero
	EXPECT_EQ(FloatToString(-1.5, 1, 1), "0.0");
	EXPECT_EQ(FloatToString(std::numeric_limits<double>::quiet_NaN(), 1, 1), "0.0");
	EXPECT_EQ(FloatToString(std::numeric_limits<double>::infinity(), 1, 1), "0.0");
	EXPECT_EQ(FloatToString(1e300, 2, 2).size(), 5u);
}

TEST(CheckIfPower2, RoundsEachSideUp)
{
	const struct {
		std::uint64_t width, height;
		bool power2;
		std::uint64_t outWidth, outHeight;
	} cases[] = {
		{64, 32, true, 64, 32},
		{100, 64, false, 128, 64},
		{0, 1, false, 1, 1}, // 0 rounds to 1
		{0x80000001u, 0x80000000u, false, 0x100000000u, 0x80000000u}, // no endless loop above 2^31
	};
	for (const auto& c : cases) {
		const Power2Size size = CheckIfPower2(std::uint32_t(c.width), std::uint32_t(c.height));
		EXPECT_EQ(size.isPower2, c.power2) << c.width;
		EXPECT_EQ(size.width, c.outWidth) << c.width;
		EXPECT_EQ(size.height, c.outHeight) << c.width;
	}
}

} // namespace
} // namespace zentarra
