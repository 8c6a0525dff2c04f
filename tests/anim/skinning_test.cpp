#include "anim/skinning.h"

#include "anim/bone_matrices.h"
#include "anim_test_util.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <vector>

namespace zentarra {
namespace {

using test::MakeTransfo;

using test::ExpectVec;

Vertex MakeCorner(Vec3 pos, Vec3 nrm, int node)
{
	Vertex v;
	for (int i = 0; i < 3; ++i) {
		v.pos[i] = pos[i];
		v.nrm[i] = nrm[i];
	}
	v.node = node;
	return v;
}

TEST(CalcVertexPosition, MovesPointsAndTurnsNormals)
{
	std::vector<Node> nodes(1);
	Vertex v = MakeCorner({1, -2, 3}, {0, 3, 4}, 0);
	CalcVertexPosition(v, nodes);
	ExpectVec(v.posedPos, {1, -2, 3});
	ExpectVec(v.posedNrm, {0, 0.6f, 0.8f});

	CalcNodeMatrix(nodes[0], MakeTransfo({2, 2, 2}, {0, 0, 90}, {10, 0, 0}));
	nodes[0].finalMatrix = nodes[0].matrix;
	v = MakeCorner({1, 0, 5}, {3, 0, 0}, 0);
	CalcVertexPosition(v, nodes);
	ExpectVec(v.posedPos, {10, 2, 10}, 1e-6f);
	ExpectVec(v.posedNrm, {0, 1, 0}, 1e-7f); // unit whatever the scale

	// sums in order, then the translation: any other order loses the 0.5
	nodes[0].finalMatrix = {1, 1, 1, -1, 0, 0, 0, 0, 0, 0, 0, 0};
	v = MakeCorner({1e8f, -1e8f, 0.5f}, {0, 0, 0}, 0);
	CalcVertexPosition(v, nodes);
	EXPECT_EQ(v.posedPos[0], -0.5f);
}

TEST(CalcVertexPosition, KeepsWhatItCannotCompute)
{
	// a zero normal, or one the matrix flattens, keeps the previous posed normal
	std::vector<Node> nodes(1);
	Vertex v = MakeCorner({1, 2, 3}, {0, 0, 0}, 0);
	v.posedNrm[0] = 0.25f;
	CalcVertexPosition(v, nodes);
	ExpectVec(v.posedPos, {1, 2, 3});
	ExpectVec(v.posedNrm, {0.25f, 0, 0});
	nodes[0].finalMatrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
	v.nrm[2] = 5;
	CalcVertexPosition(v, nodes);
	ExpectVec(v.posedNrm, {0.25f, 0, 0});

	// a node outside the table leaves the corner as stored
	for (int node : {1, -1, 65535}) {
		Vertex w = MakeCorner({1, 2, 3}, {0, 0, -2}, node);
		CalcVertexPosition(w, nodes);
		ExpectVec(w.posedPos, {1, 2, 3});
		ExpectVec(w.posedNrm, {0, 0, -1});
	}
}

// Mesh 0: position and normal array 0, bone node 0. Mesh 1: position array 0,
// no normals, weighted node 4. Arrays 1 and 2 are morph targets; position
// array 2 is one entry short.
class SkinnedModel : public ::testing::Test {
protected:
	void SetUp() override
	{
		model.vtx = {{{1, 2, 3}, {0, 0, 0}, {-1, 4, 2}}, {{3, 6, -1}, {1, 1, 1}, {-1, 4, 4}}, {{5, 2, 3}, {0, 8, 0}}};
		model.nrm = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 1, 0}, {0, 1, 0}, {0, 2, 0}}};
		model.nMesh = 2;
		model.meshInfo.resize(2);
		model.meshInfo[0].vtxArray = model.meshInfo[0].nrmArray = model.meshInfo[1].vtxArray = 0;
		model.meshTris = {{Tri({0, 1, 2}, 0)}, {Tri({2, 1, 0}, 4)}};
		for (Vertex& v : model.meshTris[1][0].v) {
			v.nrmIndex = -2;
			v.nrm[0] = v.nrm[2] = 0;
			v.nrm[1] = 1;
		}
		nodes = test::SmallSkeleton();
	}

	Triangle Tri(std::array<int, 3> index, int node) const
	{
		Triangle tri;
		for (int c = 0; c < 3; ++c) {
			tri.v[c] = MakeCorner(model.vtx[0][index[c]], model.nrm[0][index[c]], node);
			tri.v[c].posIndex = tri.v[c].nrmIndex = index[c];
		}
		return tri;
	}

	Vertex& Corner(int mesh, int c) { return model.meshTris[mesh][0].v[c]; }

	void AddMorph(std::vector<int> vtxTarget, std::vector<int> nrmTarget, std::vector<float> weights)
	{
		VAnim entry;
		entry.vtxArray = entry.nrmArray = 0;
		entry.nTargets = int(vtxTarget.size());
		entry.weightKeys.resize(vtxTarget.size());
		entry.vtxTarget = std::move(vtxTarget);
		entry.nrmTarget = std::move(nrmTarget);
		anim.vanim.push_back(entry);
		model.morph.push_back(std::move(weights));
	}

	BRMDL model;
	std::vector<Node> nodes;
	AnimState anim;
};

