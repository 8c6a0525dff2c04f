// Models written by the test-only MDL0 writer, read back by ReadModel.
#include "archive/brres_directory.h"
#include "base/file_io.h"
#include "model/mdl0_reader.h"
#include "support/demo_archive.h"
#include "support/mdl0_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace zentarra;
using namespace zentarra::testing;

struct Loaded {
	ModelArchive archive;
	ModelReadResult result;
	std::unique_ptr<LoadedModel> model = std::make_unique<LoadedModel>();

	const BRMDL& md() const { return model->MD; }
	const std::vector<Triangle>& tris(int mesh) const { return model->MD.meshTris.at(std::size_t(mesh)); }
};

Loaded Read(const Mdl0Model& description)
{
	Loaded loaded;
	loaded.archive = BuildModelArchive(description);
	ByteView view(loaded.archive.bytes);
	loaded.result = ReadModel(view, loaded.archive.offset, *loaded.model);
	return loaded;
}

// Reads and expects a whole model.
#define READ_CLEAN(name, description)                                          \
	const Loaded name = Read(description);                                     \
	ASSERT_TRUE(name.result.ok) << name.result.message;                        \
	EXPECT_FALSE(name.result.damaged) << name.result.message

using Indices = std::array<int, 3>;

std::vector<Indices> PosIndices(const std::vector<Triangle>& tris)
{
	std::vector<Indices> out;
	for (const Triangle& t : tris)
		out.push_back({t.v[0].posIndex, t.v[1].posIndex, t.v[2].posIndex});
	return out;
}

std::vector<float> Flat(const std::vector<Vec3>& entries)
{
	std::vector<float> out;
	for (const Vec3& e : entries)
		out.insert(out.end(), e.begin(), e.end());
	return out;
}

std::vector<float> Flat(const std::vector<Vec2>& entries)
{
	std::vector<float> out;
	for (const Vec2& e : entries)
		out.insert(out.end(), e.begin(), e.end());
	return out;
}

std::vector<float> Flat(const std::vector<Vec4>& entries)
{
	std::vector<float> out;
	for (const Vec4& e : entries)
		out.insert(out.end(), e.begin(), e.end());
	return out;
}

// A float array of n positions (i, 2i, 3i) for position i.
VertexArray Ramp(const std::string& name, int n)
{
	VertexArray array{.name = name};
	for (int i = 0; i < n; ++i)
		array.values.insert(array.values.end(), {float(i), float(2 * i), float(3 * i)});
	return array;
}

// A model with one float position array and a single-bind mesh on bone 0.
Mdl0Model OneMesh(std::vector<Primitive> primitives, int positions = 16)
{
	Mdl0Model model;
	model.positions = {Ramp("pos", positions)};
	model.bones = {{.name = "root"}};
	model.meshes = {{.name = "mesh", .primitives = std::move(primitives)}};
	return model;
}

