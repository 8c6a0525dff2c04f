#include "anim/math3d.h"

#include "anim_test_util.h"

#include <gtest/gtest.h>

#include <vector>

namespace zentarra {
namespace {

using test::Bits;
using test::ExpectMatrix;

TEST(Normals, LengthUnitAndUsableTest)
{
	EXPECT_EQ(Norm(-3, 0, 4), 5.0f);
	EXPECT_EQ(Norm(1e-30f, 0, 0), 0.0f); // squares summed in float underflow
	for (const auto& [before, after] : {std::pair<Vec3, Vec3>{{3, 0, 4}, {0.6f, 0, 0.8f}}, {{0, 0, 0}, {0, 0, 0}},
			 {{1e-30f, 0, 0}, {1e-30f, 0, 0}}}) {
		Vertex v;
		std::copy(before.begin(), before.end(), v.nrm);
		Normalize(v);
		test::ExpectVec(v.nrm, after);
	}
	Vertex v;
	v.nrm[2] = -0.5f; // usable only when strictly longer than a half
	EXPECT_FALSE(NormSet(v));
	v.nrm[2] = 0.51f;
	EXPECT_TRUE(NormSet(v));
}

TEST(MultiplyMatrix, AffineProductsInOrderWithoutFusing)
{
	const Matrix34 sample = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, other = {0, -1, 2, 5, 3, 1, 0, -2, 1, 4, -3, 7};
	// worked by hand with fourth rows 0 0 0 1
	ExpectMatrix(test::Product(sample, other), {9, 13, -7, 26, 25, 29, -11, 70, 41, 45, -15, 114});
	Matrix34 a = other;
	MultiplyMatrixR(a, sample);
	ExpectMatrix(a, {13, 14, 15, 21, 8, 12, 16, 18, -6, -4, -2, 7});
	Matrix34 b = a = sample; // the same matrix on both sides
	MultiplyMatrixL(b, b);
	MultiplyMatrixR(a, a);
	ExpectMatrix(b, {38, 44, 50, 60, 98, 116, 134, 160, 158, 188, 218, 260});
	ExpectMatrix(a, b);

	// 1e8 - 1e8 must cancel before 0.5 is added, and A's translation comes last
	b = {1e8f, 0, 0, 1e8f, -1e8f, 0, 0, -1e8f, 0.5f, 0, 0, 0.5f};
	MultiplyMatrixL({1, 1, 1, -1, 0, 0, 0, 0, 0, 0, 0, 0}, b);
	EXPECT_EQ((std::pair{b[0], b[3]}), (std::pair{0.5f, -0.5f}));
	// x*x = 1 + 2^-11 + 2^-24 is stored as 1 + 2^-11; a fused multiply-add keeps the 2^-24
	const float x = 1.0f + 0x1p-12f;
	b = {1.0f + 0x1p-11f, 0, 0, 0, x, 0, 0, 0, 0, 0, 0, 0};
	MultiplyMatrixL({-1, x, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, b);
	EXPECT_EQ(Bits(b[0]), Bits(0.0f));
}

TEST(InterpolateFrame, LinearBetweenKeysElseTheLastValue)
{
	const std::vector<Key> two = {{0, 10}, {10, 20}}, three = {{0, 1}, {4, 9}, {8, -3}};
	const std::vector<Key> step = {{0, 1}, {5, 2}, {5, 7}, {9, 7}}; // two keys on one frame: no division by zero
	const std::vector<Key> single = {{100, 42}}, none;              // a single key's frame is never read
	const struct {
		const std::vector<Key>& keys;
		float frame, value;
	} cases[] = {{two, 5, 15}, {two, 0, 10}, {two, 10, 20}, {two, 12, 20}, {two, -3, 20}, {three, 6, 3},
		{step, 5, 2}, {step, 7, 7}, {single, 0, 42}, {single, -7.5f, 42}, {none, 3, 0}};
	for (const auto& c : cases)
		EXPECT_EQ(InterpolateFrame(c.keys, c.frame), c.value) << "frame " << c.frame << ", " << c.keys.size() << " keys";
	// t = 4.5/7 rounded to float, then (1 - t) * v0 + v1 * t; v0 + (v1 - v0) * t is one unit higher
	EXPECT_EQ(Bits(InterpolateFrame(std::vector<Key>{{0, 0.1f}, {7, 1.3f}}, 4.5f)), 0x3F5F15F0u);
}

TEST(BlendVectors, AddsTheWeightedDifference)
{
	float acc[3] = {1, 2, 3};
	BlendVectors(acc, 1, 2, 3, 5, -2, 7, 1);
	BlendVectors(acc, 1, 2, 3, 2, 2, 3, 0.5f); // a second target adds on top
	test::ExpectVec(acc, {5.5f, -2, 7});
	// the difference is taken first: target * w - base * w ends one unit lower
	float one[3] = {0.1f, 0, 0};
	BlendVectors(one, 0.1f, 0, 0, 0.3f, 0, 0, 0.3f);
	EXPECT_EQ(Bits(one[0]), 0x3E23D70Bu);
}

} // namespace
} // namespace zentarra