TEST_F(SkinnedModel, MorphBlendsTowardsTheTargets)
{
	AddMorph({1}, {-1}, {0.5f});
	CalcVertexAnimation(model, anim);
	ExpectVec(Corner(0, 0).pos, {2, 4, 1});
	ExpectVec(Corner(1, 2).pos, {2, 4, 1}); // every mesh on the array
	model.morph[0][0] = 1;
	CalcVertexAnimation(model, anim);
	ExpectVec(Corner(0, 0).pos, {3, 6, -1});
	model.morph[0][0] = 2; // extrapolates, starting again from the stored array
	CalcVertexAnimation(model, anim);
	ExpectVec(Corner(0, 0).pos, {5, 10, -5});

	// two targets add up; the short one is skipped past its end, the other still counts
	anim.vanim[0].vtxTarget = {2, 1};
	anim.vanim[0].nrmTarget = {-1, -1};
	anim.vanim[0].nTargets = 2;
	model.morph[0] = {0.25f, 0.5f};
	CalcVertexAnimation(model, anim);
	ExpectVec(Corner(0, 0).pos, {3, 4, 1});
	ExpectVec(Corner(0, 1).pos, {0.5f, 2.5f, 0.5f});
	ExpectVec(Corner(0, 2).pos, {-1, 4, 3});
}

TEST_F(SkinnedModel, PositionAndNormalTargetsApplyIndependently)
{
	AddMorph({-1}, {1}, {0.5f});
	CalcVertexAnimation(model, anim);
	ExpectVec(Corner(0, 0).pos, {1, 2, 3});
	ExpectVec(Corner(0, 0).nrm, {0.70710677f, 0.70710677f, 0});
	ExpectVec(Corner(0, 2).nrm, {0, 0.8944272f, 0.4472136f}, 1e-7f); // (0, 1, 0.5) made unit
	ExpectVec(Corner(1, 0).nrm, {0, 1, 0});                           // no normal array

	anim.vanim[0].vtxTarget = {1};
	anim.vanim[0].nrmTarget = {-1};
	CalcVertexAnimation(model, anim);
	ExpectVec(Corner(0, 0).pos, {2, 4, 1});
	ExpectVec(Corner(0, 0).nrm, {1, 0, 0});
}

TEST_F(SkinnedModel, LaterEntryOnTheSameArrayWins)
{
	AddMorph({1}, {-1}, {1});
	AddMorph({1}, {-1}, {0.5f});
	CalcVertexAnimation(model, anim);
	ExpectVec(Corner(0, 0).pos, {2, 4, 1});

	// an entry on no array, or on one that does not exist, touches nothing
	anim.vanim[0].nrmArray = -1;
	anim.vanim[1].vtxArray = -1;
	anim.vanim[1].nrmArray = 7;
	Corner(0, 1).nrm[0] = 5;
	CalcVertexAnimation(model, anim);
	ExpectVec(Corner(0, 0).pos, {3, 6, -1});
	ExpectVec(Corner(0, 1).nrm, {5, 1, 0});
}

