// The node table (bones, NodeMix weights, NodeTree parents) of models the
// test-only writer lays out and of damaged copies of them.
#include "model/bones.h"

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

struct Read {
	LoadedModel model;
	bool whole = false;
	std::string damage;
};

Read ReadFrom(const ModelArchive& archive)
{
	Read read;
	ByteView file(archive.bytes);
	read.whole = ReadBones(file, archive.offset, read.model, read.damage);
	EXPECT_EQ(read.whole, !file.damaged()) << "damage is marked on the file exactly when reported";
	ExpectConsistentNodes(read.model);
	return read;
}

// Bones "bone<i>" on `nodes`, with parent nodes `parents` (-1 a root; none: all roots).
Mdl0Model Skeleton(const std::vector<int>& nodes, const std::vector<int>& parents = {}, std::vector<MixNode> mix = {})
{
	Mdl0Model model;
	for (std::size_t i = 0; i < nodes.size(); ++i)
		model.bones.push_back(
			{.name = "bone" + std::to_string(i), .node = nodes[i], .parent = parents.empty() ? -1 : parents[i]});
	model.nodeMix = std::move(mix);
	return model;
}

// Scale, rotation and translation of the bind transform.
std::vector<float> Bind(const Node& node)
{
	std::vector<float> bind(node.scale, node.scale + 3);
	bind.insert(bind.end(), node.rot, node.rot + 3);
	bind.insert(bind.end(), node.trans, node.trans + 3);
	return bind;
}

const std::vector<float> kIdentity = {1, 1, 1, 0, 0, 0, 0, 0, 0};

TEST(Bones, NodesFromBonesNodeMixAndNodeTree)
{
	// bones out of node order, bone 2 also blended; NodeMix names node 11 (opcode 5 only) and nodes 7 and 5, which
	// no bone has; parents: bone 3 under bone 0, bone 2 under bone 3
	Mdl0Model description = Skeleton({4, 0, 2, 1}, {-1, -1, 1, 4});
	description.bones[0].scale = {0.5f, 2, 3}, description.bones[0].rot = {10, -20, 30.5f};
	description.bones[0].trans = {1, -2, 3.25f};
	description.bones[2].scale = description.bones[2].rot = description.bones[2].trans = {2, 2, 2};
	description.nodeMix = {{.node = 11, .bone = 0}, {.node = 7, .blend = {{0, 1.0f}}}, {.node = 0, .bone = 1},
		{.node = 5, .blend = {{1, 0.25f}, {4, 0.75f}}}, {.node = 2, .blend = {{0, 1.0f}}}};
	const Read read = ReadFrom(BuildModelArchive(description));
	EXPECT_TRUE(read.whole) << read.damage;
	const LoadedModel& model = read.model;
	const std::vector<Node>& nodes = model.nodelist;
	ASSERT_EQ(model.nNodes, 12);
	EXPECT_THAT(model.bonemap, ElementsAre(4, 0, 2, 1));
	EXPECT_THAT(model.names.bones, ElementsAre("bone0", "bone1", "bone2", "bone3"));
	EXPECT_EQ(nodes[4].bone, 0);
	EXPECT_EQ(Bind(nodes[4]), (std::vector<float>{0.5f, 2, 3, 10, -20, 30.5f, 1, -2, 3.25f}));
	EXPECT_EQ(nodes[0].nWeights, 0) << "opcode 5 leaves the bone's node alone";
	EXPECT_THAT(nodes[5].wNode, ElementsAre(1, 4));
	EXPECT_THAT(nodes[5].weight, ElementsAre(0.25f, 0.75f));
	EXPECT_TRUE(nodes[5].parent == -1 && Bind(nodes[5]) == kIdentity);
	EXPECT_EQ(nodes[7].nWeights, 1);
	// node 2 is named by bone 2 and by a blend: weighted with the identity bind;
	// the bone still maps to it, and NodeTree, read after NodeMix, still gives it its parent
	EXPECT_THAT(nodes[2].wNode, ElementsAre(0));
	EXPECT_EQ(Bind(nodes[2]), kIdentity);
	EXPECT_EQ(nodes[2].bone, 2);
	EXPECT_EQ((std::array{nodes[2].parent, nodes[1].parent, nodes[0].parent}), (std::array{1, 4, -1}));
	for (const std::size_t gap : {3, 6, 8, 9, 10, 11}) {
		const Node& node = nodes[gap];
		EXPECT_TRUE(node.bone == -1 && node.nWeights == 0 && node.parent == -1 && Bind(node) == kIdentity) << gap;
	}

	// bone 0 on node 2, bone 1 on node 0, bone 2 on node 1, as real files do
	const Read tree = ReadFrom(BuildModelArchive(Skeleton({2, 0, 1}, {1, 2, 0})));
	EXPECT_TRUE(tree.whole) << tree.damage;
	EXPECT_EQ(tree.model.nodelist[2].parent, -1) << "bone 0 stays a root though its command names a parent";
	EXPECT_EQ((std::array{tree.model.nodelist[0].parent, tree.model.nodelist[1].parent}), (std::array{2, 0}));
}