TEST(WriterRoundTrip, ArraysDecodeInEveryFormat)
{
	Mdl0Model model = OneMesh({Triangles({0, 1, 2})});
	model.positions = {
		{.name = "float", .format = 4, .shift = 10, .values = {1.25f, -2.5f, 1e6f, 0.1f, 0, -0.0f, 3, 4, 5}}, // no shift for floats
		{.name = "s16", .format = 3, .shift = 8, .values = {1.5f, -2.25f, 100, -128, 0.00390625f, 127.99609375f}},
		{.name = "u8xy", .format = 0, .shift = 0, .components = 2, .values = {200, 1, 255, 0}},
		{.name = "s8", .format = 1, .shift = 1, .values = {-0.5f, 63.5f, -64}},
		{.name = "u16", .format = 2, .shift = 4, .values = {4095.9375f, 0.0625f, 7}},
	};
	model.normals = {
		{.name = "n16", .format = 3, .shift = 14, .values = {-1, 0, 1, 0.5f, -0.25f, 0}},
		{.name = "nf", .format = 4, .values = {0.6f, 0.8f, 0}},
	};
	model.colours = {
		{.format = 0, .values = {1, 0, 0, 1, 0, 1, 0, 1, 10 / 31.0f, 20 / 63.0f, 30 / 31.0f, 1}},
		{.format = 1, .values = {1, 128 / 255.0f, 0, 1}},
		{.format = 2, .values = {16 / 255.0f, 32 / 255.0f, 48 / 255.0f, 64 / 255.0f}}, // alpha byte stored, not read
		{.format = 3, .values = {8 / 15.0f, 1, 0, 1}},
		{.format = 4, .values = {1, 0, 1, 0, 5 / 63.0f, 17 / 63.0f, 33 / 63.0f, 62 / 63.0f}},
		{.format = 5, .values = {1 / 255.0f, 2 / 255.0f, 3 / 255.0f, 4 / 255.0f}},
		{.format = 9, .values = {0, 1, 0, 128 / 255.0f}}, // unknown: RGBA8
	};
	model.texCoords = {
		{.format = 4, .components = 2, .values = {0.5f, 0.25f, -1, 2}},
		{.format = 0, .shift = 4, .components = 1, .values = {0.0625f, 15.9375f}}, // data right behind the header
		{.format = 3, .shift = 12, .components = 2, .values = {-8, 7.999755859375f}},
	};
	READ_CLEAN(loaded, model);
	const BRMDL& md = loaded.md();

	ASSERT_EQ(md.nVtx, 5);
	EXPECT_EQ(md.vtxCount, (std::vector<int>{3, 2, 2, 1, 1}));
	EXPECT_EQ(loaded.model->names.positions, (std::vector<std::string>{"float", "s16", "u8xy", "s8", "u16"}));
	EXPECT_EQ(Flat(md.vtx[0]), (std::vector<float>{1.25f, -2.5f, 1e6f, 0.1f, 0, -0.0f, 3, 4, 5}));
	EXPECT_TRUE(std::signbit(md.vtx[0][1][2]));
	EXPECT_EQ(Flat(md.vtx[1]), (std::vector<float>{1.5f, -2.25f, 100, -128, 0.00390625f, 127.99609375f}));
	EXPECT_EQ(Flat(md.vtx[2]), (std::vector<float>{200, 1, 0, 255, 0, 0})); // two components: z = 0
	EXPECT_EQ(Flat(md.vtx[3]), (std::vector<float>{-0.5f, 63.5f, -64}));
	EXPECT_EQ(Flat(md.vtx[4]), (std::vector<float>{4095.9375f, 0.0625f, 7}));

	ASSERT_EQ(md.nNrm, 2);
	EXPECT_EQ(md.nrmCount, (std::vector<int>{2, 1}));
	EXPECT_EQ(loaded.model->names.normals, (std::vector<std::string>{"n16", "nf"}));
	EXPECT_EQ(Flat(md.nrm[0]), (std::vector<float>{-1, 0, 1, 0.5f, -0.25f, 0}));
	EXPECT_EQ(Flat(md.nrm[1]), (std::vector<float>{0.6f, 0.8f, 0}));

	ASSERT_EQ(md.nClr, 7);
	EXPECT_EQ(md.clrCount, (std::vector<int>{3, 1, 1, 1, 2, 1, 1}));
	EXPECT_EQ(Flat(md.clr[0]), (std::vector<float>{1, 0, 0, 1, 0, 1, 0, 1, 10 / 31.0f, 20 / 63.0f, 30 / 31.0f, 1}));
	EXPECT_EQ(Flat(md.clr[1]), (std::vector<float>{1, 128 / 255.0f, 0, 1}));
	EXPECT_EQ(Flat(md.clr[2]), (std::vector<float>{16 / 255.0f, 32 / 255.0f, 48 / 255.0f, 1}));
	EXPECT_EQ(Flat(md.clr[3]), (std::vector<float>{8 / 15.0f, 1, 0, 1}));
	EXPECT_EQ(Flat(md.clr[4]), (std::vector<float>{1, 0, 1, 0, 5 / 63.0f, 17 / 63.0f, 33 / 63.0f, 62 / 63.0f}));
	EXPECT_EQ(Flat(md.clr[5]), (std::vector<float>{1 / 255.0f, 2 / 255.0f, 3 / 255.0f, 4 / 255.0f}));
	EXPECT_EQ(Flat(md.clr[6]), (std::vector<float>{0, 1, 0, 128 / 255.0f}));

	ASSERT_EQ(md.nUV, 3);
	EXPECT_EQ(md.uvCount, (std::vector<int>{2, 1, 1}));
	EXPECT_EQ(Flat(md.uv[0]), (std::vector<float>{0.5f, 0.25f, -1, 2}));
	EXPECT_EQ(Flat(md.uv[1]), (std::vector<float>{0.0625f, 15.9375f}));
	EXPECT_EQ(Flat(md.uv[2]), (std::vector<float>{-8, 7.999755859375f}));
}

