// Models written by the test-only MDL0 writer, read back by ReadModel.
#include "archive/brres_directory.h"
#include "base/file_io.h"
#include "model/mdl0_reader.h"
#include "support/demo_archive.h"
#include "support/mdl0_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace zentarra;
using namespace zentarra::testing;
using Indices = std::array<int, 3>;

std::vector<Indices> PosIndices(const std::vector<Triangle>& tris)
{
	std::vector<Indices> out;
	for (const Triangle& t : tris)
		out.push_back({t.v[0].posIndex, t.v[1].posIndex, t.v[2].posIndex});
	return out;
}

std::vector<Indices> NodesOf(const std::vector<Triangle>& tris)
{
	std::vector<Indices> out;
	for (const Triangle& t : tris)
		out.push_back({t.v[0].node, t.v[1].node, t.v[2].node});
	return out;
}

template <std::size_t N>
std::vector<float> Flat(const std::vector<std::array<float, N>>& entries)
{
	std::vector<float> out;
	for (const auto& e : entries)
		out.insert(out.end(), e.begin(), e.end());
	return out;
}

// A float array of n entries (i, 2i, 3i).
VertexArray Ramp(const std::string& name, int n)
{
	VertexArray array{.name = name};
	for (int i = 0; i < n; ++i)
		array.values.insert(array.values.end(), {float(i), float(2 * i), float(3 * i)});
	return array;
}