TEST(Bones, ParentLoopsAreCut)
{
	const Read read = ReadFrom(BuildModelArchive(Skeleton({0, 1, 2, 3, 4, 5}, {-1, 2, 3, 1, 4, 0})));
	EXPECT_FALSE(read.whole);
	EXPECT_THAT(read.damage, HasSubstr("loop"));
	const std::vector<Node>& nodes = read.model.nodelist;
	EXPECT_EQ((nodes[1].parent == -1) + (nodes[2].parent == -1) + (nodes[3].parent == -1), 1)
		<< "one link of the ring 1 -> 2 -> 3 -> 1 is cut";
	EXPECT_EQ(nodes[4].parent, -1) << "a node that is its own parent becomes a root";
	EXPECT_EQ(nodes[5].parent, 0) << "sound links are kept";
}

TEST(Bones, BadIndicesAndRecordsAreLeftOut)
{
	ModelArchive archive = BuildModelArchive(
		Skeleton({0, 1, 2, 3}, {-1, 50, 1, -1}, {{.node = 4, .blend = {{0, 0.5f}, {60, 0.25f}, {1, 0.25f}}}}));
	archive.bytes[DataAt(archive.bytes, archive.offset, kDefinitionsSlot, 0) + 2] = 9; // NodeTree's first command: bone 9
	const Read read = ReadFrom(archive);
	EXPECT_FALSE(read.whole);
	for (const char* named : {"node 60", "node 50", "bone 9"})
		EXPECT_THAT(read.damage, HasSubstr(named));
	const std::vector<Node>& nodes = read.model.nodelist;
	EXPECT_THAT(nodes[4].wNode, ElementsAre(0, 1)) << "only the weight naming node 60 is dropped";
	EXPECT_THAT(nodes[4].weight, ElementsAre(0.5f, 0.25f));
	EXPECT_EQ(nodes[1].parent, -1);
	EXPECT_EQ(nodes[2].parent, 1) << "commands after a bad one still apply";

	archive = BuildModelArchive(Skeleton({0, -1, 2, 1}, {-1, 0, 0, -1})); // bone 1 names node 0xFFFFFFFF
	Put32(archive.bytes, DataField(archive.bytes, archive.offset, kBonesSlot, 2), 0x7FFFFFF0); // bone 2 past the end
	const Read records = ReadFrom(archive);
	EXPECT_FALSE(records.whole);
	EXPECT_THAT(records.damage, HasSubstr("4294967295"));
	// bones 0 and 3 name nodes 0 and 1; bones 1 and 2 get nodes 2 and 3
	EXPECT_THAT(records.model.bonemap, ElementsAre(0, 2, 3, 1));
	const Node& moved = records.model.nodelist[3];
	EXPECT_TRUE(moved.bone == 2 && Bind(moved) == kIdentity && records.model.names.bones[2] == "bone2");
	EXPECT_EQ(moved.parent, 0) << "NodeTree still reaches the bone through its new node";

	const Read shared = ReadFrom(BuildModelArchive(Skeleton({0, 1, 1})));
	EXPECT_FALSE(shared.whole);
	EXPECT_THAT(shared.damage, HasSubstr("share node 1"));
	EXPECT_EQ(shared.model.nNodes, 2);
	EXPECT_EQ(shared.model.nodelist[1].bone, 2) << "the later bone keeps the node";
}

TEST(Bones, TruncatedByteCodesEndAtTheEndOfTheFile)
{
	// NodeTree: 2 commands of 5 bytes and the end; NodeMix: blends of 10 and 16 bytes and the end
	struct Case {
		const char* what;
		std::size_t definition, keep;
		int nNodes, parentOfNode1;
	};
	const Case cases[] = {
		{"NodeTree", 0, 10, 4, 0}, // no end: the whole commands still apply
		{"NodeTree", 0, 7, 4, -1}, // cut inside the second command
		{"NodeMix", 1, 26, 4, 0},  // no end
		{"NodeMix", 1, 20, 3, 0},  // cut inside the second blend's pairs: its node 3 is not counted
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.what) + " keeping " + std::to_string(c.keep));
		ModelArchive archive = BuildModelArchive(
			Skeleton({0, 1}, {-1, 0}, {{.node = 2, .blend = {{0, 1.0f}}}, {.node = 3, .blend = {{0, 0.5f}, {1, 0.5f}}}}));
		CutDefinitionAtEnd(archive, c.definition, c.keep);
		const Read read = ReadFrom(archive);
		EXPECT_FALSE(read.whole);
		EXPECT_THAT(read.damage, HasSubstr(c.what));
		EXPECT_EQ(read.model.nNodes, c.nNodes);
		EXPECT_EQ(read.model.nodelist[1].parent, c.parentOfNode1);
		EXPECT_EQ(read.model.nodelist[2].nWeights, 1);
	}
}

} // namespace
} // namespace zentarra
