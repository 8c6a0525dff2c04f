#include "anim/skinning.h"

#include "anim/bone_matrices.h"
#include "anim_test_util.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

namespace zentarra {
namespace {

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

TEST(CalcVertexPosition, MovesPointsTurnsNormalsKeepsWhatItCannotCompute)
{
	std::vector<Node> nodes(1);
	CalcNodeMatrix(nodes[0], Transfo{{2, 2, 2}, {0, 0, 90}, {10, 0, 0}});
	nodes[0].finalMatrix = nodes[0].matrix;
	Vertex v = MakeCorner({1, 0, 5}, {3, 0, 0}, 0);
	CalcVertexPosition(v, nodes);
	ExpectVec(v.posedPos, {10, 2, 10}, 1e-6f);
	ExpectVec(v.posedNrm, {0, 1, 0}, 1e-7f); // unit whatever the scale

	// a zero normal, or one the matrix flattens, keeps the previous posed normal
	v = MakeCorner({1, 2, 3}, {0, 0, 0}, 0);
	v.posedNrm[0] = 0.25f;
	CalcVertexPosition(v, nodes);
	ExpectVec(v.posedNrm, {0.25f, 0, 0});
	nodes[0].finalMatrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
	v.nrm[2] = 5;
	CalcVertexPosition(v, nodes);
	ExpectVec(v.posedNrm, {0.25f, 0, 0});

	for (int node : {1, -1, 65535}) { // a node outside the table leaves the corner as stored
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

	VAnim& AddMorph(std::vector<int> vtxTarget, std::vector<int> nrmTarget, std::vector<float> weights)
	{
		VAnim& entry = anim.vanim.emplace_back();
		entry.vtxArray = entry.nrmArray = 0;
		entry.nTargets = int(vtxTarget.size());
		entry.weightKeys.resize(vtxTarget.size());
		entry.vtxTarget = std::move(vtxTarget);
		entry.nrmTarget = std::move(nrmTarget);
		model.morph.push_back(std::move(weights));
		return entry;
	}

	BRMDL model;
	std::vector<Node> nodes = test::SmallSkeleton();
	AnimState anim;
};

TEST_F(SkinnedModel, MorphBlendsTowardsTheTargets)
{
	AddMorph({1}, {-1}, {0.5f});
	for (const auto& [weight, pos] : {std::pair(0.5f, Vec3{2, 4, 1}), std::pair(1.0f, Vec3{3, 6, -1}),
			 std::pair(2.0f, Vec3{5, 10, -5})}) { // extrapolates, each time from the stored array
		model.morph[0][0] = weight;
		CalcVertexAnimation(model, anim);
		ExpectVec(Corner(0, 0).pos, pos);
		ExpectVec(Corner(1, 2).pos, pos); // every mesh on the array
		ExpectVec(Corner(0, 0).nrm, {1, 0, 0});
	}

	// normals only: target -1 skips the positions
	anim.vanim[0].vtxTarget = {-1};
	anim.vanim[0].nrmTarget = {1};
	model.morph[0][0] = 0.5f;
	CalcVertexAnimation(model, anim);
	ExpectVec(Corner(0, 0).pos, {1, 2, 3});
	ExpectVec(Corner(0, 0).nrm, {0.70710677f, 0.70710677f, 0});
	ExpectVec(Corner(0, 2).nrm, {0, 0.8944272f, 0.4472136f}, 1e-7f); // (0, 1, 0.5) made unit
	ExpectVec(Corner(1, 0).nrm, {0, 1, 0});                           // no normal array

	// two targets add up; the short one is skipped past its end, the other still counts
	anim.vanim[0].vtxTarget = {2, 1};
	anim.vanim[0].nrmTarget = {-1, -1};
	anim.vanim[0].nTargets = 2;
	model.morph[0] = {0.25f, 0.5f};
	CalcVertexAnimation(model, anim);
	ExpectVec(Corner(0, 0).pos, {3, 4, 1});
	ExpectVec(Corner(0, 2).pos, {-1, 4, 3});
}

TEST_F(SkinnedModel, DamagedMorphDataIsSkipped)
{
	// targets 9 and -4 name no array, target 2 has no weight, and the count
	// claims more targets than the lists hold
	AddMorph({1, 9, -4, 2}, {1}, {0.5f, 1, 1}).nTargets = 6;
	Corner(0, 1).posIndex = 3; // past the base array
	Corner(0, 1).pos[0] = 42;
	Corner(0, 2).nrmIndex = -2;
	Corner(0, 2).nrm[0] = 7;
	CalcVertexAnimation(model, anim);
	ExpectVec(Corner(0, 0).pos, {2, 4, 1});
	EXPECT_EQ(Corner(0, 1).pos[0], 42.0f);
	ExpectVec(Corner(0, 2).nrm, {7, 0, 1});

	model.nMesh = 9; // more meshes than the tables hold, and a cyclic skeleton
	nodes[0].parent = 2;
	nodes[3].parent = 99;
	model.morph = {{1}};
	anim.type = 3;
	ResetBones(model, nodes);
	RecalculateModel(model, nodes, anim); // no BoneAnim at all: bind pose
	ExpectVec(Corner(0, 0).pos, {3, 6, -1});
	ResetVertices(model, nodes, anim);
	ExpectVec(Corner(0, 0).pos, {1, 2, 3});
}

TEST_F(SkinnedModel, RecalculateWithoutAnimationOnlyReposes)
{
	ResetBones(model, nodes);
	const float y = Corner(0, 0).posedPos[1];
	AddMorph({1, 2}, {1, -1}, {1, 0.25f}); // weights present, but no vertex animation is loaded
	nodes[0].finalMatrix[7] += 100; // a pose set by hand
	const std::vector<Node> before = nodes;

	RecalculateModel(model, nodes, anim);
	ExpectVec(Corner(0, 0).pos, {1, 2, 3});
	ExpectVec(Corner(0, 0).nrm, {1, 0, 0});
	EXPECT_NEAR(Corner(0, 0).posedPos[1], y + 100, 1e-4f);
	for (std::size_t i = 0; i < nodes.size(); ++i)
		test::ExpectMatrix(nodes[i].finalMatrix, before[i].finalMatrix);

	// a vertex animation takes its weights at the global frame, even while bones mix their own
	anim.vanim[0].weightKeys[0] = {{0, 0}, {10, 1}};
	anim.type = 2;
	anim.frame = 5;
	anim.nFrames = -1;
	RecalculateModel(model, nodes, anim);
	EXPECT_EQ(model.morph[0][0], 0.5f);
	EXPECT_EQ(model.morph[0][1], 0.25f); // no keys: kept
	ExpectVec(Corner(0, 0).pos, {3, 4, 1});
}

TEST_F(SkinnedModel, BindPoseThenBoneAnimationMovesBoundAndBlendedCorners)
{
	ResetBones(model, nodes);
	ExpectVec(nodes[1].curRot, {20, -30, 45});
	test::ExpectMatrix(nodes[4].finalMatrix, kIdentity34, 0); // not blended here
	ExpectVec(Corner(1, 2).posedPos, {1, 2, 3});          // bind space
	const Vertex bound = Corner(0, 1);

	anim.type = 1;
	anim.nFrames = 10;
	anim.frame = 5;
	anim.bones.resize(4); // empty tracks: the bind pose
	RecalculateModel(model, nodes, anim);
	ExpectVec(Corner(0, 1).posedPos, {bound.posedPos[0], bound.posedPos[1], bound.posedPos[2]});
	for (const Vertex& v : model.meshTris[1][0].v) // weights summing to 1 keep bind-space corners
		ExpectVec(v.posedPos, {v.pos[0], v.pos[1], v.pos[2]}, 2e-5f);

	anim.bones[3].rotKeys[2] = {{0, 0}, {10, 90}}; // the branch turns 45 degrees about Z
	anim.bones[3].transKeys[0] = {{0, 0}, {10, 100}};
	anim.bones[3].scaleKeys[0] = {{0, 4}};
	RecalculateModel(model, nodes, anim);
	EXPECT_EQ(nodes[3].curRot[2], 45.0f);
	EXPECT_EQ(nodes[3].matrix[3], 50.0f);
	const Matrix34 skin3 = test::Product(nodes[3].finalMatrix, nodes[3].baseMatrix);
	const Matrix34& bone0 = nodes[0].finalMatrix;
	for (int c = 0; c < 3; ++c) {
		const Vertex& rigid = Corner(0, c);
		const Vertex& blended = Corner(1, c);
		for (int i = 0; i < 3; ++i) { // a quarter stays, three quarters follow the branch
			const auto apply = [&](const Matrix34& m, const float* p) {
				return m[i * 4] * p[0] + m[i * 4 + 1] * p[1] + m[i * 4 + 2] * p[2] + m[i * 4 + 3];
			};
			EXPECT_NEAR(rigid.posedPos[i], apply(bone0, rigid.pos), 1e-5f);
			EXPECT_NEAR(blended.posedPos[i], 0.25f * blended.pos[i] + 0.75f * apply(skin3, blended.pos), 1e-4f);
		}
	}
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

} // namespace
} // namespace zentarra