TEST(WriterRoundTrip, PrimitivesBecomeTrianglesWithReversedCorners)
{
	Mdl0Model model = OneMesh({
		Quads({0, 1, 2, 3, 4, 5, 6, 7}),
		Triangles({10, 11, 12, 13, 14, 15}),
		Strip({20, 21, 22, 23, 24, 25}),
		Fan({30, 31, 32, 33, 34}),
		Strip({40, 41, 42}),
	}, 48);
	model.normals = {Ramp("nrm", 48)};
	model.colours = {{.format = 5}};
	for (int i = 0; i < 48; ++i)
		model.colours[0].values.insert(model.colours[0].values.end(), {float(i) / 255, 0, 1, 1});
	model.texCoords = {{.format = 4, .components = 2}};
	for (int i = 0; i < 48; ++i)
		model.texCoords[0].values.insert(model.texCoords[0].values.end(), {float(i), -float(i)});
	Mdl0Mesh& mesh = model.meshes[0];
	mesh.nrmArray = mesh.clrArray = mesh.uvArray[0] = 0;
	mesh.nrmSize = mesh.clrSize = mesh.texSize[0] = 1;
	READ_CLEAN(loaded, model);

	EXPECT_EQ(PosIndices(loaded.tris(0)), (std::vector<Indices>{
		{2, 1, 0}, {3, 2, 0}, {6, 5, 4}, {7, 6, 4},       // quads split from the first to the third corner
		{12, 11, 10}, {15, 14, 13},                       // triangles
		{22, 21, 20}, {22, 23, 21}, {24, 23, 22}, {24, 25, 23}, // strip: every other one flipped
		{32, 31, 30}, {33, 32, 30}, {34, 33, 30},         // fan
		{42, 41, 40},
	}));
	// every corner carries the entries its indices name
	for (const Triangle& t : loaded.tris(0))
		for (const Vertex& v : t.v) {
			const float i = float(v.posIndex);
			EXPECT_EQ(v.pos[0], i);
			EXPECT_EQ(v.pos[2], 3 * i);
			EXPECT_EQ(v.nrmIndex, v.posIndex);
			EXPECT_EQ(v.nrm[1], 2 * i);
			EXPECT_EQ(v.color[0], i / 255);
			EXPECT_EQ(v.color[2], 1.0f);
			EXPECT_EQ(v.uvIndex, v.posIndex);
			EXPECT_EQ(v.uv[0], i); // no materials: not scaled
			EXPECT_EQ(v.uv[1], -i);
			EXPECT_EQ(v.node, 0);
			EXPECT_EQ(v.posedPos[1], 2 * i); // root at the origin
		}
}

TEST(WriterRoundTrip, IndexWidthsAndAbsentAttributes)
{
	// 16-bit indices beyond 255, and texture channel 1 without channel 0:
	// the channel-1 index must be stepped over, not taken as channel 0.
	Mdl0Model model = OneMesh({}, 600);
	model.normals = {Ramp("nrm", 600)};
	model.texCoords = {{.format = 4, .components = 2, .values = {9, 9}}, {.format = 4, .components = 2}};
	for (int i = 0; i < 600; ++i)
		model.texCoords[1].values.insert(model.texCoords[1].values.end(), {float(i), 1});
	Mdl0Mesh wide{.name = "wide", .posSize = 2, .nrmSize = 2, .texSize = {0, 2}};
	wide.nrmArray = 0;
	wide.uvArray[1] = 1;
	wide.primitives = {Triangles({300, 511, 599, 256, 1, 0})};
	Mdl0Mesh bare{.name = "bare", .primitives = {Fan({5, 6, 7, 8})}};
	Mdl0Mesh twoMatrices{.name = "two_matrices", .mtxCount = 2, .primitives = {Strip({1, 2, 3, 4})}};
	model.meshes = {wide, bare, twoMatrices};
	READ_CLEAN(loaded, model);
	ASSERT_EQ(loaded.md().nMesh, 3);
	EXPECT_EQ(loaded.model->names.meshes, (std::vector<std::string>{"wide", "bare", "two_matrices"}));

	EXPECT_EQ(PosIndices(loaded.tris(0)), (std::vector<Indices>{{599, 511, 300}, {0, 1, 256}}));
	const Vertex& far = loaded.tris(0)[0].v[0];
	EXPECT_EQ(far.pos[0], 599.0f);
	EXPECT_EQ(far.nrmIndex, 599);
	EXPECT_EQ(far.nrm[2], 3 * 599.0f);
	EXPECT_EQ(far.uvIndex, -1); // channel 0 absent
	EXPECT_EQ(far.uv[0], 0.0f);

	EXPECT_EQ(PosIndices(loaded.tris(1)), (std::vector<Indices>{{7, 6, 5}, {8, 7, 5}}));
	for (const Triangle& t : loaded.tris(1))
		for (const Vertex& v : t.v) {
			EXPECT_EQ(v.nrmIndex, -2);
			EXPECT_EQ((std::array<float, 3>{v.nrm[0], v.nrm[1], v.nrm[2]}), (std::array<float, 3>{0, 0, 0}));
			EXPECT_EQ((std::array<float, 4>{v.color[0], v.color[1], v.color[2], v.color[3]}),
				(std::array<float, 4>{1, 1, 1, 1}));
			EXPECT_EQ(v.uvIndex, -1);
		}
	EXPECT_EQ(PosIndices(loaded.tris(2)), (std::vector<Indices>{{3, 2, 1}, {3, 4, 2}}));
}

