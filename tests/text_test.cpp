#include "base/text.h"

#include <gtest/gtest.h>

#include <climits>

namespace zentarra {
namespace {

TEST(Paths, LaterSeparatorOfEitherKindWins)
{
	EXPECT_EQ(GetDirectory("C:/x/y\\z.brres"), "C:/x/y\\");
	EXPECT_EQ(GetFileNameFromPath("C:/x/y\\z.brres"), "z.brres");
	EXPECT_EQ(GetDirectory("a\\b\\c.brres"), "a\\b\\");
	EXPECT_EQ(GetDirectory("/home/u/x.brres"), "/home/u/");
	EXPECT_EQ(GetFileNameFromPath("/home/u/x.brres"), "x.brres");
}

TEST(Paths, NoSeparatorOrTrailingSeparator)
{
	EXPECT_EQ(GetDirectory("plain.brres"), "plain.brres");
	EXPECT_EQ(GetFileNameFromPath("plain.brres"), "plain.brres");
	EXPECT_EQ(GetFileNameFromPath("dir/"), "");
	EXPECT_EQ(GetDirectory(""), "");
}

TEST(IntToString, FixedWidthZeroPaddedLowDigits)
{
	EXPECT_EQ(IntToString(0, 5), "00000");
	EXPECT_EQ(IntToString(7, 3), "007");
	EXPECT_EQ(IntToString(1234, 3), "234");
	EXPECT_EQ(IntToString(42, 0), "");
	EXPECT_EQ(IntToString(LLONG_MAX, 19), "9223372036854775807");
}

TEST(SignedIntToString, MinusSignBeforeTheDigits)
{
	EXPECT_EQ(SignedIntToString(-5, 2), "-05");
	EXPECT_EQ(SignedIntToString(5, 2), "05");
	EXPECT_EQ(SignedIntToString(-1234, 3), "-234");
	EXPECT_EQ(SignedIntToString(LLONG_MIN, 19), "-9223372036854775808");
}

TEST(FloatToString, TruncatesEveryDigit)
{
	EXPECT_EQ(FloatToString(12.345, 5, 3), "00012.345");
	EXPECT_EQ(FloatToString(0.9999, 1, 3), "0.999");
	EXPECT_EQ(FloatToString(1.0, 1, 2), "1.00");
	EXPECT_EQ(FloatToString(123.5, 2, 1), "23.5");
	EXPECT_EQ(FloatToString(0.5, 0, 1), ".5");
}

TEST(FloatToString, OutOfRangeValuesPrintAsZero)
{
	EXPECT_EQ(FloatToString(-1.5, 1, 1), "0.0");
	EXPECT_EQ(FloatToString(std::numeric_limits<double>::quiet_NaN(), 1, 1), "0.0");
	EXPECT_EQ(FloatToString(std::numeric_limits<double>::infinity(), 1, 1), "0.0");
	EXPECT_EQ(FloatToString(1e300, 2, 2).size(), 5u);
}

TEST(CheckIfPower2, RoundsEachSideUp)
{
	Power2Size a = CheckIfPower2(64, 32);
	EXPECT_TRUE(a.isPower2);
	EXPECT_EQ(a.width, 64u);
	EXPECT_EQ(a.height, 32u);

	Power2Size b = CheckIfPower2(100, 64);
	EXPECT_FALSE(b.isPower2);
	EXPECT_EQ(b.width, 128u);
	EXPECT_EQ(b.height, 64u);

	Power2Size zero = CheckIfPower2(0, 1);
	EXPECT_FALSE(zero.isPower2); // 0 rounds to 1
	EXPECT_EQ(zero.width, 1u);

	// sides above 2^31 must not loop forever
	Power2Size huge = CheckIfPower2(0x80000001u, 0x80000000u);
	EXPECT_FALSE(huge.isPower2);
	EXPECT_EQ(huge.width, 0x100000000u);
	EXPECT_EQ(huge.height, 0x80000000u);
}

} // namespace
} // namespace zentarra
