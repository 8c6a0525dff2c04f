#include "anim/skinning.h"

#include "anim/bone_matrices.h"
#include "anim_test_util.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace zentarra {
namespace {

using test::ExpectVec;

Vertex MakeCorner(Vec3 pos, Vec3 nrm, int node)
{
	Vertex v;
	std::copy(pos.begin(), pos.end(), v.pos);
	std::copy(nrm.begin(), nrm.end(), v.nrm);
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
	nodes[0].finalMatrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
	v.nrm[2] = 5;
	CalcVertexPosition(v, nodes);
	ExpectVec(v.posedNrm, {0.25f, 0, 0});

	for (int node : {1, -1, 65535}) { // a node outside the table leaves the corner as stored
		Vertex w = MakeCorner({1, 2, 3}, {0, 0, -2}, node);
		CalcVertexPosition(w, nodes);
		EXPECT_EQ((std::vector<float>(w.posedPos, w.posedPos + 6)), (std::vector<float>{1, 2, 3, 0, 0, -1})) << node;
	}
}

// Mesh 0: position and normal array 0, node 0. Mesh 1: position array 0, no
// normals, weighted node 4. Arrays 1 and 2 are morph targets; position array 2
// is one entry short.
class SkinnedModel : public ::testing::Test {
protected:
	void SetUp() override
	{
		model.vtx = {{{1, 2, 3}, {0, 0, 0}, {-1, 4, 2}}, {{3, 6, -1}, {1, 1, 1}, {-1, 4, 4}}, {{5, 2, 3}, {0, 8, 0}}};
		model.nrm = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 1, 0}, {0, 1, 0}, {0, 2, 0}}};
		model.nMesh = 2;
		model.meshInfo.resize(2);
		model.meshInfo[0].vtxArray = model.meshInfo[0].nrmArray = model.meshInfo[1].vtxArray = 0;
		model.meshTris = {{Triangle()}, {Triangle()}};
		for (int c = 0; c < 3; ++c) {
			Corner(0, c) = MakeCorner(model.vtx[0][c], model.nrm[0][c], 0);
			Corner(0, c).posIndex = Corner(0, c).nrmIndex = c;
			Corner(1, c) = MakeCorner(model.vtx[0][2 - c], {0, 1, 0}, 4);
			Corner(1, c).posIndex = 2 - c;
		}
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

TEST_F(SkinnedModel, MorphBlendsFromTheStoredArrays)
{
	AddMorph({1}, {-1}, {2});
	CalcVertexAnimation(model, anim);
	CalcVertexAnimation(model, anim); // extrapolated once, not twice
	ExpectVec(Corner(0, 0).pos, {5, 10, -5});
	ExpectVec(Corner(1, 2).pos, {5, 10, -5}); // every mesh on the array
	ExpectVec(Corner(0, 0).nrm, {1, 0, 0});

	// normals only, made unit; a mesh without normal array keeps its own
	anim.vanim[0].vtxTarget = {-1};
	anim.vanim[0].nrmTarget = {1};
	model.morph[0][0] = 0.5f;
	CalcVertexAnimation(model, anim);
	ExpectVec(Corner(0, 0).pos, {1, 2, 3});
	ExpectVec(Corner(0, 0).nrm, {0.70710677f, 0.70710677f, 0});
	ExpectVec(Corner(0, 2).nrm, {0, 0.8944272f, 0.4472136f}, 1e-7f);
	ExpectVec(Corner(1, 0).nrm, {0, 1, 0});

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

TEST_F(SkinnedModel, RecalculateAndResetTouchOnlyWhatIsLoaded)
{
	ResetBones(model, nodes);
	const float y = Corner(0, 0).posedPos[1];
	AddMorph({1, 2}, {1, -1}, {1, 0.25f}); // weights present, but no vertex animation is loaded
	nodes[0].finalMatrix[7] += 100;        // a pose set by hand
	const std::vector<Node> before = nodes;
	RecalculateModel(model, nodes, anim);
	ExpectVec(Corner(0, 0).pos, {1, 2, 3});
	EXPECT_NEAR(Corner(0, 0).posedPos[1], y + 100, 1e-4f);
	for (std::size_t i = 0; i < nodes.size(); ++i)
		test::ExpectMatrix(nodes[i].finalMatrix, before[i].finalMatrix);

	// a vertex animation takes its weights at the global frame, even while bones mix their own
	anim.vanim[0].weightKeys[0] = {{0, 0}, {10, 1}};
	anim.type = 2;
	anim.frame = 5;
	anim.nFrames = -1;
	RecalculateModel(model, nodes, anim);
	EXPECT_EQ(model.morph[0], (std::vector{0.5f, 0.25f})); // no keys: kept
	ExpectVec(Corner(0, 0).pos, {3, 4, 1});

	ResetVertices(model, nodes, anim); // the stored arrays, zero weights
	ExpectVec(Corner(0, 0).pos, {1, 2, 3});
	ExpectVec(Corner(0, 2).nrm, {0, 0, 1});
	EXPECT_EQ(model.morph[0], (std::vector{0.0f, 0.0f}));

	// weights stay without a vertex animation; damaged indices keep their values
	anim.type = 0;
	model.morph[0][0] = 0.75f;
	Corner(0, 1).posIndex = 17;
	Corner(0, 1).pos[0] = 42;
	model.meshInfo[1].vtxArray = 5;
	Corner(1, 0).pos[0] = 43;
	ResetVertices(model, nodes, anim);
	EXPECT_EQ((std::vector{model.morph[0][0], Corner(0, 1).pos[0], Corner(1, 0).pos[0]}), (std::vector{0.75f, 42.0f, 43.0f}));
}

} // namespace
} // namespace zentarra