TEST(WriterRoundTrip, VertexNodesComeFromMatrixLoadsUnlessSingleBound)
{
	Mdl0Model model = OneMesh({}, 12);
	for (int b = 0; b < 10; ++b)
		model.bones.push_back({.name = "b" + std::to_string(b), .node = b, .parent = b ? 0 : -1});
	model.bones.erase(model.bones.begin()); // drop OneMesh's root: bone b sits on node b
	// slots fill in load order; the load at 0xB000 starts the table again
	const auto c = [](int index, int slot) { return At(index, slot); };
	Mdl0Mesh skinned{.name = "skinned", .node = -1, .mtxCount = 2};
	skinned.primitives = {
		LoadMatrix(7, 0), LoadMatrix(9, 1),
		Triangles({c(0, 0), c(1, 1), c(2, 1)}),
		LoadMatrix(4, 0),
		Quads({c(3, 0), c(4, 1), c(5, 0), c(6, 1)}),
	};
	Mdl0Mesh single{.name = "single", .node = 5, .mtxCount = 1};
	single.primitives = {LoadMatrix(2, 0), Triangles({c(7, 0), c(8, 0), c(9, 0)})};
	model.meshes = {skinned, single};
	READ_CLEAN(loaded, model);

	const auto nodesOf = [](const std::vector<Triangle>& tris) {
		std::vector<Indices> out;
		for (const Triangle& t : tris)
			out.push_back({t.v[0].node, t.v[1].node, t.v[2].node});
		return out;
	};
	EXPECT_EQ(PosIndices(loaded.tris(0)), (std::vector<Indices>{{2, 1, 0}, {5, 4, 3}, {6, 5, 3}}));
	EXPECT_EQ(nodesOf(loaded.tris(0)), (std::vector<Indices>{{9, 9, 7}, {4, 9, 4}, {9, 4, 4}}));
	EXPECT_EQ(nodesOf(loaded.tris(1)), (std::vector<Indices>{{5, 5, 5}}));
	EXPECT_EQ(loaded.md().meshInfo[1].node, 5);
	EXPECT_EQ(loaded.md().meshInfo[0].node, -1);
}

TEST(WriterRoundTrip, BonesWeightsAndParents)
{
	Mdl0Model model;
	model.positions = {{.name = "pos", .values = {1, 1, 1, 2, 0, 0, 0, 2, 0, 0, 0, 2}}};
	model.bones = {
		{.name = "root", .node = 0, .parent = 2}, // bone 0 stays a root whatever NodeTree says
		{.name = "arm", .node = 1, .parent = 0, .trans = {1, 0, 0}},
		{.name = "hand", .node = 2, .parent = 1, .trans = {0, 2, 0}},
		{.name = "odd", .node = 5, .parent = 0, .scale = {2, 3, 4}, .rot = {10, 20, 30}, .trans = {5, 6, 7}},
		{.name = "both", .node = 8}, // also weighted below: ends up a weighted node
	};
	model.nodeMix = {
		{.node = 1, .bone = 1}, // opcode 5: skipped
		{.node = 7, .blend = {{1, 0.25f}, {2, 0.75f}}},
		{.node = 8, .blend = {{0, 0.5f}, {5, 0.5f}}},
		{.node = 14, .blend = {{0, 0.125f}, {1, 0.25f}, {2, 0.625f}}},
	};
	Mdl0Mesh hand{.name = "hand", .node = 2, .primitives = {Triangles({0, 1, 2})}};
	Mdl0Mesh blended{.name = "blended", .node = -1, .mtxCount = 1};
	blended.primitives = {LoadMatrix(7, 0), LoadMatrix(14, 1), Triangles({At(0, 0), At(1, 1), At(3, 0)})};
	model.meshes = {hand, blended};
	READ_CLEAN(loaded, model);
	const LoadedModel& m = *loaded.model;

	EXPECT_EQ(m.nBones, 5);
	EXPECT_EQ(m.names.bones, (std::vector<std::string>{"root", "arm", "hand", "odd", "both"}));
	EXPECT_EQ(m.bonemap, (std::vector<int>{0, 1, 2, 5, 8}));
	ASSERT_EQ(m.nNodes, 15); // the highest node index is a weighted node's
	ASSERT_EQ(m.nodelist.size(), 15u);

	const std::vector<int> parents = {-1, 0, 1, -1, -1, 0, -1, -1, -1};
	for (int n : {0, 1, 2, 5}) {
		EXPECT_EQ(m.nodelist[std::size_t(n)].parent, parents[std::size_t(n)]) << "node " << n;
		EXPECT_EQ(m.nodelist[std::size_t(n)].nWeights, 0) << "node " << n;
	}
	EXPECT_EQ(m.nodelist[2].bone, 2);
	const Node& odd = m.nodelist[5];
	EXPECT_EQ(odd.bone, 3);
	EXPECT_EQ((std::array<float, 9>{odd.scale[0], odd.scale[1], odd.scale[2], odd.rot[0], odd.rot[1], odd.rot[2],
				  odd.trans[0], odd.trans[1], odd.trans[2]}),
		(std::array<float, 9>{2, 3, 4, 10, 20, 30, 5, 6, 7}));

	const Node& w7 = m.nodelist[7];
	EXPECT_EQ(w7.nWeights, 2);
	EXPECT_EQ(w7.wNode, (std::vector<int>{1, 2}));
	EXPECT_EQ(w7.weight, (std::vector<float>{0.25f, 0.75f}));
	EXPECT_EQ(w7.parent, -1);
	const Node& both = m.nodelist[8];
	EXPECT_EQ(both.nWeights, 2);
	EXPECT_EQ(both.wNode, (std::vector<int>{0, 5}));
	EXPECT_EQ((std::array<float, 9>{both.scale[0], both.scale[1], both.scale[2], both.rot[0], both.rot[1],
				  both.rot[2], both.trans[0], both.trans[1], both.trans[2]}),
		(std::array<float, 9>{1, 1, 1, 0, 0, 0, 0, 0, 0}));
	EXPECT_EQ(m.nodelist[14].wNode, (std::vector<int>{0, 1, 2}));
	EXPECT_EQ(m.nodelist[14].weight, (std::vector<float>{0.125f, 0.25f, 0.625f}));
	for (int gap : {3, 4, 6, 9, 13})
		EXPECT_EQ(m.nodelist[std::size_t(gap)].nWeights, 0) << "node " << gap;

	// bind pose: a bone-bound corner moves by its chain, weighted ones stay in model space
	const Triangle& t = loaded.tris(0)[0];
	EXPECT_EQ(t.v[2].posIndex, 0);
	EXPECT_EQ((std::array<float, 3>{t.v[2].posedPos[0], t.v[2].posedPos[1], t.v[2].posedPos[2]}),
		(std::array<float, 3>{2, 3, 1}));
	for (const Vertex& v : loaded.tris(1)[0].v) {
		EXPECT_TRUE(v.node == 7 || v.node == 14) << v.node;
		for (int k = 0; k < 3; ++k)
			EXPECT_FLOAT_EQ(v.posedPos[k], v.pos[k]);
	}
}

