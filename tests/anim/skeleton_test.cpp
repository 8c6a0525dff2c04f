#include "anim/bone_matrices.h"
#include "anim/math3d.h"
#include "anim/skinning.h"

#include "anim_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <utility>
#include <vector>

namespace zentarra {
namespace {

using test::Bits;
using test::ExpectMatrix;
using test::ExpectVec;
using test::Product;

TEST(InterpolateFrame, LinearBetweenKeysElseTheLastValue)
{
	const std::vector<Key> two = {{0, 10}, {10, 20}}, step = {{0, 1}, {5, 2}, {5, 7}, {9, 7}}, single = {{100, 42}}, none;
	// two keys on one frame: no division by zero; a single key's frame is never read
	const struct {
		const std::vector<Key>& keys;
		float frame, value;
	} cases[] = {{two, 12, 20}, {two, -3, 20}, {step, 5, 2}, {single, -7.5f, 42}, {none, 3, 0}};
	for (const auto& c : cases)
		EXPECT_EQ(InterpolateFrame(c.keys, c.frame), c.value) << "frame " << c.frame << ", " << c.keys.size() << " keys";
	// t = 4.5/7 rounded to float, then (1 - t) * v0 + v1 * t; v0 + (v1 - v0) * t is one unit higher
	EXPECT_EQ(Bits(InterpolateFrame(std::vector<Key>{{0, 0.1f}, {7, 1.3f}}, 4.5f)), 0x3F5F15F0u);
	// the difference is taken first: target * w - base * w ends one unit lower
	float one[3] = {0.1f, 0, 0};
	BlendVectors(one, 0.1f, 0, 0, 0.3f, 0, 0, 0.3f);
	EXPECT_EQ(Bits(one[0]), 0x3E23D70Bu);
}

// Sines and cosines in double rounded to float, products grouped as written,
// reciprocals of the scale in float: float trig, another grouping, a division
// or a wrong sign changes these bits.
TEST(CalcNodeMatrix, SameBitsAsTheStatedArithmeticAndInverses)
{
	const Transfo t{{3.09f, 2.42f, 3.53f}, {328.8f, -97.1f, -124.7f}, {-1.36f, 5.42f, 6.34f}};
	using Words = std::array<std::uint32_t, 12>;
	Node node;
	CalcNodeMatrix(node, t);
	ExpectMatrix(node.matrix, std::bit_cast<Matrix34>(Words{0x3E5EA469, 0x3F7E5EA9, 0x404D624A, 0xBFAE147B, 0x3EA0C4A4,
		0xC00CDFBC, 0x3FB6103D, 0x40AD70A4, 0x40443E5A, 0x3E1EAB35, 0xBEBF14EF, 0x40CAE148}));
	Matrix34 reverse;
	CalcReverseMatrix(reverse, t);
	ExpectMatrix(reverse, std::bit_cast<Matrix34>(Words{0x3CBA8B30, 0x3D06B3A1, 0x3EA46CDC, 0xC00BBB87, 0x3E2DBCEB,
		0xBEC07007, 0x3CD8BEED, 0x40066895, 0x3E83DBB1, 0x3DE9C5BE, 0xBCF55A26, 0xBDA0DAE2}));
	// a zero scale has no inverse; its row stays 0 rather than spreading infinities
	CalcReverseMatrix(reverse, {{0, 1, 1}, {10, 20, 30}, {1, 2, 3}});
	EXPECT_TRUE(std::all_of(reverse.begin(), reverse.end(), [](float v) { return std::isfinite(v); }));
	EXPECT_EQ(reverse[0], 0.0f);
}

TEST(CalcNodeFinalMatrix, ChainsFromTheRootAndBaseUndoesTheBindPose)
{
	std::vector<Node> nodes = test::SmallSkeleton();
	BRMDL none;
	ResetBones(none, nodes); // the bind pose as loading computes it
	// root x (parent x node): the grouping fixes the bits
	ExpectMatrix(nodes[2].finalMatrix, Product(nodes[0].matrix, Product(nodes[1].matrix, nodes[2].matrix)));
	ExpectMatrix(Product(nodes[2].finalMatrix, nodes[2].baseMatrix), kIdentity34, 1e-5f);
	CalcNodeMultiMatrix(4, nodes);
	ExpectMatrix(nodes[4].matrix, kIdentity34, 1e-5f); // bind pose, weights summing to 1: nothing moves
	// weighted entries naming no node, and a count beyond either list, are skipped
	nodes[4].wNode = {1, 42, -3, 3};
	nodes[4].weight = {0.25f, 5, 5};
	nodes[4].nWeights = 9;
	CalcNodeMultiMatrix(4, nodes);
	ExpectMatrix(nodes[4].matrix, {0.25f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 0.25f, 0}, 1e-5f);

	// damaged parents: 0 and 1 form a cycle, 2 is its own parent, 3's is outside the table;
	// a chain stops after as many steps as there are nodes
	nodes.assign(4, Node());
	for (int i = 0; i < 4; ++i) {
		nodes[i].parent = std::vector{1, 0, 2, 9}[std::size_t(i)];
		nodes[i].trans[0] = float(i + 1);
		CalcNodeMatrix(nodes[i], {{1, 1, 1}, {0, 0, 0}, {float(i + 1), 0, 0}});
	}
	for (int i = -1; i <= 4; ++i) {
		CalcNodeFinalMatrix(i, nodes);
		CalcNodeBaseMatrix(i, nodes);
	}
	CalcNodeMultiMatrix(4, nodes);
	for (const auto& [i, x] : {std::pair(0, 7.0f), std::pair(2, 15.0f), std::pair(3, 4.0f)})
		EXPECT_EQ((std::pair{nodes[i].finalMatrix[3], nodes[i].baseMatrix[3]}), (std::pair{x, -x})) << i;
}

// Mesh 0 on position and normal array 0, mesh 1 on position array 0 without
// normals; arrays 1 and 2 are morph targets, position array 2 one entry short.
TEST(CalcVertexAnimation, MorphsFromTheStoredArraysSkippingDamage)
{
	BRMDL model;
	model.vtx = {{{1, 2, 3}, {0, 0, 0}}, {{3, 6, -1}, {1, 1, 1}}, {{5, 2, 3}}};
	model.nrm = {{{1, 0, 0}, {0, 1, 0}}, {{0, 1, 0}, {0, 1, 0}}};
	model.nMesh = 9; // more meshes than the tables hold
	model.meshInfo.resize(2);
	model.meshInfo[0].vtxArray = model.meshInfo[0].nrmArray = model.meshInfo[1].vtxArray = 0;
	model.meshTris = {{Triangle()}, {Triangle()}};
	Vertex* corner = model.meshTris[0][0].v;
	corner[0].nrmIndex = 0;
	corner[1].posIndex = corner[1].nrmIndex = model.meshTris[1][0].v[0].posIndex = 1;
	corner[2].posIndex = corner[2].nrmIndex = 5; // past every array: the corner keeps what it has
	corner[2].pos[0] = corner[2].nrm[0] = 42;
	// weights keyed for target 0 only; targets 9 and -1 name no array, target 2 is short for
	// entry 1, and the count claims more targets than the lists hold
	const AnimState anim{.type = 3, .bones = {}, .vanim = {{.vtxArray = 0, .nrmArray = 0, .nTargets = 6,
		.vtxTarget = {1, 9, -1, 2}, .nrmTarget = {1}, .weightKeys = {{{0, 0}, {10, 1}}, {}}}}, .frame = 5};
	model.morph = {{0, 1, 1, 0.5f}};
	std::vector<Node> nodes(1); // no bone tracks, and corner 2 names no node: both stay put
	corner[2].node = 9;
	RecalculateModel(model, nodes, anim);
	RecalculateModel(model, nodes, anim); // from the stored arrays: extrapolated once, not twice
	EXPECT_EQ(model.morph[0], (std::vector{0.5f, 1.0f, 1.0f, 0.5f}));
	ExpectVec(corner[0].pos, {4, 4, 1});
	ExpectVec(corner[0].nrm, {0.70710677f, 0.70710677f, 0});
	ExpectVec(corner[1].pos, {0.5f, 0.5f, 0.5f});
	ExpectVec(model.meshTris[1][0].v[0].pos, {0.5f, 0.5f, 0.5f}); // every mesh on the array
	EXPECT_EQ((std::vector{corner[2].pos[0], corner[2].nrm[0], corner[2].posedPos[0]}), (std::vector{42.0f, 42.0f, 42.0f}));
}

} // namespace
} // namespace zentarra
