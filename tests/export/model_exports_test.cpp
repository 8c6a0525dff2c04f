// OBJ, PSK, PSA and MD5 files of small hand-built models and animations against
// hand-written files; the quaternion of a matrix; refusals; damaged skeletons.
#include "anim/bone_matrices.h"
#include "anim/skinning.h"
#include "base/file_io.h"
#include "export/cli_run.h"
#include "export/md5.h"
#include "export/psk.h"
#include "support/corpus.h"
#include "export/obj.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>

namespace zentarra {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

Vertex SkinCorner(int pos, int uv, int node)
{
	return {.posIndex = pos, .uvIndex = uv, .node = node};
}

// Bones root (node 0), arm (node 1: at (1, 2, 3), turned 90 degrees about Z)
// and hand (node 2: one unit along the arm's Y); node 3 blends arm 0.25 and
// hand 0.75. Meshes: "body", two triangles on the arm sharing an edge, with
// texture coordinates and material 0 ("skin_tex"); "hidden", one triangle of
// the body's corners, hidden; "skin", one triangle of two blended corners and
// one on the hand, without texture coordinates, material 1 (no texture).
// In the bind pose.
LoadedModel SkeletalModel()
{
	LoadedModel model;
	model.nBones = 3;
	model.bonemap = {0, 1, 2};
	model.names.bones = {"root", "arm", "hand"};
	model.nNodes = 4;
	model.nodelist.resize(4);
	for (int n = 0; n < 3; ++n) {
		model.nodelist[n].bone = n;
		model.nodelist[n].parent = n - 1;
	}
	model.nodelist[1].rot[2] = 90;
	std::copy_n(std::array{1.0f, 2.0f, 3.0f}.begin(), 3, model.nodelist[1].trans);
	model.nodelist[2].trans[1] = 1;
	model.nodelist[3].nWeights = 2;
	model.nodelist[3].wNode = {1, 2};
	model.nodelist[3].weight = {0.25f, 0.75f};

	BRMDL& md = model.MD;
	md.nVtx = 2;
	md.vtx = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{1, 2, 3}, {0, 3, 3}, {0.5f, 0, 0}}};
	md.nUV = 1;
	md.uv = {{{0, 0}, {1, 0}, {0, 1}, {0.25f, 0.75f}}};
	md.nMesh = 3;
	md.meshInfo.resize(3);
	md.meshInfo[0].vtxArray = md.meshInfo[1].vtxArray = 0;
	md.meshInfo[0].uvArray[0] = md.meshInfo[1].uvArray[0] = 0;
	md.meshInfo[2].vtxArray = 1;
	md.meshVisible = {1, 0, 1};
	md.meshMat = {0, 0, 1};
	md.hasMat = 1;
	md.nMat = 2;
	md.texName = {"skin_tex", ""};
	md.meshTris = {
		{{{SkinCorner(0, 0, 1), SkinCorner(1, 1, 1), SkinCorner(2, 2, 1)}},
			{{SkinCorner(1, 1, 1), SkinCorner(3, 3, 1), SkinCorner(2, 2, 1)}}},
		{{{SkinCorner(0, 0, 1), SkinCorner(1, 1, 1), SkinCorner(3, 3, 1)}}},
		{{{SkinCorner(0, -1, 3), SkinCorner(1, -1, 3), SkinCorner(2, -1, 2)}}},
	};
	ResetBones(md, model.nodelist);
	return model;
}

// Three frames: the root still, the arm turning about Z from 0 to 90 degrees
// at its bind place (and scaled, which is never exported); the hand has no
// record, so its tracks count as 0.
AnimState SkeletalAnimation()
{
	AnimState anim;
	anim.type = 1;
	anim.nFrames = 3;
	anim.bones.resize(2);
	for (BoneAnim& bone : anim.bones)
		for (std::size_t i = 0; i < 3; ++i)
			bone.scaleKeys[i] = bone.rotKeys[i] = bone.transKeys[i] = {{0, 0}};
	anim.bones[1].rotKeys[2] = {{0, 0}, {2, 90}};
	for (std::size_t i = 0; i < 3; ++i)
		anim.bones[1].transKeys[i] = {{0, float(i + 1)}};
	anim.bones[1].scaleKeys[0] = {{0, 5}};
	return anim;
}

const std::string kData = ZENTARRA_SOURCE_DIR "/tests/export/data/";

std::string Expected(const char* name)
{
	return testing::ReadText(kData + name);
}

std::vector<std::uint8_t> ExpectedBytes(const char* name)
{
	return ReadWholeFile(kData + name).bytes;
}

