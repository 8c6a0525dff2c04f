// Builders and checks shared by the skeleton and skinning tests.
#pragma once

#include "anim/math3d.h"
#include "model/model.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

namespace zentarra::test {

inline std::uint32_t Bits(float value)
{
	return std::bit_cast<std::uint32_t>(value);
}

inline Transfo MakeTransfo(Vec3 scale, Vec3 rot, Vec3 trans)
{
	Transfo t;
	for (int i = 0; i < 3; ++i) {
		t.scale[i] = scale[i];
		t.rot[i] = rot[i];
		t.trans[i] = trans[i];
	}
	return t;
}

inline Node BoneNode(int bone, int parent, const Transfo& bind)
{
	Node node;
	node.bone = bone;
	node.parent = parent;
	for (int i = 0; i < 3; ++i) {
		node.scale[i] = bind.scale[i];
		node.rot[i] = bind.rot[i];
		node.trans[i] = bind.trans[i];
	}
	return node;
}

// A root, a chain of two below it, a branch off the root, and a weighted node
// blending the chain's middle and the branch; no transform is trivial.
inline std::vector<Node> SmallSkeleton()
{
	std::vector<Node> nodes;
	nodes.push_back(BoneNode(0, -1, MakeTransfo({1, 1, 1}, {0, 0, 10}, {0, 1, 0})));
	nodes.push_back(BoneNode(1, 0, MakeTransfo({1, 1.5f, 1}, {20, -30, 45}, {0, 2, 0})));
	nodes.push_back(BoneNode(2, 1, MakeTransfo({1, 1, 1}, {0, 90, 0}, {1, 0, 0.25f})));
	nodes.push_back(BoneNode(3, 0, MakeTransfo({0.5f, 0.5f, -0.5f}, {-15, 60, 5}, {-1, 0.5f, 0})));
	Node weighted;
	weighted.nWeights = 2;
	weighted.wNode = {1, 3};
	weighted.weight = {0.25f, 0.75f};
	nodes.push_back(weighted);
	return nodes;
}

// a x b, through the product under test
inline Matrix34 Product(const Matrix34& a, Matrix34 b)
{
	MultiplyMatrixL(a, b);
	return b;
}

// m x p, in double so the check does not share the code's rounding
inline Vec3 Apply(const Matrix34& m, Vec3 p)
{
	Vec3 out;
	for (int r = 0; r < 3; ++r)
		out[r] = float(double(m[r * 4]) * p[0] + double(m[r * 4 + 1]) * p[1] + double(m[r * 4 + 2]) * p[2] + m[r * 4 + 3]);
	return out;
}

inline void ExpectNearMatrix(const Matrix34& actual, const Matrix34& expected, float tolerance)
{
	for (int e = 0; e < 12; ++e)
		EXPECT_NEAR(actual[e], expected[e], tolerance) << "element " << e / 4 << "," << e % 4;
}

inline void ExpectSameBits(const Matrix34& actual, const Matrix34& expected)
{
	for (int e = 0; e < 12; ++e)
		EXPECT_EQ(Bits(actual[e]), Bits(expected[e])) << "element " << e / 4 << "," << e % 4;
}

// Equal as floats (so -0 matches 0) unless a tolerance is given.
inline void ExpectVec(const float* actual, Vec3 expected, float tolerance = 0)
{
	for (int i = 0; i < 3; ++i)
		EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

} // namespace zentarra::test