// Shader bytes from +0x8C: the 16-bit value there, then `bytes` at `at`.
Bytes Signature(std::uint16_t value, std::size_t at = 0x8C, const Bytes& bytes = {})
{
	Bytes signature(12, 0);
	signature[0] = std::uint8_t(value >> 8);
	signature[1] = std::uint8_t(value);
	for (std::size_t i = 0; i < bytes.size(); ++i)
		signature.at(at - 0x8C + i) = bytes[i];
	return signature;
}

TEST(WriterRoundTrip, MaterialsChooseLayerMirrorAndScale)
{
	struct Case {
		const char* why;
		Mdl0Material material;
		std::string texName;
		std::string palName;
		int mirror;
		float scaleS, scaleT;
	};
	const std::vector<Layer> layers = {
		{.texture = "first", .palette = "pal_first"},
		{.texture = "second", .wrapS = 2},
		{.texture = "third", .palette = "pal_third", .wrapT = 2},
	};
	const auto material = [&](int texGens, int cull, Bytes signature, float scaleS = 1, float scaleT = 1) {
		return Mdl0Material{.name = "m", .texGens = texGens, .cull = cull, .shaderSignature = std::move(signature),
			.layers = layers, .scaleS = scaleS, .scaleT = scaleT};
	};
	const std::vector<Case> cases = {
		{"no texture generators", material(0, 1, Signature(0x3C03, 0x92, {0xFF, 0xF8}), 3, 3), "", "", 0, 1, 1},
		{"plain shader", material(1, 2, {}, 2, 0.5f), "first", "pal_first", 0, 2, 0.5f},
		{"3C00 AECF", material(1, 3, Signature(0x3C00, 0x92, {0xAE, 0xCF}), 2, 2), "second", "", 1, 1, 2},
		{"3C00 other", material(1, 0, Signature(0x3C00, 0x92, {0xAE, 0xCE})), "first", "pal_first", 0, 1, 1},
		{"3C03 FFFE", material(2, 0, Signature(0x3C03, 0x92, {0xFF, 0xFE})), "second", "", 1, 0.5f, 1},
		{"3C03 FFF8", material(2, 0, Signature(0x3C03, 0x92, {0xFF, 0xF8})), "second", "", 1, 0.5f, 1},
		{"3C03 2FF8", material(2, 0, Signature(0x3C03, 0x92, {0x2F, 0xF8})), "second", "", 1, 0.5f, 1},
		{"3C03 other", material(2, 0, Signature(0x3C03, 0x92, {0x12, 0x34})), "first", "pal_first", 0, 1, 1},
		{"3C90 AFF8", material(2, 0, Signature(0x3C90, 0x92, {0xAF, 0xF8})), "second", "", 1, 0.5f, 1},
		{"3C93 byte 8", material(2, 0, Signature(0x3C93, 0x97, {8})), "second", "", 1, 0.5f, 1},
		{"3C93 byte 9", material(2, 0, Signature(0x3C93, 0x97, {9})), "first", "pal_first", 0, 1, 1},
		{"3D20 at 0x91", material(3, 0, Signature(0x3D20, 0x91, {0x48, 0xAF}), 4, 4), "third", "pal_third", 2, 4, 2},
		{"3D20 at 0x92", material(3, 0, Signature(0x3D20, 0x92, {0x48, 0xAF})), "first", "pal_first", 0, 1, 1},
		{"3D23 648F", material(3, 0, Signature(0x3D23, 0x92, {0x64, 0x8F})), "third", "pal_third", 2, 1, 0.5f},
		{"3D23 FFF8", material(3, 0, Signature(0x3D23, 0x92, {0xFF, 0xF8})), "third", "pal_third", 2, 1, 0.5f},
		{"0520 428F", material(3, 0, Signature(0x0520, 0x92, {0x42, 0x8F})), "third", "pal_third", 2, 1, 0.5f},
		{"0400 four generators", material(4, 0, Signature(0x0400)), "second", "", 1, 0.5f, 1},
		{"0400 five, cull 2", material(5, 2, Signature(0x0400)), "second", "", 1, 0.5f, 1},
		{"0400 five, cull 1", material(5, 1, Signature(0x0400)), "first", "pal_first", 0, 1, 1},
		{"zero scale", material(1, 0, {}, 0, 0), "first", "pal_first", 0, 1, 1},
	};

	Mdl0Model model;
	model.positions = {Ramp("pos", 3)};
	model.texCoords = {{.format = 4, .components = 2, .values = {1, 1, 0.5f, 4, -2, 0.25f}}};
	model.bones = {{.name = "root"}};
	DrawList draw{.name = "DrawOpa"};
	for (std::size_t i = 0; i < cases.size(); ++i) {
		model.materials.push_back(cases[i].material);
		model.materials.back().name = "m" + std::to_string(i);
		Mdl0Mesh mesh{.name = "mesh" + std::to_string(i), .texSize = {1}, .primitives = {Triangles({0, 1, 2})}};
		mesh.uvArray[0] = 0;
		model.meshes.push_back(mesh);
		draw.calls.push_back({.material = int(i), .mesh = int(i)});
	}
	model.drawLists = {draw};
	READ_CLEAN(loaded, model);
	const BRMDL& md = loaded.md();
	EXPECT_EQ(md.hasMat, 1);
	ASSERT_EQ(md.nMat, int(cases.size()));
	ASSERT_EQ(md.nMesh, int(cases.size()));
	for (std::size_t i = 0; i < cases.size(); ++i) {
		const Case& c = cases[i];
		SCOPED_TRACE(c.why);
		EXPECT_EQ(md.texName[i], c.texName);
		EXPECT_EQ(md.palName[i], c.palName);
		EXPECT_EQ(md.matMirror[i], c.mirror);
		EXPECT_EQ(md.meshMat[i], int(i));
		EXPECT_EQ(md.meshCull[i], c.material.cull);
		// corners (2, 1, 0): uv entries (-2, 0.25), (0.5, 4), (1, 1)
		const Triangle& t = loaded.tris(int(i))[0];
		EXPECT_EQ(t.v[0].uv[0], -2 * c.scaleS);
		EXPECT_EQ(t.v[0].uv[1], 0.25f * c.scaleT);
		EXPECT_EQ(t.v[1].uv[0], 0.5f * c.scaleS);
		EXPECT_EQ(t.v[1].uv[1], 4 * c.scaleT);
		EXPECT_EQ(t.v[2].uv[0], c.scaleS);
	}
}