TEST_F(SkinnedModel, DamagedMorphDataIsSkipped)
{
	// targets 9 and -4 name no array, target 2 has no weight, and the count
	// claims more targets than the lists hold
	AddMorph({1, 9, -4, 2}, {1}, {0.5f, 1, 1});
	anim.vanim[0].nTargets = 6;
	Corner(0, 1).posIndex = 3; // past the base array
	Corner(0, 1).pos[0] = 42;
	Corner(0, 2).nrmIndex = -2;
	Corner(0, 2).nrm[0] = 7;
	CalcVertexAnimation(model, anim);
	ExpectVec(Corner(0, 0).pos, {2, 4, 1});
	EXPECT_EQ(Corner(0, 1).pos[0], 42.0f);
	ExpectVec(Corner(0, 2).nrm, {7, 0, 1});

	// an entry without a weight list only brings its arrays back
	model.morph.clear();
	CalcVertexAnimation(model, anim);
	ExpectVec(Corner(0, 0).pos, {1, 2, 3});
}

TEST_F(SkinnedModel, RecalculateWithoutAnimationOnlyReposes)
{
	ResetBones(model, nodes);
	const float y = Corner(0, 0).posedPos[1];
	AddMorph({1}, {1}, {1}); // weights present, but no vertex animation is loaded
	nodes[0].finalMatrix[7] += 100; // a pose set by hand
	const std::vector<Node> before = nodes;

	RecalculateModel(model, nodes, anim);
	ExpectVec(Corner(0, 0).pos, {1, 2, 3});
	ExpectVec(Corner(0, 0).nrm, {1, 0, 0});
	EXPECT_NEAR(Corner(0, 0).posedPos[1], y + 100, 1e-4f);
	for (std::size_t i = 0; i < nodes.size(); ++i) {
		test::ExpectSameBits(nodes[i].matrix, before[i].matrix);
		test::ExpectSameBits(nodes[i].finalMatrix, before[i].finalMatrix);
		test::ExpectSameBits(nodes[i].baseMatrix, before[i].baseMatrix);
	}
}

TEST_F(SkinnedModel, MorphWeightsFollowTheGlobalFrame)
{
	AddMorph({1, 2}, {-1, -1}, {0, 0.25f});
	anim.vanim[0].weightKeys[0] = {{0, 0}, {10, 1}};
	anim.type = 2;
	anim.frame = 5;
	anim.nFrames = -1; // mixed bone animations keep per-bone frames; weights do not
	RecalculateModel(model, nodes, anim);
	EXPECT_EQ(model.morph[0][0], 0.5f);
	EXPECT_EQ(model.morph[0][1], 0.25f); // no keys: kept
	ExpectVec(Corner(0, 0).pos, {3, 4, 1});
}

TEST_F(SkinnedModel, BindPoseAndConstantBindTracksAgree)
{
	ResetBones(model, nodes);
	for (std::size_t i = 0; i < 4; ++i) {
		SCOPED_TRACE(i);
		ExpectVec(nodes[i].curRot, {nodes[i].rot[0], nodes[i].rot[1], nodes[i].rot[2]});
		test::ExpectNearMatrix(test::Product(nodes[i].finalMatrix, nodes[i].baseMatrix), kIdentity34, 1e-5f);
	}
	// not blended here: the weighted node's bind transform is the identity
	test::ExpectNearMatrix(nodes[4].finalMatrix, kIdentity34, 0);
	ExpectVec(Corner(0, 0).posedPos, test::Apply(nodes[0].finalMatrix, {1, 2, 3}), 1e-6f); // bone space
	ExpectVec(Corner(1, 2).posedPos, {1, 2, 3});                                          // bind space
	const Vertex bound = Corner(0, 1);

	// tracks holding the bind values, as loading gives unanimated bones
	anim.type = 1;
	anim.frame = 3;
	anim.bones.resize(4);
	for (std::size_t i = 0; i < 4; ++i) {
		for (int k = 0; k < 3; ++k) {
			anim.bones[i].scaleKeys[k] = {{0, nodes[i].scale[k]}};
			anim.bones[i].rotKeys[k] = {{0, nodes[i].rot[k]}};
			anim.bones[i].transKeys[k] = {{0, nodes[i].trans[k]}};
		}
	}
	RecalculateModel(model, nodes, anim);
	ExpectVec(Corner(0, 1).posedPos, {bound.posedPos[0], bound.posedPos[1], bound.posedPos[2]});
	// now blended: weights summing to 1 leave bind-space corners where they are
	for (const Vertex& v : model.meshTris[1][0].v)
		ExpectVec(v.posedPos, {v.pos[0], v.pos[1], v.pos[2]}, 2e-5f);
}