// PSK: points posed and written (z, x, y), the hidden mesh left out; wedge
// numbers run on across meshes; faces reversed; bones in their local pose, the
// root's parent 0. Without the flag the hidden mesh's wedges come between.
// Without a material section: an empty MATT0000, material 0 everywhere, every shader "none".
TEST(ExportToPSKAndMD5, SmallSkinnedModel)
{
	EXPECT_EQ(ExportToPSK(SkeletalModel(), true).bytes, ExpectedBytes("skeletal.psk"));
	EXPECT_EQ(ExportToMD5(SkeletalModel(), true), Expected("skeletal.md5mesh"));
	EXPECT_EQ(ExportToPSK(SkeletalModel(), false).bytes, ExpectedBytes("skeletal_all.psk"));
	LoadedModel bare = SkeletalModel();
	bare.MD.hasMat = 0;
	bare.MD.nMat = 0;
	EXPECT_EQ(ExportToPSK(bare, true).bytes, ExpectedBytes("skeletal_bare.psk"));
	EXPECT_THAT(ExportToMD5(bare, true), Not(HasSubstr("skin_tex")));
	EXPECT_EQ(ExportToPSK(LoadedModel(), true).bytes, ExpectedBytes("empty.psk"));
	EXPECT_EQ(ExportToMD5(LoadedModel(), true),
		"MD5Version 10\ncommandline \"\"\n\nnumJoints 0\nnumMeshes 0\n\njoints {\n}\n");
}

// One mesh of 65538 distinct corners but for the last `repeats`, equal to the
// first ones: three repeats leave 65535 wedges; two, one too many for 16 bits.
TEST(ExportToPSK, WedgeNumbersMustFitSixteenBits)
{
	for (const std::size_t repeats : {3, 2}) {
		LoadedModel model;
		model.MD.nMesh = 1;
		std::vector<Triangle>& tris = model.MD.meshTris.emplace_back(21846);
		for (std::size_t k = 0, corners = 21846 * 3; k < corners; ++k)
			tris[k / 3].v[k % 3].posIndex = int(k + repeats < corners ? k : k + repeats - corners);
		const BinaryExport psk = ExportToPSK(model, true);
		EXPECT_EQ(std::tuple(psk.ok, psk.message, psk.bytes.empty()),
			std::tuple(repeats == 3, repeats == 3 ? std::string_view() : kTooManyWedges, repeats == 2));
	}
}

TEST(ExportToMD5AndPSK, DamagedSkeletonKeepsCountsConsistent)
{
	LoadedModel model = SkeletalModel();
	model.MD.meshTris[0][0].v[0].node = 99;    // a corner naming no node
	model.nodelist[3].wNode = {1, 42};         // a blend naming no node
	model.nodelist[3].nWeights = 5;            // more weights than listed
	model.MD.meshTris[2][0].v[2].posIndex = 7; // beyond its position array
	model.MD.meshMat[2] = 9;                   // no such material
	model.bonemap[2] = 17;                     // a bone without a node
	model.nodelist[1].bone = 40;               // a node naming no bone

	// bone 0 at weight 1 stands in for every unusable influence
	EXPECT_EQ(ExportToPSK(model, true).bytes, ExpectedBytes("skeletal_damaged.psk"));
	// the MD5 vertex lines announce exactly the weight lines that follow
	EXPECT_EQ(ExportToMD5(model, true), Expected("skeletal_damaged.md5mesh"));
}

TEST(GetQuatFromMatrix, IdentityTurnsAndSigns)
{
	EXPECT_EQ(GetQuatFromMatrix(kIdentity34), (std::array<float, 4>{1, 0, 0, 0}));
	// each imaginary part takes the sign of its off-diagonal difference: the inverse turn
	Node node;
	CalcNodeMatrix(node, Transfo{{1, 1, 1}, {60, 0, 0}, {7, 8, 9}});
	const std::array<float, 4> x60 = GetQuatFromMatrix(node.matrix);
	EXPECT_NEAR(x60[0], 0.8660254f, 1e-7f);
	EXPECT_NEAR(x60[1], -0.5f, 1e-7f);
	// a zero part with a negative difference is -0; a negative radicand gives 0
	Matrix34 m = kIdentity34;
	m[1] = -0.5f; // m01 - m10 = -1, z's radicand 1 - 1 - 1 + 1 = 0
	m[4] = 0.5f;
	EXPECT_EQ(std::bit_cast<std::uint32_t>(GetQuatFromMatrix(m)[3]), std::bit_cast<std::uint32_t>(-0.0f));
	EXPECT_EQ(GetQuatFromMatrix(Matrix34{-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0})[0], 0.0f);
}

// Frame-major keys: translation (z, x, y), rotation (z, x, y, w), time; the
// hand has no tracks; scale is not exported; track time is frames x 30.
// Names longer than their field keep a terminating NUL; missing names are empty.
TEST(ExportAnimToPSA, SmallAnimation)
{
	const BinaryExport psa = ExportAnimToPSA(SkeletalAnimation(), 3, std::vector<std::string>{"root", "arm", "hand"}, "wave");
	ASSERT_TRUE(psa.ok) << psa.message;
	EXPECT_EQ(psa.bytes, ExpectedBytes("skeletal.psa"));
	AnimState one = SkeletalAnimation();
	one.nFrames = 1;
	const std::string longName(100, 'n');
	EXPECT_EQ(ExportAnimToPSA(one, 2, std::vector<std::string>{longName}, longName).bytes, ExpectedBytes("long_names.psa"));
}

