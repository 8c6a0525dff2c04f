// OBJ and MTL text of a hand-built model against a hand-written file.
#include "export/cli_run.h"
#include "export/obj.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

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