TEST(WriterRoundTrip, DrawListsDecideEachMeshsMaterial)
{
	Mdl0Model model = OneMesh({Triangles({0, 1, 2})});
	const Mdl0Mesh first = model.meshes[0];
	model.meshes.resize(5, first);
	for (int i = 0; i < 4; ++i)
		model.materials.push_back({.name = "m" + std::to_string(i), .texGens = 0, .cull = i});
	model.drawLists = {
		{"DrawOpa", {{.material = 1, .mesh = 0}, {.material = 2, .mesh = 0}}}, // the later command wins
		{"DrawXlu", {{.material = 3, .mesh = 0}, {.material = 3, .mesh = 1}}}, // the list stored first wins
		{"Draw", {{.material = 1, .mesh = 2}}},
		{"Dra", {{.material = 3, .mesh = 3}}},                                  // not a draw list
	};
	READ_CLEAN(loaded, model);
	EXPECT_EQ(loaded.md().meshMat, (std::vector<int>{2, 3, 1, 0, 0}));
	EXPECT_EQ(loaded.md().meshCull, (std::vector<int>{2, 3, 1, 0, 0}));
}

TEST(WriterRoundTrip, ModelWithoutMaterialsOrNormals)
{
	Mdl0Model model = OneMesh({Triangles({0, 1, 2})});
	model.texCoords = {{.format = 4, .components = 2, .values = {0.5f, 3, 7, 8, 9, 10}}};
	model.meshes[0].uvArray[0] = 0;
	model.meshes[0].texSize[0] = 1;
	READ_CLEAN(loaded, model);
	const BRMDL& md = loaded.md();
	EXPECT_EQ(md.hasMat, 0);
	EXPECT_EQ(md.nMat, 0);
	EXPECT_EQ(md.nNrm, 0);
	EXPECT_EQ(md.nClr, 0);
	EXPECT_EQ(md.meshCull, (std::vector<int>{0}));
	EXPECT_TRUE(md.texName.empty());
	const Vertex& v = loaded.tris(0)[0].v[2];
	EXPECT_EQ((std::array<float, 2>{v.uv[0], v.uv[1]}), (std::array<float, 2>{0.5f, 3}));
	EXPECT_EQ(v.nrmIndex, -2);
}