TEST_F(SkinnedModel, BoneAnimationMovesBoundAndBlendedCorners)
{
	ResetBones(model, nodes);
	anim.type = 1;
	anim.nFrames = 10;
	anim.frame = 5;
	anim.bones.resize(4);
	anim.bones[3].rotKeys[2] = {{0, 0}, {10, 90}}; // the branch turns 45 degrees about Z
	anim.bones[3].transKeys[0] = {{0, 0}, {10, 100}};
	anim.bones[3].scaleKeys[0] = {{0, 4}};
	RecalculateModel(model, nodes, anim);

	EXPECT_EQ(nodes[3].curRot[2], 45.0f);
	EXPECT_EQ(nodes[3].matrix[3], 50.0f);
	EXPECT_NEAR(Norm(nodes[3].matrix[0], nodes[3].matrix[4], nodes[3].matrix[8]), 4.0f, 1e-6f);
	const Matrix34 skin3 = test::Product(nodes[3].finalMatrix, nodes[3].baseMatrix);
	const Vertex& v = Corner(1, 0);
	const Vec3 moved = test::Apply(skin3, {v.pos[0], v.pos[1], v.pos[2]});
	for (int i = 0; i < 3; ++i) // a quarter of the corner stays, three quarters follow the branch
		EXPECT_NEAR(v.posedPos[i], 0.25f * v.pos[i] + 0.75f * moved[i], 1e-4f);

	// playing rotations only keeps the branch at its bind place
	anim.rotOnly = 1;
	RecalculateModel(model, nodes, anim);
	EXPECT_EQ(nodes[3].curRot[2], 45.0f);
	EXPECT_EQ(nodes[3].matrix[3], nodes[3].trans[0]);
	EXPECT_EQ(nodes[3].matrix[7], nodes[3].trans[1]);
	EXPECT_NEAR(Norm(nodes[3].matrix[0], nodes[3].matrix[4], nodes[3].matrix[8]), 0.5f, 1e-6f); // not 4
}

TEST_F(SkinnedModel, ResetVerticesRestoresTheArrays)
{
	AddMorph({1}, {1}, {1});
	anim.type = 2;
	CalcVertexAnimation(model, anim);
	ResetVertices(model, nodes, anim);
	ExpectVec(Corner(0, 0).pos, {1, 2, 3});
	ExpectVec(Corner(0, 2).nrm, {0, 0, 1});
	ExpectVec(Corner(1, 0).nrm, {0, 1, 0}); // no normal array: kept
	EXPECT_EQ(model.morph[0][0], 0.0f);
	ExpectVec(Corner(0, 0).posedPos, {1, 2, 3}); // nodes as constructed: identity

	// weights stay without a vertex animation; damaged indices keep their values
	anim.type = 0;
	model.morph[0][0] = 0.75f;
	Corner(0, 1).posIndex = 17;
	Corner(0, 1).pos[0] = 42;
	model.meshInfo[1].vtxArray = 5;
	Corner(1, 0).pos[0] = 43;
	ResetVertices(model, nodes, anim);
	EXPECT_EQ(model.morph[0][0], 0.75f);
	EXPECT_EQ(Corner(0, 1).pos[0], 42.0f);
	EXPECT_EQ(Corner(1, 0).pos[0], 43.0f);
}

TEST_F(SkinnedModel, DamagedModelStillFinishes)
{
	model.nMesh = 9;            // more than the tables hold
	nodes[0].parent = 2;        // 0 -> 2 -> 1 -> 0
	nodes[3].parent = 99;
	AddMorph({1}, {1}, {1});
	anim.type = 3;
	ResetBones(model, nodes);
	RecalculateModel(model, nodes, anim); // no BoneAnim at all: bind pose
	ExpectVec(Corner(0, 0).pos, {3, 6, -1});
	ResetVertices(model, nodes, anim);
	ExpectVec(Corner(0, 0).pos, {1, 2, 3});
}

} // namespace
} // namespace zentarra