TEST(WriterRoundTrip, EveryPartOfAModelReadsBack)
{
	Mdl0Model model;
	// array headers: format, shift, component count and data offset each read from their own field
	model.positions = {
		Ramp("pos", 600),
		{.name = "s16", .format = 3, .shift = 8, .values = {1.5f, -2.25f, 100, -128, 0.00390625f, 127.99609375f}},
		{.name = "u8xy", .format = 0, .components = 2, .values = {200, 1, 255, 0}},
	};
	model.normals = {Ramp("nrm", 600), {.name = "n16", .format = 3, .shift = 14, .values = {-1, 0, 1}}};
	model.colours = {{.format = 0, .values = {1, 0, 0, 1}}, {.format = 5}};
	for (int i = 0; i < 3; ++i)
		model.colours[1].values.insert(model.colours[1].values.end(), {1, float(i) / 255, 0, 0.2f});
	model.texCoords = {
		{.format = 4, .components = 2, .values = {1, 1, 0.5f, 4, -2, 0.25f}},
		{.format = 0, .shift = 4, .components = 1, .values = {0.0625f, 15.9375f}}, // data right behind the header
		{.format = 4, .components = 2},
	};
	for (int i = 0; i < 600; ++i)
		model.texCoords[2].values.insert(model.texCoords[2].values.end(), {float(i), 1});
	model.bones = {
		{.name = "root"},
		{.name = "arm", .node = 1, .parent = 0, .trans = {1, 0, 0}},
		{.name = "hand", .node = 2, .parent = 1, .trans = {0, 2, 0}},
	};
	model.nodeMix = {{.node = 3, .blend = {{1, 0.25f}, {2, 0.75f}}}};

	// 16-bit indices, and texture channel 1 without channel 0: its index is stepped over
	Mdl0Mesh wide{.name = "wide", .posSize = 2, .nrmSize = 2, .texSize = {0, 2},
		.primitives = {Triangles({300, 511, 599, 256, 1, 0})}};
	wide.nrmArray = 0;
	wide.uvArray[1] = 2;
	Mdl0Mesh kinds{.name = "kinds", .node = 2, .clrSize = 1, .texSize = {1},
		.primitives = {Quads({0, 1, 2, 0}), Triangles({2, 1, 0}), Strip({0, 1, 2, 0}), Fan({1, 2, 0, 1})}};
	kinds.clrArray = 1;
	kinds.uvArray[0] = 0;
	// slots fill in load order; the load at slot 0 starts the table again
	Mdl0Mesh skinned{.name = "skinned", .node = -1, .mtxCount = 2};
	skinned.primitives = {LoadMatrix(1, 0), LoadMatrix(3, 1), Triangles({At(0, 0), At(1, 1), At(2, 1)}),
		LoadMatrix(2, 0), Triangles({At(3, 0), At(4, 1), At(5, 0)})};
	model.meshes = {wide, kinds, skinned};
	model.materials = {{.name = "plain", .texGens = 0, .cull = 1},
		{.name = "wood", .cull = 3, .layers = {{.texture = "wood_tex", .palette = "wood_pal"}}, .scaleS = 2,
			.scaleT = 0.5f}};
	model.drawLists = {{"DrawOpa", {{.material = 0, .mesh = 0}, {.material = 1, .mesh = 1}}}};

	const ModelArchive archive = BuildModelArchive(model);
	ByteView view(archive.bytes);
	auto loaded = std::make_unique<LoadedModel>();
	const ModelReadResult result = ReadModel(view, archive.offset, *loaded);
	ASSERT_TRUE(result.ok) << result.message;
	EXPECT_FALSE(result.damaged) << result.message;
	const BRMDL& md = loaded->MD;

	EXPECT_EQ(loaded->names.positions, (std::vector<std::string>{"pos", "s16", "u8xy"}));
	EXPECT_EQ(md.vtxCount, (std::vector<int>{600, 2, 2}));
	EXPECT_EQ(Flat(md.vtx[1]), (std::vector<float>{1.5f, -2.25f, 100, -128, 0.00390625f, 127.99609375f}));
	EXPECT_EQ(Flat(md.vtx[2]), (std::vector<float>{200, 1, 0, 255, 0, 0}));
	EXPECT_EQ(loaded->names.normals, (std::vector<std::string>{"nrm", "n16"}));
	EXPECT_EQ(Flat(md.nrm[1]), (std::vector<float>{-1, 0, 1}));
	EXPECT_EQ(Flat(md.clr[0]), (std::vector<float>{1, 0, 0, 1}));
	EXPECT_EQ(md.clr[1][2], (Vec4{1, 2 / 255.0f, 0, 51 / 255.0f}));
	EXPECT_EQ(md.uvCount, (std::vector<int>{3, 1, 600}));
	EXPECT_EQ(Flat(md.uv[1]), (std::vector<float>{0.0625f, 15.9375f}));

	ASSERT_EQ(md.nMesh, 3);
	EXPECT_EQ(loaded->names.meshes, (std::vector<std::string>{"wide", "kinds", "skinned"}));
	EXPECT_EQ(PosIndices(md.meshTris[0]), (std::vector<Indices>{{599, 511, 300}, {0, 1, 256}}));
	const Vertex& far = md.meshTris[0][0].v[0];
	EXPECT_EQ((std::array{far.pos[0], far.nrm[2], far.uv[0]}), (std::array{599.0f, 3 * 599.0f, 0.0f}));
	EXPECT_EQ((std::array{far.nrmIndex, far.uvIndex}), (std::array{599, -1}));
	EXPECT_EQ(PosIndices(md.meshTris[1]),
		(std::vector<Indices>{{2, 1, 0}, {0, 2, 0}, {0, 1, 2}, {2, 1, 0}, {2, 0, 1}, {0, 2, 1}, {1, 0, 1}}));
	EXPECT_EQ(PosIndices(md.meshTris[2]), (std::vector<Indices>{{2, 1, 0}, {5, 4, 3}}));
	EXPECT_EQ(NodesOf(md.meshTris[2]), (std::vector<Indices>{{3, 3, 1}, {2, 3, 2}}));

	// skeleton: a chain and a weighted node
	EXPECT_EQ(loaded->names.bones, (std::vector<std::string>{"root", "arm", "hand"}));
	ASSERT_EQ(loaded->nNodes, 4);
	EXPECT_EQ(loaded->nodelist[2].parent, 1);
	EXPECT_EQ(loaded->nodelist[3].wNode, (std::vector<int>{1, 2}));
	EXPECT_EQ(loaded->nodelist[3].weight, (std::vector<float>{0.25f, 0.75f}));

	// materials through the draw list; the layer's scale applies to every corner
	EXPECT_EQ(md.meshMat, (std::vector<int>{0, 1, 0}));
	EXPECT_EQ(md.meshCull, (std::vector<int>{1, 3, 1}));
	EXPECT_EQ(md.texName[1], "wood_tex");
	EXPECT_EQ(md.palName[1], "wood_pal");
	const Vertex& corner = md.meshTris[1][0].v[0]; // uv entry 2: (-2, 0.25)
	EXPECT_EQ((std::array{corner.uv[0], corner.uv[1]}), (std::array{-4.0f, 0.125f}));
	EXPECT_EQ((std::array{corner.color[0], corner.color[3]}), (std::array{1.0f, 51 / 255.0f}));
	// bind pose: the hand-bound mesh moves by the chain
	EXPECT_EQ((std::array{corner.posedPos[0], corner.posedPos[1], corner.posedPos[2]}), (std::array{3.0f, 6.0f, 6.0f}));
}

