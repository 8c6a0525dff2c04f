// Models written by the test-only MDL0 writer, read back by ReadModel.
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
using Indices = std::array<int, 4>; // position index of each corner, then the first corner's node

std::vector<Indices> CornersOf(const std::vector<Triangle>& tris)
{
	std::vector<Indices> out;
	for (const Triangle& t : tris)
		out.push_back({t.v[0].posIndex, t.v[1].posIndex, t.v[2].posIndex, t.v[0].node});
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

TEST(WriterRoundTrip, ArrayHeadersIndexWidthsAndMatrixLoads)
{
	Mdl0Model model;
	// array headers: format, shift, component count and data offset each read from their own field
	model.positions = {{.name = "pos"},
		{.name = "s16", .format = 3, .shift = 8, .values = {1.5f, -2.25f, 100, -128, 0.00390625f, 127.99609375f}},
		{.name = "u8xy", .format = 0, .components = 2, .values = {200, 1, 255, 0}}};
	model.normals = {{.name = "nrm"}, {.name = "n16", .format = 3, .shift = 14, .values = {-1, 0, 1}}};
	model.colours = {{.format = 0, .values = {1, 0, 0, 1}}, {.format = 5, .values = {1, 2 / 255.0f, 0, 0.2f}}};
	model.texCoords = {{.format = 0, .shift = 4, .components = 1, .values = {0.0625f, 15.9375f}}, // data behind the header
		{.format = 4, .components = 2}};
	for (int i = 0; i < 600; ++i) {
		model.positions[0].values.insert(model.positions[0].values.end(), {float(i), float(2 * i), float(3 * i)});
		model.normals[0].values.insert(model.normals[0].values.end(), {0, 0, float(i)});
		model.texCoords[1].values.insert(model.texCoords[1].values.end(), {float(i), 1});
	}
	model.bones = {{.name = "root"}, {.name = "arm", .node = 1, .parent = 0}, {.name = "hand", .node = 2, .parent = 1}};
	model.nodeMix = {{.node = 3, .blend = {{1, 0.25f}, {2, 0.75f}}}};
	// 16-bit indices, and texture channel 1 without channel 0: its index is stepped over
	Mdl0Mesh wide{.name = "wide", .nrmArray = 0, .posSize = 2, .nrmSize = 2, .texSize = {0, 2},
		.primitives = {Triangles({300, 511, 599, 256, 1, 0})}};
	wide.uvArray[1] = 1;
	// slots fill in load order; the load at slot 0 starts the table again
	Mdl0Mesh skinned{.name = "skinned", .node = -1, .mtxCount = 2};
	skinned.primitives = {LoadMatrix(1, 0), LoadMatrix(3, 1), Triangles({At(0, 0), At(1, 1), At(2, 1)}),
		LoadMatrix(2, 0), Triangles({At(3, 0), At(4, 1), At(5, 0)})};
	model.meshes = {wide, skinned};

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
	EXPECT_EQ(Flat(md.nrm[1]), (std::vector<float>{-1, 0, 1}));
	EXPECT_EQ(Flat(md.clr[0]), (std::vector<float>{1, 0, 0, 1}));
	EXPECT_EQ(Flat(md.clr[1]), (std::vector<float>{1, 2 / 255.0f, 0, 51 / 255.0f}));
	EXPECT_EQ(md.uvCount, (std::vector<int>{1, 600}));
	EXPECT_EQ(Flat(md.uv[0]), (std::vector<float>{0.0625f, 15.9375f}));

	ASSERT_EQ(md.nMesh, 2);
	EXPECT_EQ(CornersOf(md.meshTris[0]), (std::vector<Indices>{{599, 511, 300, 0}, {0, 1, 256, 0}}));
	const Vertex& far = md.meshTris[0][0].v[0];
	EXPECT_EQ((std::array{far.nrm[2], far.uv[0], far.uv[1]}), (std::array{599.0f, 0.0f, 0.0f}));
	EXPECT_EQ((std::array{far.nrmIndex, far.uvIndex}), (std::array{599, -1}));
	EXPECT_EQ(CornersOf(md.meshTris[1]), (std::vector<Indices>{{2, 1, 0, 3}, {5, 4, 3, 2}}));
	EXPECT_EQ((std::array{md.meshTris[1][0].v[2].node, md.meshTris[1][1].v[1].node}), (std::array{1, 3}));
}

// The shipped demo archive is up to date with its generator.
TEST(WriterDemo, ShippedArchiveIsCurrent)
{
	const FileBytes shipped = ReadWholeFile(std::string(ZENTARRA_SOURCE_DIR) + "/samples/demo.brres");
	ASSERT_EQ(shipped.status, ReadStatus::Ok);
	EXPECT_TRUE(shipped.bytes == DemoArchive()) << "run 'make demo'";
}

} // namespace