// The bounds: (0 - 0.3) x 2 = -0.6, (3 + 0.3) x 2 = 6.6 truncated toward zero.
TEST(ExportAnimToMD5, SmallAnimationAndBoundsTruncatedTowardZero)
{
	const auto exported = [](float radius) {
		const TextExport result = ExportAnimToMD5(SkeletalAnimation(), SkeletalModel(), radius);
		EXPECT_TRUE(result.ok) << result.message;
		return result.text;
	};
	EXPECT_EQ(exported(1.5f), Expected("skeletal.md5anim"));
	EXPECT_THAT(exported(0.3f), HasSubstr("bounds {\n\t( 0 0 0 ) ( 6 6 6 )\n"));
}

// The bind values are never what is written.
Vertex Corner(int pos, int nrm, int uv, int node, Vec3 posed = {}, Vec3 normal = {}, Vec2 texCoord = {})
{
	return {.pos = {99, 99, 99}, .posIndex = pos, .nrm = {99, 99, 99}, .nrmIndex = nrm, .uv = {texCoord[0], texCoord[1]},
		.uvIndex = uv, .node = node, .posedPos = {posed[0], posed[1], posed[2]}, .posedNrm = {normal[0], normal[1], normal[2]}};
}

// Four meshes: "body", two triangles sharing an edge; "hidden"; "empty",
// without triangles; "tail", whose corners share a position index but not a
// uv index, so two equal v lines. Material 1 is textured, material 2 is not.
BRMDL SmallModel()
{
	BRMDL md;
	md.nMesh = 4;
	md.meshVisible = {1, 0, 1, 1};
	md.meshMat = {0, 1, 0, 1};
	md.hasMat = 1;
	md.nMat = 2;
	md.texName = {"skin", ""};
	md.palName = {"", ""};
	const Vec3 up{0, 0, 1}, none{0, 0, 0};
	const Vertex b = Corner(1, 0, 1, 0, {1, 0, 0}, up, {1, 0}), c = Corner(2, 0, 2, 0, {0, 1, 0}, up, {0, 1});
	// the second triangle's first corner has b's indices: its values are never looked at
	md.meshTris = {{{{Corner(0, 0, 0, 0, {0, 0, 0}, up, {0, 0}), b, c}},
					   {{Corner(1, 0, 1, 0, {9, 9, 9}, {9, 9, 9}, {9, 9}), Corner(3, 0, 3, 0, {1, 1, 0}, up, {1, 0.25f}), c}}},
		{{{Corner(0, 0, 0, 1, {5, 5, 5}, up), Corner(1, 0, 0, 1, {6, 6, 6}, up), Corner(2, 0, 0, 1, {7, 7, 7}, up)}}},
		{},
		{{{Corner(0, -2, 0, 0, {0.5f, -0.25f, 2}, none, {0.5f, 0.5f}), // no normals in this mesh
			Corner(0, -2, 1, 0, {0.5f, -0.25f, 2}, none, {0.125f, 1}),
			Corner(4, -2, 2, 0, {-1e-7f, 123456.789f, -0.0f}, none, {-1, 2})}}}};
	return md;
}

TEST(ExportToOBJ, SmallModelAndItsVariants)
{
	ModelNames names;
	names.meshes = {"body", "hidden", "empty", "tail"};
	const std::string expected = testing::ReadText(ZENTARRA_SOURCE_DIR "/tests/export/data/small.obj");
	EXPECT_EQ(ExportToOBJ(SmallModel(), names, "small", true), expected);
	// without the flag the hidden mesh is written, and the tail numbers on behind it
	const std::string all = ExportToOBJ(SmallModel(), names, "small", false);
	EXPECT_NE(all.find("\ng hidden\ns 1\nusemtl mat2\nf 5/5/5 6/6/6 7/7/7\n\n"), std::string::npos) << all;
	EXPECT_NE(all.find("\ng tail\ns 1\nusemtl mat2\nf 8/8/8 9/9/9 10/10/10\n\n"), std::string::npos) << all;

	EXPECT_EQ(ExportToOBJ(BRMDL(), {}, "nothing", true), "mtllib nothing.mtl\n\n");
	BRMDL bare = SmallModel(); // no material section: each group still names mat1, no library text
	bare.nMesh = 1;
	bare.hasMat = bare.nMat = 0;
	bare.texName.clear();
	EXPECT_NE(ExportToOBJ(bare, names, "m", true).find("\ng body\ns 1\nusemtl mat1\n"), std::string::npos);
	EXPECT_EQ(MtlText(bare), "");
	EXPECT_EQ(MtlPathFor("/tmp/a.b/x.OBJ"), std::filesystem::path("/tmp/a.b/x.mtl"));
}

} // namespace
} // namespace zentarra