// The shipped demo archive is up to date with its generator.
TEST(WriterDemo, ShippedArchiveIsCurrent)
{
	const FileBytes shipped = ReadWholeFile(std::string(ZENTARRA_SOURCE_DIR) + "/samples/demo.brres");
	ASSERT_EQ(shipped.status, ReadStatus::Ok);
	EXPECT_TRUE(shipped.bytes == DemoArchive()) << "run 'make demo'";
}

TEST(WriterDemo, ModelReadsWholeWithWhatItClaims)
{
	const Bytes archive = DemoArchive();
	OpenArchives items;
	ByteView scan(archive);
	ReadBRRES(scan, "demo.brres", items, nullptr);
	std::size_t offset = 0;
	for (const ItemRecord& item : items.items())
		if (item.kind == ItemKind::MDL0)
			offset = item.offset;
	ASSERT_NE(offset, 0u);
	ByteView view(archive);
	auto model = std::make_unique<LoadedModel>();
	const ModelReadResult result = ReadModel(view, offset, *model);
	ASSERT_TRUE(result.ok) << result.message;
	EXPECT_FALSE(result.damaged) << result.message;
	const BRMDL& md = model->MD;

	EXPECT_EQ(model->names.meshes, (std::vector<std::string>{"crate_box", "crate_lid", "crate_label", "crate_shadow"}));
	EXPECT_EQ(md.vtxCount, (std::vector<int>{8, 13, 4, 4, 13})); // the last: the lid bulged, a morph target
	EXPECT_EQ(md.uvCount, (std::vector<int>{4, 15, 4, 4}));
	ASSERT_EQ(md.meshTris.size(), 4u);
	EXPECT_EQ(md.meshTris[0].size(), 10u); // five quads
	EXPECT_EQ(md.meshTris[1].size(), 16u); // fan 4, strip 8, quad 2, triangles 2
	EXPECT_EQ(md.meshTris[2].size(), 2u);
	EXPECT_EQ(md.meshTris[3].size(), 2u);
	EXPECT_EQ(model->nNodes, 5);
	EXPECT_EQ(model->nodelist[4].wNode, (std::vector<int>{1, 2}));
	EXPECT_EQ(md.texName, (std::vector<std::string>{"crate_wood", "crate_band", "crate_label", "crate_shadow"}));
	EXPECT_EQ(md.palName, (std::vector<std::string>{"", "crate_band", "crate_label", ""}));
	EXPECT_EQ(md.matMirror, (std::vector<int>{0, 1, 0, 0}));
	EXPECT_EQ(md.meshMat, (std::vector<int>{0, 1, 2, 3}));

	for (int m = 0; m < 4; ++m)
		for (const Triangle& t : md.meshTris[std::size_t(m)]) {
			// corners run counter-clockwise seen from outside: the face normal
			// agrees with every corner's normal
			const float* a = t.v[0].posedPos;
			const float* b = t.v[1].posedPos;
			const float* c = t.v[2].posedPos;
			const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
			const float w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
			const float face[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
			for (const Vertex& v : t.v)
				EXPECT_GT(face[0] * v.posedNrm[0] + face[1] * v.posedNrm[1] + face[2] * v.posedNrm[2], 0)
					<< "mesh " << m << " corner " << v.posIndex;
		}
	// the lid's front corners sit in the lid's space and come out at the front
	const Vertex& front = md.meshTris[1][1].v[0];
	EXPECT_EQ(front.posIndex, 2);
	EXPECT_EQ((std::array{front.posedPos[0], front.posedPos[1], front.posedPos[2]}), (std::array{1.0f, 2.25f, 1.0f}));
}

} // namespace
