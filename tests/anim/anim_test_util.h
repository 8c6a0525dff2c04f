// Skeletons, key tracks and checks shared by the animation tests.
#pragma once

#include "anim/math3d.h"
#include "model/model.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <string>
#include <vector>

namespace zentarra::test {

inline std::uint32_t Bits(float value) { return std::bit_cast<std::uint32_t>(value); }

// The shortest text that reads back as the same float.
inline std::string Text(float value)
{
	char chars[32];
	return std::string(chars, std::to_chars(chars, chars + sizeof chars, value).ptr);
}

// "frame:value ..." in the shortest text that reads back as the same floats.
inline std::string Track(const std::vector<Key>& keys)
{
	std::string text;
	for (const Key& key : keys)
		text += (text.empty() ? "" : " ") + Text(key.frame) + ":" + Text(key.value);
	return text;
}

// The nine tracks, scale X-Z, rotation X-Z, translation X-Z, joined by "|".
inline std::string Tracks(const BoneAnim& bone)
{
	std::string text;
	for (const std::vector<Key>* group : {bone.scaleKeys, bone.rotKeys, bone.transKeys})
		for (int a = 0; a < 3; ++a)
			text += Track(group[a]) + "|";
	text.pop_back();
	return text;
}

// A root, a chain of two below it, a branch off the root, and a weighted node
// blending the chain's middle (0.25) and the branch (0.75); no transform is trivial.
inline std::vector<Node> SmallSkeleton()
{
	return {{.bone = 0, .rot = {0, 0, 10}, .trans = {0, 1, 0}, .wNode = {}, .weight = {}},
		{.parent = 0, .bone = 1, .scale = {1, 1.5f, 1}, .rot = {20, -30, 45}, .trans = {0, 2, 0}, .wNode = {}, .weight = {}},
		{.parent = 1, .bone = 2, .rot = {0, 90, 0}, .trans = {1, 0, 0.25f}, .wNode = {}, .weight = {}},
		{.parent = 0, .bone = 3, .scale = {0.5f, 0.5f, -0.5f}, .rot = {-15, 60, 5}, .trans = {-1, 0.5f, 0}, .wNode = {},
			.weight = {}},
		{.nWeights = 2, .wNode = {1, 3}, .weight = {0.25f, 0.75f}}};
}

// a x b, through the product under test
inline Matrix34 Product(const Matrix34& a, Matrix34 b)
{
	MultiplyMatrixL(a, b);
	return b;
}

// Element by element within the tolerance, equal as floats (so -0 matches 0) unless one is given.
inline void ExpectMatrix(const Matrix34& actual, const Matrix34& expected, float tolerance = 0)
{
	for (int e = 0; e < 12; ++e)
		EXPECT_NEAR(actual[e], expected[e], tolerance) << "element " << e;
}

inline void ExpectVec(const float* actual, Vec3 expected, float tolerance = 0)
{
	for (int i = 0; i < 3; ++i)
		EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

} // namespace zentarra::test
