#include "anim/bone_matrices.h"

#include "anim_test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace zentarra {
namespace {

using test::MakeTransfo;

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

// The bind pose as loading computes it, without the corners.
void PoseBind(std::vector<Node>& nodes)
{
	for (Node& node : nodes)
		CalcNodeMatrix(node, MakeTransfo({node.scale[0], node.scale[1], node.scale[2]},
			{node.rot[0], node.rot[1], node.rot[2]}, {node.trans[0], node.trans[1], node.trans[2]}));
	for (int i = 0; i < int(nodes.size()); ++i) {
		CalcNodeFinalMatrix(i, nodes);
		CalcNodeBaseMatrix(i, nodes);
	}
}

TEST(CalcNodeMatrix, TranslateRotateScale)
{
	test::ExpectNearMatrix(LocalMatrix(MakeTransfo({1, 1, 1}, {0, 0, 0}, {1, 2, 3})),
		{1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3}, 0);

	// a quarter turn about Z takes +X to +Y
	const Matrix34 turn = LocalMatrix(MakeTransfo({1, 1, 1}, {0, 0, 90}, {0, 0, 0}));
	test::ExpectNearMatrix(turn, {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0}, 1e-7f);

	// scale first: about X, the Y axis scaled by 2 goes to Z, the Z axis scaled by 3 to -Y
	test::ExpectNearMatrix(LocalMatrix(MakeTransfo({1, 2, 3}, {90, 0, 0}, {0, 0, 0})),
		{1, 0, 0, 0, 0, 0, -3, 0, 0, 2, 0, 0}, 1e-6f);
}

// Chosen so that float sines on any axis, another grouping of any product,
// dividing by the scale instead of multiplying by its reciprocal, or another
// order of the reverse translation each change some bits.
const Transfo kOdd = MakeTransfo({3.09f, 2.42f, 3.53f}, {328.8f, -97.1f, -124.7f}, {-1.36f, 5.42f, 6.34f});

struct Trig {
	float cx, sx, cy, sy, cz, sz;
};

Trig TrigOf(const Transfo& t)
{
	float c[3], s[3];
	for (int i = 0; i < 3; ++i) {
		const double rad = double(t.rot[i]) / 180.0 * 3.141592653589793;
		c[i] = float(std::cos(rad));
		s[i] = float(std::sin(rad));
	}
	return {c[0], s[0], c[1], s[1], c[2], s[2]};
}

TEST(CalcNodeMatrix, ExactBits)
{
	const auto [cx, sx, cy, sy, cz, sz] = TrigOf(kOdd);
	const float kx = kOdd.scale[0], ky = kOdd.scale[1], kz = kOdd.scale[2];
	test::ExpectSameBits(LocalMatrix(kOdd), {
		kx * cy * cz, ky * (sx * sy * cz - cx * sz), kz * (cx * sy * cz + sx * sz), kOdd.trans[0],
		kx * cy * sz, ky * (sx * sy * sz + cx * cz), kz * (cx * sy * sz - sx * cz), kOdd.trans[1],
		-kx * sy, ky * sx * cy, kz * cx * cy, kOdd.trans[2],
	});
}

TEST(CalcReverseMatrix, ExactBits)
{
	const auto [cx, sx, cy, sy, cz, sz] = TrigOf(kOdd);
	const float ix = 1.0f / kOdd.scale[0], iy = 1.0f / kOdd.scale[1], iz = 1.0f / kOdd.scale[2];
	Matrix34 expected = {
		ix * cy * cz, ix * cy * sz, -ix * sy, 0,
		iy * (sx * sy * cz - cx * sz), iy * (sx * sy * sz + cx * cz), iy * sx * cy, 0,
		iz * (cx * sy * cz + sx * sz), iz * (cx * sy * sz - sx * cz), iz * cx * cy, 0,
	};
	for (int r = 0; r < 3; ++r) {
		const float* row = &expected[r * 4];
		expected[r * 4 + 3] = row[0] * -kOdd.trans[0] + row[1] * -kOdd.trans[1] + row[2] * -kOdd.trans[2];
	}
	test::ExpectSameBits(ReverseMatrix(kOdd), expected);
}

TEST(CalcReverseMatrix, InvertsTheLocalMatrix)
{
	std::mt19937 rng(20240611);
	std::uniform_real_distribution<float> scale(0.25f, 4.0f), angle(-360, 360), move(-50, 50);
	std::bernoulli_distribution mirror(0.2);
	for (int n = 0; n < 500; ++n) {
		Transfo t;
		for (int i = 0; i < 3; ++i) {
			t.scale[i] = mirror(rng) ? -scale(rng) : scale(rng);
			t.rot[i] = angle(rng);
			t.trans[i] = move(rng);
		}
		SCOPED_TRACE(n);
		test::ExpectNearMatrix(test::Product(ReverseMatrix(t), LocalMatrix(t)), kIdentity34, 1e-4f);
		test::ExpectNearMatrix(test::Product(LocalMatrix(t), ReverseMatrix(t)), kIdentity34, 1e-4f);
	}

	// a zero scale has no inverse; its row stays 0 rather than spreading infinities
	const Matrix34 flat = ReverseMatrix(MakeTransfo({0, 1, 1}, {10, 20, 30}, {1, 2, 3}));
	for (float value : flat)
		EXPECT_TRUE(std::isfinite(value));
	EXPECT_EQ(flat[0], 0.0f);
	EXPECT_EQ(flat[2], 0.0f);
}

TEST(CalcNodeFinalMatrix, ChainsFromTheRootDown)
{
	std::vector<Node> nodes = test::SmallSkeleton();
	PoseBind(nodes);
	test::ExpectSameBits(nodes[0].finalMatrix, nodes[0].matrix);
	test::ExpectSameBits(nodes[1].finalMatrix, test::Product(nodes[0].matrix, nodes[1].matrix));
	test::ExpectSameBits(nodes[3].finalMatrix, test::Product(nodes[0].matrix, nodes[3].matrix));
	// root x (parent x node): the grouping fixes the bits
	const Matrix34 chain = test::Product(nodes[0].matrix, test::Product(nodes[1].matrix, nodes[2].matrix));
	test::ExpectSameBits(nodes[2].finalMatrix, chain);
}

TEST(CalcNodeFinalMatrix, DamagedParentsEndTheChain)
{
	std::vector<Node> nodes(4);
	for (int i = 0; i < 4; ++i)
		CalcNodeMatrix(nodes[i], MakeTransfo({1, 1, 1}, {0, 0, 0}, {float(i + 1), 0, 0}));
	nodes[0].parent = 1; // 0 and 1 form a cycle
	nodes[1].parent = 0;
	nodes[2].parent = 2; // its own parent
	nodes[3].parent = 9; // outside the table
	for (int i = -1; i <= 4; ++i)
		CalcNodeFinalMatrix(i, nodes);
	// a chain stops after as many steps as there are nodes: 1 + 2 + 1 + 2 + 1
	EXPECT_EQ(nodes[0].finalMatrix[3], 7.0f);
	EXPECT_EQ(nodes[2].finalMatrix[3], 15.0f);
	EXPECT_EQ(nodes[3].finalMatrix[3], 4.0f); // a root
}

TEST(CalcNodeBaseMatrix, UndoesTheBindPoseOnly)
{
	std::vector<Node> nodes = test::SmallSkeleton();
	PoseBind(nodes);
	for (int i = 0; i < 4; ++i) {
		SCOPED_TRACE(i);
		test::ExpectNearMatrix(test::Product(nodes[i].finalMatrix, nodes[i].baseMatrix), kIdentity34, 1e-5f);
	}

	// the current pose does not enter
	const Matrix34 before = nodes[2].baseMatrix;
	nodes[2].curRot[0] = 77;
	CalcNodeMatrix(nodes[1], MakeTransfo({2, 2, 2}, {5, 6, 7}, {8, 9, 10}));
	CalcNodeMatrix(nodes[2], MakeTransfo({3, 3, 3}, {1, 2, 3}, {4, 5, 6}));
	CalcNodeBaseMatrix(2, nodes);
	test::ExpectSameBits(nodes[2].baseMatrix, before);

	// cycles end; a negative parent other than -1 counts as a root
	nodes[0].parent = 2;
	nodes[3].parent = -5;
	for (int i = 0; i < int(nodes.size()); ++i)
		CalcNodeBaseMatrix(i, nodes);
	test::ExpectSameBits(nodes[3].baseMatrix, ReverseMatrix(MakeTransfo({0.5f, 0.5f, -0.5f}, {-15, 60, 5}, {-1, 0.5f, 0})));
}

TEST(CalcNodeMultiMatrix, BlendsSkinningMatricesByWeight)
{
	std::vector<Node> nodes = test::SmallSkeleton();
	PoseBind(nodes);
	CalcNodeMultiMatrix(4, nodes);
	// bind pose, weights summing to 1: nothing moves
	test::ExpectNearMatrix(nodes[4].matrix, kIdentity34, 1e-5f);

	CalcNodeMatrix(nodes[1], MakeTransfo({1, 1, 1}, {0, 40, 0}, {0, 2, 0}));
	CalcNodeMatrix(nodes[3], MakeTransfo({1, 2, 1}, {0, 0, -30}, {3, 0, 0}));
	for (int i = 0; i < 4; ++i)
		CalcNodeFinalMatrix(i, nodes);
	CalcNodeMultiMatrix(4, nodes);
	const Matrix34 skin1 = test::Product(nodes[1].finalMatrix, nodes[1].baseMatrix);
	const Matrix34 skin3 = test::Product(nodes[3].finalMatrix, nodes[3].baseMatrix);
	Matrix34 expected;
	for (int e = 0; e < 12; ++e)
		expected[e] = 0.0f + skin1[e] * 0.25f + skin3[e] * 0.75f;
	test::ExpectSameBits(nodes[4].matrix, expected);
	test::ExpectSameBits(nodes[4].finalMatrix, expected);
}

TEST(CalcNodeMultiMatrix, WeightsAsStoredAndDamagedListsSkipped)
{
	std::vector<Node> nodes = test::SmallSkeleton();
	PoseBind(nodes);
	nodes[4].weight = {1, 1}; // not normalised: everything doubles
	CalcNodeMultiMatrix(4, nodes);
	test::ExpectNearMatrix(nodes[4].matrix, {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0}, 2e-5f);

	nodes[4].wNode = {1, 42, -3, 3};
	nodes[4].weight = {0.25f, 5, 5, 0.75f};
	nodes[4].nWeights = 4;
	CalcNodeMultiMatrix(4, nodes);
	test::ExpectNearMatrix(nodes[4].matrix, kIdentity34, 1e-5f);

	nodes[4].nWeights = 9; // more than either list holds
	nodes[4].weight = {0.25f};
	CalcNodeMultiMatrix(4, nodes);
	test::ExpectNearMatrix(nodes[4].matrix, {0.25f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 0.25f, 0}, 1e-5f);
}

void ExpectTransfo(const Transfo& t, Vec3 scale, Vec3 rot, Vec3 trans)
{
	test::ExpectVec(t.scale, scale);
	test::ExpectVec(t.rot, rot);
	test::ExpectVec(t.trans, trans);
}

TEST(CalcNodeAnimTransfo, TracksAtTheFrameElseTheBindPose)
{
	Node node = test::BoneNode(1, -1, MakeTransfo({1, 2, 3}, {4, 5, 6}, {7, 8, 9}));
	AnimState anim;
	anim.nFrames = 20;
	anim.frame = 5;
	anim.bones.resize(2);
	anim.bones[1].scaleKeys[0] = {{0, 1}, {10, 3}};
	anim.bones[1].rotKeys[2] = {{0, 0}, {10, 90}};
	anim.bones[1].transKeys[1] = {{0, 0}, {10, -5}};
	anim.bones[1].frame = 10;
	Transfo t;
	CalcNodeAnimTransfo(node, anim, t); // empty tracks keep the bind value
	ExpectTransfo(t, {2, 2, 3}, {4, 5, 45}, {7, -2.5f, 9});

	anim.nFrames = -1; // mixed animations: each bone keeps its own frame
	CalcNodeAnimTransfo(node, anim, t);
	ExpectTransfo(t, {3, 2, 3}, {4, 5, 90}, {7, -5, 9});

	anim.nFrames = 20;
	anim.rotOnly = 1;
	CalcNodeAnimTransfo(node, anim, t);
	ExpectTransfo(t, {1, 2, 3}, {4, 5, 45}, {7, 8, 9});

	for (int bone : {2, -1, 1000}) { // no BoneAnim for the bone
		node.bone = bone;
		CalcNodeAnimTransfo(node, anim, t);
		ExpectTransfo(t, {1, 2, 3}, {4, 5, 6}, {7, 8, 9});
	}
}

} // namespace
} // namespace zentarra