TEST(WriterRoundTrip, VersionChoosesWhereMaterialsAndObjectsStand)
{
	Mdl0Model model = OneMesh({Strip({0, 1, 2, 3})});
	model.materials = {{.name = "a", .texGens = 0, .cull = 1}, {.name = "b", .texGens = 0, .cull = 3}};
	model.drawLists = {{"DrawOpa", {{.material = 1, .mesh = 0}}}};
	for (std::uint32_t version : {8u, 9u, 10u, 11u}) {
		SCOPED_TRACE(version);
		model.version = version;
		READ_CLEAN(loaded, model);
		EXPECT_EQ(PosIndices(loaded.tris(0)), (std::vector<Indices>{{2, 1, 0}, {2, 3, 1}}));
		EXPECT_EQ(loaded.md().nMat, 2);
		EXPECT_EQ(loaded.md().meshCull, (std::vector<int>{3}));
	}

	// a version-9 layout read as version 11 finds its objects slot in the palettes slot (0)
	model.version = 9;
	ModelArchive archive = BuildModelArchive(model);
	archive.bytes[archive.offset + 0xB] = 11;
	ByteView view(archive.bytes);
	auto misread = std::make_unique<LoadedModel>();
	const ModelReadResult result = ReadModel(view, archive.offset, *misread);
	EXPECT_TRUE(!result.ok || misread->MD.nMesh == 0);
}

// The shipped demo archive: up to date with its generator, and a whole model.
TEST(WriterDemo, ShippedArchiveIsCurrent)
{
	const FileBytes shipped = ReadWholeFile(std::string(ZENTARRA_SOURCE_DIR) + "/samples/demo.brres");
	ASSERT_EQ(shipped.status, ReadStatus::Ok);
	EXPECT_TRUE(shipped.bytes == DemoArchive()) << "run 'make demo'";
}

// The model's MDL0 offset in the demo archive, found by the archive scan.
std::size_t DemoModelOffset(const Bytes& archive)
{
	OpenArchives items;
	ByteView view(archive);
	ReadBRRES(view, "demo.brres", items, nullptr);
	for (const ItemRecord& item : items.items())
		if (item.kind == ItemKind::MDL0)
			return item.offset;
	return 0;
}

