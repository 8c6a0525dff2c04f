#include "anim/bone_matrices.h"

#include "anim_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

namespace zentarra {
namespace {

using test::ExpectMatrix;
using test::Product;

Matrix34 LocalMatrix(const Transfo& transfo)
{
	Node node;
	CalcNodeMatrix(node, transfo);
	return node.matrix;
}

Matrix34 ReverseMatrix(const Transfo& transfo)
{
	Matrix34 out;
	CalcReverseMatrix(out, transfo);
	return out;
}

// The bind pose as loading computes it.
std::vector<Node> BindPose()
{
	std::vector<Node> nodes = test::SmallSkeleton();
	for (Node& node : nodes)
		CalcNodeMatrix(node, Transfo{{node.scale[0], node.scale[1], node.scale[2]}, {node.rot[0], node.rot[1], node.rot[2]},
			{node.trans[0], node.trans[1], node.trans[2]}});
	for (int i = 0; i < int(nodes.size()); ++i) {
		CalcNodeFinalMatrix(i, nodes);
		CalcNodeBaseMatrix(i, nodes);
	}
	return nodes;
}

// Sines and cosines in double rounded to float, products grouped as written,
// reciprocals of the scale in float: float trig, another grouping, a division
// or a wrong sign changes these bits.
TEST(CalcNodeMatrix, SameBitsAsTheStatedArithmeticAndInverses)
{
	const Transfo t{{3.09f, 2.42f, 3.53f}, {328.8f, -97.1f, -124.7f}, {-1.36f, 5.42f, 6.34f}};
	const auto expectBits = [](const Matrix34& m, const std::array<std::uint32_t, 12>& bits) {
		for (int e = 0; e < 12; ++e)
			EXPECT_EQ(test::Bits(m[e]), bits[e]) << "element " << e;
	};
	expectBits(LocalMatrix(t), {0x3E5EA469, 0x3F7E5EA9, 0x404D624A, 0xBFAE147B, 0x3EA0C4A4, 0xC00CDFBC, 0x3FB6103D,
		0x40AD70A4, 0x40443E5A, 0x3E1EAB35, 0xBEBF14EF, 0x40CAE148});
	expectBits(ReverseMatrix(t), {0x3CBA8B30, 0x3D06B3A1, 0x3EA46CDC, 0xC00BBB87, 0x3E2DBCEB, 0xBEC07007, 0x3CD8BEED,
		0x40066895, 0x3E83DBB1, 0x3DE9C5BE, 0xBCF55A26, 0xBDA0DAE2});

	std::mt19937 rng(20240611);
	std::uniform_real_distribution<float> scale(0.25f, 4.0f), angle(-360, 360), move(-50, 50);
	for (int n = 0; n < 100; ++n) {
		Transfo r;
		for (int i = 0; i < 3; ++i) {
			r.scale[i] = rng() % 5 ? scale(rng) : -scale(rng);
			r.rot[i] = angle(rng);
			r.trans[i] = move(rng);
		}
		SCOPED_TRACE(n);
		ExpectMatrix(Product(ReverseMatrix(r), LocalMatrix(r)), kIdentity34, 1e-4f);
		ExpectMatrix(Product(LocalMatrix(r), ReverseMatrix(r)), kIdentity34, 1e-4f);
	}
	// a zero scale has no inverse; its row stays 0 rather than spreading infinities
	const Matrix34 flat = ReverseMatrix({{0, 1, 1}, {10, 20, 30}, {1, 2, 3}});
	EXPECT_TRUE(std::all_of(flat.begin(), flat.end(), [](float v) { return std::isfinite(v); }));
	EXPECT_EQ(flat[0], 0.0f);
}

TEST(CalcNodeFinalMatrix, ChainsFromTheRootAndBaseUndoesTheBindPose)
{
	std::vector<Node> nodes = BindPose();
	ExpectMatrix(nodes[3].finalMatrix, Product(nodes[0].matrix, nodes[3].matrix));
	// root x (parent x node): the grouping fixes the bits
	ExpectMatrix(nodes[2].finalMatrix, Product(nodes[0].matrix, Product(nodes[1].matrix, nodes[2].matrix)));
	for (int i = 0; i < 4; ++i)
		ExpectMatrix(Product(nodes[i].finalMatrix, nodes[i].baseMatrix), kIdentity34, 1e-5f);
	// the current pose does not enter the inverse bind matrix
	const Matrix34 before = nodes[2].baseMatrix;
	CalcNodeMatrix(nodes[1], {{2, 2, 2}, {5, 6, 7}, {8, 9, 10}});
	CalcNodeMatrix(nodes[2], {{3, 3, 3}, {1, 2, 3}, {4, 5, 6}});
	CalcNodeBaseMatrix(2, nodes);
	ExpectMatrix(nodes[2].baseMatrix, before);

	// damaged parents: 0 and 1 form a cycle, 2 is its own parent, 3's is outside the table;
	// a chain stops after as many steps as there are nodes
	nodes.assign(4, Node());
	for (int i = 0; i < 4; ++i) {
		nodes[i].bone = i;
		nodes[i].trans[0] = float(i + 1);
		nodes[i].parent = std::vector{1, 0, 2, 9}[std::size_t(i)];
		CalcNodeMatrix(nodes[i], {{1, 1, 1}, {0, 0, 0}, {float(i + 1), 0, 0}});
	}
	for (int i = -1; i <= 4; ++i) {
		CalcNodeFinalMatrix(i, nodes);
		CalcNodeBaseMatrix(i, nodes);
	}
	for (const auto& [i, x] : {std::pair(0, 7.0f), std::pair(2, 15.0f), std::pair(3, 4.0f)})
		EXPECT_EQ((std::pair{nodes[i].finalMatrix[3], nodes[i].baseMatrix[3]}), (std::pair{x, -x})) << i;
}

TEST(CalcNodeMultiMatrix, BlendsSkinningMatricesByWeight)
{
	std::vector<Node> nodes = BindPose();
	CalcNodeMultiMatrix(4, nodes);
	ExpectMatrix(nodes[4].matrix, kIdentity34, 1e-5f); // bind pose, weights summing to 1: nothing moves

	CalcNodeMatrix(nodes[1], {{1, 1, 1}, {0, 40, 0}, {0, 2, 0}});
	CalcNodeMatrix(nodes[3], {{1, 2, 1}, {0, 0, -30}, {3, 0, 0}});
	for (int i = 0; i < 4; ++i)
		CalcNodeFinalMatrix(i, nodes);
	CalcNodeMultiMatrix(4, nodes);
	const Matrix34 skin1 = Product(nodes[1].finalMatrix, nodes[1].baseMatrix);
	const Matrix34 skin3 = Product(nodes[3].finalMatrix, nodes[3].baseMatrix);
	Matrix34 expected;
	for (int e = 0; e < 12; ++e)
		expected[e] = 0.0f + skin1[e] * 0.25f + skin3[e] * 0.75f;
	ExpectMatrix(nodes[4].matrix, expected);
	ExpectMatrix(nodes[4].finalMatrix, expected);

	// entries naming no node, and a count beyond either list, are skipped
	nodes = BindPose();
	nodes[4].wNode = {1, 42, -3, 3};
	nodes[4].weight = {0.25f, 5, 5};
	nodes[4].nWeights = 9;
	CalcNodeMultiMatrix(4, nodes);
	ExpectMatrix(nodes[4].matrix, {0.25f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 0.25f, 0}, 1e-5f);
}

TEST(CalcNodeAnimTransfo, TracksAtTheFrameElseTheBindPose)
{
	Node node = test::BoneNode(1, -1, {1, 2, 3}, {4, 5, 6}, {7, 8, 9});
	AnimState anim;
	anim.frame = 5;
	anim.bones.resize(2);
	anim.bones[1].scaleKeys[0] = {{0, 1}, {10, 3}};
	anim.bones[1].rotKeys[2] = {{0, 0}, {10, 90}};
	anim.bones[1].transKeys[1] = {{0, 0}, {10, -5}};
	anim.bones[1].frame = 10;
	// frame count (-1: mixed animations, each bone at its own frame), rotations only, bone; expected transform
	const struct {
		int nFrames, rotOnly, bone;
		std::vector<float> transfo;
	} cases[] = {{20, 0, 1, {2, 2, 3, 4, 5, 45, 7, -2.5f, 9}}, {-1, 0, 1, {3, 2, 3, 4, 5, 90, 7, -5, 9}},
		{20, 1, 1, {1, 2, 3, 4, 5, 45, 7, 8, 9}}, {20, 0, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
		{20, 0, -1, {1, 2, 3, 4, 5, 6, 7, 8, 9}}, {20, 0, 1000, {1, 2, 3, 4, 5, 6, 7, 8, 9}}};
	for (const auto& c : cases) {
		anim.nFrames = c.nFrames;
		anim.rotOnly = c.rotOnly;
		node.bone = c.bone;
		Transfo t;
		CalcNodeAnimTransfo(node, anim, t);
		std::vector<float> actual(t.scale, t.scale + 3);
		actual.insert(actual.end(), t.rot, t.rot + 3);
		actual.insert(actual.end(), t.trans, t.trans + 3);
		EXPECT_EQ(actual, c.transfo) << c.nFrames << " " << c.rotOnly << " " << c.bone;
	}
}

} // namespace
} // namespace zentarra
