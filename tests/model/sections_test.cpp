// The node table (bones, NodeMix weights, NodeTree parents), materials and draw
// lists of models the test-only writer lays out, and of damaged copies of them.
#include "model/mdl0_bytes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zentarra {
namespace {

using namespace zentarra::testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Bones "bone<i>" on `nodes`, with parent nodes `parents` (-1 a root; none: all roots).
Mdl0Model Skeleton(const std::vector<int>& nodes, const std::vector<int>& parents = {}, std::vector<MixNode> mix = {})
{
	Mdl0Model model{.nodeMix = std::move(mix)};
	for (std::size_t i = 0; i < nodes.size(); ++i)
		model.bones.push_back({"bone" + std::to_string(i), nodes[i], parents.empty() ? -1 : parents[i]});
	return model;
}

// Scale, rotation and translation of the bind transform.
std::vector<float> Bind(const Node& n)
{
	return {n.scale[0], n.scale[1], n.scale[2], n.rot[0], n.rot[1], n.rot[2], n.trans[0], n.trans[1], n.trans[2]};
}

const std::vector<float> kIdentity = {1, 1, 1, 0, 0, 0, 0, 0, 0};

TEST(Bones, NodesFromBonesNodeMixAndNodeTree)
{
	// bones out of node order, bone 2 also blended; NodeMix names node 11 (opcode 5 only) and nodes 7 and 5, which
	// no bone has; parents: bone 3 under bone 0, bone 2 under bone 3
	Mdl0Model description = Skeleton({4, 0, 2, 1}, {-1, -1, 1, 4},
		{{.node = 11, .bone = 0}, {.node = 7, .blend = {{0, 1.0f}}}, {.node = 0, .bone = 1},
			{.node = 5, .blend = {{1, 0.25f}, {4, 0.75f}}}, {.node = 2, .blend = {{0, 1.0f}}}});
	description.bones[0].scale = {0.5f, 2, 3}, description.bones[0].rot = {10, -20, 30.5f};
	description.bones[0].trans = {1, -2, 3.25f};
	description.bones[2].scale = description.bones[2].rot = description.bones[2].trans = {2, 2, 2};
	const Bones read = ReadBonesOf(BuildModelArchive(description));
	const std::vector<Node>& nodes = read.model.nodelist;
	ASSERT_TRUE(read.whole && read.model.nNodes == 12) << read.damage;
	EXPECT_THAT(read.model.bonemap, ElementsAre(4, 0, 2, 1));
	EXPECT_EQ(Bind(nodes[4]), (std::vector<float>{0.5f, 2, 3, 10, -20, 30.5f, 1, -2, 3.25f}));
	EXPECT_EQ(nodes[0].nWeights, 0) << "opcode 5 leaves the bone's node alone";
	EXPECT_TRUE(nodes[5].wNode == (std::vector<int>{1, 4}) && nodes[5].weight == (std::vector<float>{0.25f, 0.75f}));
	EXPECT_TRUE(nodes[5].parent == -1 && Bind(nodes[5]) == kIdentity && nodes[7].nWeights == 1);
	// node 2 is named by bone 2 and by a blend: weighted with the identity bind;
	// the bone still maps to it, and NodeTree, read after NodeMix, still gives it its parent
	EXPECT_TRUE(nodes[2].wNode == std::vector<int>{0} && Bind(nodes[2]) == kIdentity && nodes[2].bone == 2);
	EXPECT_EQ((std::array{nodes[2].parent, nodes[1].parent, nodes[0].parent}), (std::array{1, 4, -1}));
	EXPECT_TRUE(nodes[3].bone == -1 && Bind(nodes[3]) == kIdentity) << "a gap";

	// bone 0 on node 2, bone 1 on node 0, bone 2 on node 1, as real files do
	const Bones tree = ReadBonesOf(BuildModelArchive(Skeleton({2, 0, 1}, {1, 2, 0})));
	EXPECT_EQ(tree.model.nodelist[2].parent, -1) << "bone 0 stays a root though its command names a parent";
	EXPECT_EQ((std::array{tree.model.nodelist[0].parent, tree.model.nodelist[1].parent}), (std::array{2, 0}));
}

TEST(Bones, BadIndicesRecordsAndLoopsAreLeftOut)
{
	const Bones loops = ReadBonesOf(BuildModelArchive(Skeleton({0, 1, 2, 3, 4, 5}, {-1, 2, 3, 1, 4, 0})));
	EXPECT_THAT(loops.damage, HasSubstr("loop"));
	const std::vector<Node>& ring = loops.model.nodelist;
	EXPECT_EQ((ring[1].parent == -1) + (ring[2].parent == -1) + (ring[3].parent == -1), 1) << "one link of 1-2-3 cut";
	EXPECT_EQ((std::array{ring[4].parent, ring[5].parent}), (std::array{-1, 0})) << "its own parent: a root";

	ModelArchive archive =
		BuildModelArchive(Skeleton({0, 1, 2, 3}, {-1, 50, 1, -1}, {{.node = 4, .blend = {{0, 0.5f}, {60, 0.25f}}}}));
	archive.bytes[DataAt(archive.bytes, archive.offset, kDefinitionsSlot, 0) + 2] = 9; // NodeTree's first command: bone 9
	const Bones read = ReadBonesOf(archive);
	for (const char* named : {"node 60", "node 50", "bone 9"})
		EXPECT_THAT(read.damage, HasSubstr(named));
	EXPECT_THAT(read.model.nodelist[4].wNode, ElementsAre(0)) << "only the weight naming node 60 is dropped";
	EXPECT_EQ((std::array{read.model.nodelist[1].parent, read.model.nodelist[2].parent}), (std::array{-1, 1}));

	archive = BuildModelArchive(Skeleton({0, -1, 2, 1}, {-1, 0, 0, -1})); // bone 1 names node 0xFFFFFFFF
	Put32(archive.bytes, DataField(archive.bytes, archive.offset, kBonesSlot, 2), 0x7FFFFFF0); // bone 2 past the end
	const Bones records = ReadBonesOf(archive);
	EXPECT_THAT(records.damage, HasSubstr("4294967295"));
	// bones 0 and 3 name nodes 0 and 1; bones 1 and 2 get nodes 2 and 3, which NodeTree still reaches
	EXPECT_THAT(records.model.bonemap, ElementsAre(0, 2, 3, 1));
	const Node& moved = records.model.nodelist[3];
	EXPECT_TRUE(moved.bone == 2 && Bind(moved) == kIdentity && moved.parent == 0);

	const Bones shared = ReadBonesOf(BuildModelArchive(Skeleton({0, 1, 1})));
	EXPECT_THAT(shared.damage, HasSubstr("share node 1"));
	EXPECT_TRUE(shared.model.nNodes == 2 && shared.model.nodelist[1].bone == 2) << "the later bone keeps the node";
}

// The scales of the first two corners of each mesh's triangle.
std::vector<float> Scales(const BRMDL& model)
{
	std::vector<float> scales;
	for (const std::vector<Triangle>& triangles : model.meshTris)
		scales.insert(scales.end(), {triangles[0].v[0].uv[0] / kUv[0][0], triangles[0].v[1].uv[1] / kUv[1][1]});
	return scales;
}

// `count` materials with the layers "L0" to "L2", unscaled, and a
// draw list giving mesh i material i.
Mdl0Model WithMaterials(int count)
{
	Mdl0Model model{.drawLists = {{"DrawOpa", {}}}};
	for (int m = 0; m < count; ++m) {
		model.materials.push_back({.name = "mat" + std::to_string(m), .layers = {{"L0"}, {"L1"}, {"L2"}}});
		model.drawLists[0].calls.push_back({.material = m, .mesh = m});
	}
	return model;
}

TEST(Materials, CullTexturePaletteMirrorAndScale)
{
	// no texture-coordinate generator: no texture, the scales are not used; mirrored scales halve, a stored 0
	// means 1; the third layer is chosen for the last material: mirror and palette are its, the scale the first
	// matrix's; mesh 4 shares material 1 and is scaled once
	Mdl0Model model = WithMaterials(4);
	model.materials[0] = {.name = "m0", .texGens = 0, .layers = {{"none"}}, .scaleS = 5, .scaleT = 7};
	model.materials[1] = {.name = "m1", .cull = 1, .layers = {{"wood", "wood_pal", 2, 0}}, .scaleS = 2, .scaleT = 3};
	model.materials[2] = {.name = "m2", .cull = 3, .layers = {{"stone", "", 0, 2}}, .scaleS = 0, .scaleT = -0.0f};
	model.materials[3] = {.name = "m3", .cull = 0, .shaderSignature = {0x3D, 0x23, 0, 0, 0, 0, 0x64, 0x8F},
		.layers = {{"first", "", 2, 2}, {}, {"third", "third_pal", 0, 2}}, .scaleS = 4, .scaleT = 4};
	model.drawLists[0].calls.push_back({1, 4});
	const Materials read = ReadMaterialsOf(BuildModelArchive(model), 5);
	EXPECT_TRUE(read.whole) << read.damage;
	EXPECT_THAT(read.model.meshCull, ElementsAre(2, 1, 3, 0, 1));
	EXPECT_THAT(read.model.texName, ElementsAre("", "wood", "stone", "third"));
	EXPECT_THAT(read.model.palName, ElementsAre("", "wood_pal", "", "third_pal"));
	EXPECT_THAT(read.model.matMirror, ElementsAre(0, 1, 2, 2));
	EXPECT_THAT(Scales(read.model), ElementsAre(1, 1, 1, 3, 1, 0.5f, 4, 2, 1, 3));
}

TEST(Materials, ShaderSignatureChoosesTheTextureLayer)
{
	// signature at +0x8C of the shader, where the 16-bit value that tells goes, the value, t, cull, the layer shown
	const std::tuple<std::uint16_t, std::size_t, std::uint16_t, int, int, const char*> cases[] = {
		{0x3C00, 0x92, 0xAECF, 1, 0, "L1"}, {0x3C00, 0x92, 0xAECE, 1, 0, "L0"}, {0x3C03, 0x92, 0xFFFE, 1, 0, "L1"},
		{0x3C03, 0x92, 0xFFF8, 1, 0, "L1"}, {0x3C03, 0x92, 0x2FF8, 1, 0, "L1"}, {0x3C03, 0x92, 0xFFF9, 1, 0, "L0"},
		{0x3C90, 0x92, 0xAFF8, 1, 0, "L1"}, {0x3C90, 0x92, 0xAECF, 1, 0, "L0"}, {0x0520, 0x92, 0x648F, 1, 0, "L0"},
		{0x3C93, 0x96, 0xFF08, 1, 0, "L1"}, {0x3C93, 0x95, 0x0008, 1, 0, "L0"}, // the byte at 0x97 alone tells
		{0x3D20, 0x91, 0x48AF, 1, 0, "L2"}, {0x3D20, 0x92, 0x48AF, 1, 0, "L0"}, // 16 bits at the odd 0x91
		{0x3D23, 0x92, 0xFFF8, 1, 0, "L2"}, {0x3D23, 0x92, 0x48AF, 1, 0, "L0"}, {0x0520, 0x92, 0x428F, 1, 0, "L2"},
		{0x0400, 0x92, 0, 4, 0, "L1"}, {0x0400, 0x92, 0, 5, 2, "L1"}, {0x0400, 0x92, 0, 5, 1, "L0"}, // t 4, or
		{0x0400, 0x92, 0, 3, 2, "L0"}, {0x3BF0, 0x92, 0xAECF, 4, 2, "L0"}, // t 5 with cull 2; a common shader
	};
	for (const auto& [signature, at, value, t, cull, texture] : cases) {
		Mdl0Model model = WithMaterials(1);
		model.materials[0].texGens = t, model.materials[0].cull = cull;
		Bytes& bytes = model.materials[0].shaderSignature = Bytes(12); // +0x8C to +0x97
		bytes[0] = std::uint8_t(signature >> 8), bytes[1] = std::uint8_t(signature);
		bytes[at - 0x8C] = std::uint8_t(value >> 8), bytes[at - 0x8B] = std::uint8_t(value);
		const Materials read = ReadMaterialsOf(BuildModelArchive(model), 1);
		EXPECT_THAT(read.model.texName, ElementsAre(texture)) << std::hex << signature << " " << value;
	}
}

TEST(Materials, DrawListsChooseEachMeshsMaterial)
{
	// "Draw…" and "Draw" are draw lists, "Dra" is not; the list stored first wins, and within a list the later
	// command; mesh 5 is in none; commands naming missing meshes or materials are left out
	Mdl0Model model = WithMaterials(4);
	model.drawLists = {{"DrawOpa", {{1, 0}, {2, 0}, {1, 2}, {1, 7}, {9, 1}}}, {"DrawXlu", {{3, 0}, {3, 1}, {3, 2}}},
		{"Draw", {{1, 3}}}, {"Dra", {{2, 4}}}};
	const Materials read = ReadMaterialsOf(BuildModelArchive(model), 6);
	EXPECT_THAT(read.damage, AllOf(HasSubstr("mesh 7"), HasSubstr("material 9")));
	EXPECT_THAT(read.model.meshMat, ElementsAre(2, 3, 1, 1, 0, 0));

	// without materials every mesh shows material 0, unscaled: naming others is harmless
	model.materials.clear();
	model.drawLists = {{"DrawOpa", {{1, 0}, {2, 1}}}};
	const Materials none = ReadMaterialsOf(BuildModelArchive(model), 2);
	EXPECT_TRUE(none.whole) << none.damage;
	EXPECT_THAT(none.model.meshMat, ElementsAre(0, 0));
	EXPECT_THAT(Scales(none.model), ElementsAre(1, 1, 1, 1));
}

} // namespace
} // namespace zentarra
