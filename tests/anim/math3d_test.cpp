#include "anim/math3d.h"

#include "anim_test_util.h"

#include <gtest/gtest.h>

#include <vector>

namespace zentarra {
namespace {

using test::Bits;

Vertex WithNormal(float x, float y, float z)
{
	Vertex v;
	v.nrm[0] = x;
	v.nrm[1] = y;
	v.nrm[2] = z;
	return v;
}

TEST(Normals, LengthUnitAndUsableTest)
{
	EXPECT_EQ(Norm(-3, 0, 4), 5.0f);
	// squares are summed in float: 1e-30 squared underflows, so this is no normal
	EXPECT_EQ(Norm(1e-30f, 0, 0), 0.0f);

	Vertex v = WithNormal(3, 0, 4);
	Normalize(v);
	test::ExpectVec(v.nrm, {0.6f, 0, 0.8f});
	Vertex zero = WithNormal(0, 0, 0);
	Normalize(zero);
	test::ExpectVec(zero.nrm, {0, 0, 0});
	Vertex tiny = WithNormal(1e-30f, 0, 0);
	Normalize(tiny);
	EXPECT_EQ(tiny.nrm[0], 1e-30f);

	EXPECT_FALSE(NormSet(WithNormal(0, 0, -0.5f))); // strictly longer than a half
	EXPECT_TRUE(NormSet(WithNormal(0.51f, 0, 0)));
}

constexpr Matrix34 kSample = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
constexpr Matrix34 kOther = {0, -1, 2, 5, 3, 1, 0, -2, 1, 4, -3, 7};

TEST(MultiplyMatrix, LeftAndRightAreTheAffineProduct)
{
	Matrix34 b = kOther;
	MultiplyMatrixL(kSample, b); // b := kSample x b, worked by hand with fourth rows 0 0 0 1
	test::ExpectSameBits(b, {9, 13, -7, 26, 25, 29, -11, 70, 41, 45, -15, 114});
	Matrix34 a = kOther;
	MultiplyMatrixR(a, kSample); // a := a x kSample
	test::ExpectSameBits(a, {13, 14, 15, 21, 8, 12, 16, 18, -6, -4, -2, 7});

	b = kSample;
	MultiplyMatrixL(kIdentity34, b);
	test::ExpectSameBits(b, kSample);
	a = kSample;
	MultiplyMatrixR(a, kIdentity34);
	test::ExpectSameBits(a, kSample);

	// a quarter turn about Z plus (10, 0, 0), after a move by (1, 2, 3): B's
	// translation goes through A's linear part
	Matrix34 moved = {1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3};
	MultiplyMatrixL({0, -1, 0, 10, 1, 0, 0, 0, 0, 0, 1, 0}, moved);
	test::ExpectSameBits(moved, {0, -1, 0, 8, 1, 0, 0, 1, 0, 0, 1, 3});
}

TEST(MultiplyMatrix, SameOperandGivesItsSquare)
{
	const Matrix34 square = {38, 44, 50, 60, 98, 116, 134, 160, 158, 188, 218, 260};
	Matrix34 left = kSample;
	MultiplyMatrixL(left, left);
	test::ExpectSameBits(left, square);
	Matrix34 right = kSample;
	MultiplyMatrixR(right, right);
	test::ExpectSameBits(right, square);
}

TEST(MultiplyMatrix, SumsInOrderWithoutFusing)
{
	// 1e8 - 1e8 must cancel before 0.5 is added, and A's translation comes
	// last: any other order loses the 0.5 in 1e8
	Matrix34 b = {1e8f, 0, 0, 1e8f, -1e8f, 0, 0, -1e8f, 0.5f, 0, 0, 0.5f};
	MultiplyMatrixL({1, 1, 1, -1, 0, 0, 0, 0, 0, 0, 0, 0}, b);
	EXPECT_EQ(b[0], 0.5f);
	EXPECT_EQ(b[3], -0.5f);

	// x*x = 1 + 2^-11 + 2^-24 is stored as 1 + 2^-11; a fused multiply-add keeps the 2^-24
	const float x = 1.0f + 0x1p-12f;
	Matrix34 d = {1.0f + 0x1p-11f, 0, 0, 0, x, 0, 0, 0, 0, 0, 0, 0};
	MultiplyMatrixL({-1, x, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, d);
	EXPECT_EQ(Bits(d[0]), Bits(0.0f));
}

TEST(InterpolateFrame, LinearBetweenKeysElseTheLastValue)
{
	const std::vector<Key> keys = {{0, 10}, {10, 20}};
	EXPECT_EQ(InterpolateFrame(keys, 5), 15.0f);
	EXPECT_EQ(InterpolateFrame(keys, 0), 10.0f);
	EXPECT_EQ(InterpolateFrame(keys, 10), 20.0f);
	EXPECT_EQ(InterpolateFrame(keys, 12), 20.0f);
	EXPECT_EQ(InterpolateFrame(keys, -3), 20.0f); // the last value, not the first

	const std::vector<Key> three = {{0, 1}, {4, 9}, {8, -3}};
	EXPECT_EQ(InterpolateFrame(three, 4), 9.0f);
	EXPECT_EQ(InterpolateFrame(three, 6), 3.0f);

	// two keys on one frame hold a step and never divide by zero
	const std::vector<Key> step = {{0, 1}, {5, 2}, {5, 7}, {9, 7}};
	EXPECT_EQ(InterpolateFrame(step, 5), 2.0f);
	EXPECT_EQ(InterpolateFrame(step, 7), 7.0f);

	// a constant track: the key's frame field is never read
	const std::vector<Key> single = {{100, 42}};
	EXPECT_EQ(InterpolateFrame(single, 0), 42.0f);
	EXPECT_EQ(InterpolateFrame(single, -7.5f), 42.0f);
	EXPECT_EQ(InterpolateFrame({}, 3), 0.0f);
}

TEST(InterpolateFrame, BlendsWithTheRoundedFraction)
{
	// t = 4.5/7 stored as float, then (1 - t) * v0 + v1 * t: the form
	// v0 + (v1 - v0) * t lands one unit higher here
	const std::vector<Key> keys = {{0, 0.1f}, {7, 1.3f}};
	const float t = (4.5f - 0.0f) / (7.0f - 0.0f);
	const float expected = (1.0f - t) * 0.1f + 1.3f * t;
	EXPECT_EQ(Bits(InterpolateFrame(keys, 4.5f)), Bits(expected));
	EXPECT_EQ(Bits(expected), 0x3F5F15F0u);

	// and so two equal values do not give that value back
	const std::vector<Key> flat = {{0, 0.1f}, {7, 0.1f}};
	EXPECT_EQ(Bits(InterpolateFrame(flat, 4.5f)), 0x3DCCCCCEu);
}

TEST(BlendVectors, AddsTheWeightedDifference)
{
	float acc[3] = {1, 2, 3};
	BlendVectors(acc, 1, 2, 3, 5, -2, 7, 0);
	test::ExpectVec(acc, {1, 2, 3});
	BlendVectors(acc, 1, 2, 3, 5, -2, 7, 1);
	test::ExpectVec(acc, {5, -2, 7});
	BlendVectors(acc, 1, 2, 3, 2, 2, 3, 0.5f); // a second target adds on top
	test::ExpectVec(acc, {5.5f, -2, 7});

	// the difference is taken first: target * w - base * w ends one unit lower
	float one[3] = {0.1f, 0, 0};
	BlendVectors(one, 0.1f, 0, 0, 0.3f, 0, 0, 0.3f);
	EXPECT_EQ(Bits(one[0]), 0x3E23D70Bu);
}

} // namespace
} // namespace zentarra