TEST(WriterDemo, ModelReadsWholeWithWhatItClaims)
{
	const Bytes archive = DemoArchive();
	const std::size_t offset = DemoModelOffset(archive);
	ASSERT_NE(offset, 0u);
	ByteView view(archive);
	auto model = std::make_unique<LoadedModel>();
	const ModelReadResult result = ReadModel(view, offset, *model);
	ASSERT_TRUE(result.ok) << result.message;
	EXPECT_FALSE(result.damaged) << result.message;
	const BRMDL& md = model->MD;

	EXPECT_EQ(model->names.meshes, (std::vector<std::string>{"crate_box", "crate_lid"}));
	EXPECT_EQ(model->names.bones, (std::vector<std::string>{"crate_root", "crate_body", "crate_lid", "crate_latch"}));
	EXPECT_EQ(model->names.positions, (std::vector<std::string>{"crate_box_pos", "crate_lid_pos"}));
	EXPECT_EQ(md.vtxCount, (std::vector<int>{8, 13}));
	EXPECT_EQ(md.nrmCount, (std::vector<int>{6, 7}));
	EXPECT_EQ(md.clrCount, (std::vector<int>{2, 2}));
	EXPECT_EQ(md.uvCount, (std::vector<int>{4, 15}));
	ASSERT_EQ(md.meshTris.size(), 2u);
	EXPECT_EQ(md.meshTris[0].size(), 10u); // five quads
	EXPECT_EQ(md.meshTris[1].size(), 16u); // fan 4, strip 8, quad 2, triangles 2

	// skeleton: a chain of four bones and the hinge blending body and lid
	EXPECT_EQ(model->nNodes, 5);
	EXPECT_EQ(model->bonemap, (std::vector<int>{0, 1, 2, 3}));
	std::vector<int> parents;
	for (const Node& node : model->nodelist)
		parents.push_back(node.parent);
	EXPECT_EQ(parents, (std::vector<int>{-1, 0, 1, 2, -1}));
	EXPECT_EQ(model->nodelist[4].wNode, (std::vector<int>{1, 2}));
	EXPECT_EQ(model->nodelist[4].weight, (std::vector<float>{0.5f, 0.5f}));

	// materials: the wood repeats at scale 2; the band shows its mirrored second layer
	EXPECT_EQ(md.meshMat, (std::vector<int>{0, 1}));
	EXPECT_EQ(md.meshCull, (std::vector<int>{2, 0}));
	EXPECT_EQ(md.texName, (std::vector<std::string>{"crate_wood", "crate_wood"}));
	EXPECT_EQ(md.palName, (std::vector<std::string>{"", "crate_palette"}));
	EXPECT_EQ(md.matMirror, (std::vector<int>{0, 1}));

	std::vector<int> nodesUsed(5, 0);
	for (int m = 0; m < 2; ++m)
		for (const Triangle& t : md.meshTris[std::size_t(m)]) {
			// corners run counter-clockwise seen from outside: the face normal
			// agrees with every corner's normal
			const float* a = t.v[0].posedPos;
			const float* b = t.v[1].posedPos;
			const float* c = t.v[2].posedPos;
			const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
			const float w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
			const float face[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
			for (const Vertex& v : t.v) {
				const float along = face[0] * v.posedNrm[0] + face[1] * v.posedNrm[1] + face[2] * v.posedNrm[2];
				EXPECT_GT(along, 0) << "mesh " << m << " corner " << v.posIndex;
				// the crate spans x -1..1, y 0..2.25, z -1..1 (the latch a little in front)
				EXPECT_TRUE(v.posedPos[0] >= -1 && v.posedPos[0] <= 1) << v.posedPos[0];
				EXPECT_TRUE(v.posedPos[1] >= 0 && v.posedPos[1] <= 2.25f) << v.posedPos[1];
				EXPECT_TRUE(v.posedPos[2] >= -1 && v.posedPos[2] <= 1.05f) << v.posedPos[2];
				++nodesUsed[std::size_t(v.node)];
				if (m == 0) {
					EXPECT_EQ(v.uv[0], 2 * md.uv[0][std::size_t(v.uvIndex)][0]);
				} else {
					EXPECT_EQ(v.uv[0], 0.5f * md.uv[1][std::size_t(v.uvIndex)][0]);
					EXPECT_EQ(v.uv[1], md.uv[1][std::size_t(v.uvIndex)][1]);
				}
			}
		}
	EXPECT_EQ(nodesUsed, (std::vector<int>{0, 30, 23, 6, 19}));

	// the lid's front corners sit in the lid's space and come out at the front
	const Vertex& front = md.meshTris[1][1].v[0]; // the top's second fan triangle starts at the front right
	EXPECT_EQ(front.posIndex, 2);
	EXPECT_EQ((std::array<float, 3>{front.posedPos[0], front.posedPos[1], front.posedPos[2]}),
		(std::array<float, 3>{1, 2.25f, 1}));
}

TEST(WriterDemo, EveryPrefixOfTheModelReadsSafely)
{
	const Bytes mdl0 = BuildMDL0(DemoModel());
	auto model = std::make_unique<LoadedModel>();
	for (std::size_t n = 0; n <= mdl0.size(); ++n) {
		const Bytes prefix(mdl0.begin(), mdl0.begin() + std::ptrdiff_t(n)); // fresh, so ASan sees the end
		ByteView view(prefix);
		ReadModel(view, 0, *model); // must return; the result may be junk
	}
	ByteView whole(mdl0);
	EXPECT_TRUE(ReadModel(whole, 0, *model).ok);
}

} // namespace
