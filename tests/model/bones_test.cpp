// The node table (bones, NodeMix weights, NodeTree parents) of models the
// test-only writer lays out, of damaged copies of them and of the corpus.
#include "model/bones.h"

#include "base/file_io.h"
#include "support/corpus.h"
#include "support/mdl0_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace zentarra {
namespace {

using namespace zentarra::testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr std::size_t kDefinitions = 0x10; // header slots of the groups
constexpr std::size_t kBones = 0x14;

struct Read {
	LoadedModel model;
	bool whole = false;
	std::string damage;
};

Read ReadFrom(const Bytes& bytes, std::size_t offset)
{
	Read read;
	ByteView file(bytes);
	read.whole = ReadBones(file, offset, read.model, read.damage);
	EXPECT_EQ(read.whole, !file.damaged()) << "damage is marked on the file exactly when reported";
	return read;
}

Read ReadFrom(const ModelArchive& archive) { return ReadFrom(archive.bytes, archive.offset); }

// Bones "bone<i>" on `nodes`, with parent nodes `parents` (-1 a root; none: all roots).
Mdl0Model Skeleton(const std::vector<int>& nodes, const std::vector<int>& parents = {})
{
	Mdl0Model model;
	for (std::size_t i = 0; i < nodes.size(); ++i)
		model.bones.push_back({.name = "bone" + std::to_string(i), .node = nodes[i],
			.parent = parents.empty() ? -1 : parents[i]});
	return model;
}

// Absolute offset of the field holding entry i's data offset, in the group at header `slot`.
std::size_t DataField(const ModelArchive& archive, std::size_t slot, std::size_t i)
{
	ByteView view(archive.bytes);
	return archive.offset + R32(view, archive.offset + slot) + 0x24 + 16 * i;
}

// Absolute offset of definition i's byte code (NodeTree 0, NodeMix 1).
std::size_t DefinitionAt(const ModelArchive& archive, std::size_t i)
{
	const std::size_t field = DataField(archive, kDefinitions, i);
	ByteView view(archive.bytes);
	return field - 0x24 - 16 * i + R32(view, field);
}

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
	for (std::size_t k = 0; k < 4; ++k)
		bytes[at + k] = std::uint8_t(value >> (24 - 8 * k));
}

// Copies the first `keep` bytes of definition i's byte code to the end of the
// file and points the entry there: the byte code runs into the end while the
// rest of the file stays whole.
void CutDefinitionAtEnd(ModelArchive& archive, std::size_t i, std::size_t keep)
{
	const std::size_t code = DefinitionAt(archive, i);
	const Bytes kept(archive.bytes.begin() + std::ptrdiff_t(code), archive.bytes.begin() + std::ptrdiff_t(code + keep));
	const std::size_t field = DataField(archive, kDefinitions, i);
	Put32(archive.bytes, field, std::uint32_t(archive.bytes.size() - (field - 0x24 - 16 * i)));
	archive.bytes.insert(archive.bytes.end(), kept.begin(), kept.end());
}

bool IdentityBind(const Node& node)
{
	for (int axis = 0; axis < 3; ++axis)
		if (node.scale[axis] != 1 || node.rot[axis] != 0 || node.trans[axis] != 0)
			return false;
	return true;
}

int WeightedNodes(const LoadedModel& model)
{
	int count = 0;
	for (const Node& node : model.nodelist)
		count += node.nWeights > 0;
	return count;
}

// Whatever the file held: every index is inside the table and every parent chain ends.
void ExpectConsistent(const LoadedModel& model)
{
	ASSERT_EQ(model.nodelist.size(), std::size_t(model.nNodes));
	ASSERT_TRUE(model.bonemap.size() == std::size_t(model.nBones) && model.names.bones.size() == model.bonemap.size());
	for (const int node : model.bonemap)
		ASSERT_TRUE(node >= 0 && node < model.nNodes);
	for (const Node& node : model.nodelist) {
		ASSERT_TRUE(node.wNode.size() == std::size_t(node.nWeights) && node.weight.size() == node.wNode.size());
		for (const int blended : node.wNode)
			ASSERT_TRUE(blended >= 0 && blended < model.nNodes);
		ASSERT_TRUE(node.bone >= -1 && node.bone < model.nBones);
		int steps = 0;
		for (int p = node.parent; p != -1; p = model.nodelist[p].parent) {
			ASSERT_TRUE(p >= 0 && p < model.nNodes);
			ASSERT_LE(++steps, model.nNodes) << "parent chain loops";
		}
	}
}

TEST(Bones, NodeCountCoversBonesAndNodeMixAlike)
{
	// bones out of node order; NodeMix names node 11 (opcode 5 only) and node 7, which no bone has
	Mdl0Model description = Skeleton({4, 0, 2});
	description.bones[0].scale = {0.5f, 2, 3};
	description.bones[0].rot = {10, -20, 30.5f};
	description.bones[0].trans = {1, -2, 3.25f};
	description.nodeMix = {{.node = 11, .blend = {}, .bone = 0}, {.node = 7, .blend = {{0, 1.0f}}},
		{.node = 2, .blend = {}, .bone = 2}};
	const Read read = ReadFrom(BuildModelArchive(description));
	EXPECT_TRUE(read.whole) << read.damage;
	const LoadedModel& model = read.model;
	EXPECT_EQ(model.nNodes, 12);
	EXPECT_THAT(model.bonemap, ElementsAre(4, 0, 2));
	EXPECT_THAT(model.names.bones, ElementsAre("bone0", "bone1", "bone2"));
	EXPECT_EQ(model.nodelist[4].bone, 0);
	EXPECT_THAT(model.nodelist[4].scale, ElementsAre(0.5f, 2.0f, 3.0f));
	EXPECT_THAT(model.nodelist[4].rot, ElementsAre(10.0f, -20.0f, 30.5f));
	EXPECT_THAT(model.nodelist[4].trans, ElementsAre(1.0f, -2.0f, 3.25f));
	EXPECT_EQ(model.nodelist[2].bone, 2);
	EXPECT_EQ(model.nodelist[2].nWeights, 0) << "opcode 5 leaves the bone's node alone";
	EXPECT_EQ(model.nodelist[7].nWeights, 1);
	for (const int gap : {1, 3, 5, 6, 8, 9, 10, 11}) {
		const Node& node = model.nodelist[gap];
		EXPECT_TRUE(node.bone == -1 && node.nWeights == 0 && node.parent == -1 && IdentityBind(node)) << gap;
	}
}

TEST(Bones, BlendMakesAWeightedNodeWithIdentityBind)
{
	Mdl0Model description = Skeleton({0, 1, 2, 3, 4}, {-1, 0, 1, -1, -1});
	description.bones[2].scale = description.bones[2].rot = description.bones[2].trans = {2, 2, 2};
	description.nodeMix = {{.node = 5, .blend = {{3, 0.25f}, {4, 0.75f}}}, {.node = 2, .blend = {{0, 1.0f}}}};
	const Read read = ReadFrom(BuildModelArchive(description));
	EXPECT_TRUE(read.whole) << read.damage;
	ASSERT_EQ(read.model.nNodes, 6);

	const Node& blend = read.model.nodelist[5];
	EXPECT_EQ(blend.nWeights, 2);
	EXPECT_THAT(blend.wNode, ElementsAre(3, 4));
	EXPECT_THAT(blend.weight, ElementsAre(0.25f, 0.75f));
	EXPECT_EQ(blend.parent, -1);
	EXPECT_TRUE(IdentityBind(blend));

	// node 2 is named by bone 2 and by a blend: it ends up weighted with the
	// identity bind; the bone still maps to it, and NodeTree, read after
	// NodeMix, still gives it its parent
	const Node& both = read.model.nodelist[2];
	EXPECT_THAT(both.wNode, ElementsAre(0));
	EXPECT_TRUE(IdentityBind(both));
	EXPECT_EQ(read.model.bonemap[2], 2);
	EXPECT_EQ(both.parent, 1);
}

TEST(Bones, NodeTreeParentsGoToTheBonesNodesButNeverToBoneZero)
{
	// bone 0 on node 2, bone 1 on node 0, bone 2 on node 1, as real files do
	const Read read = ReadFrom(BuildModelArchive(Skeleton({2, 0, 1}, {1, 2, 0})));
	EXPECT_TRUE(read.whole) << read.damage;
	EXPECT_EQ(read.model.nodelist[2].parent, -1) << "bone 0 stays a root though its command names a parent";
	EXPECT_EQ(read.model.nodelist[0].parent, 2);
	EXPECT_EQ(read.model.nodelist[1].parent, 0);
}

// --- damaged files ---

TEST(Bones, ParentLoopsAreCut)
{
	const Read read = ReadFrom(BuildModelArchive(Skeleton({0, 1, 2, 3, 4, 5}, {-1, 2, 3, 1, 4, 0})));
	EXPECT_FALSE(read.whole);
	EXPECT_THAT(read.damage, HasSubstr("loop"));
	ExpectConsistent(read.model);
	const std::vector<Node>& nodes = read.model.nodelist;
	EXPECT_EQ((nodes[1].parent == -1) + (nodes[2].parent == -1) + (nodes[3].parent == -1), 1)
		<< "one link of the ring 1 -> 2 -> 3 -> 1 is cut";
	EXPECT_EQ(nodes[4].parent, -1) << "a node that is its own parent becomes a root";
	EXPECT_EQ(nodes[5].parent, 0) << "sound links are kept";
}

TEST(Bones, IndicesBeyondTheTableAreLeftOut)
{
	Mdl0Model description = Skeleton({0, 1, 2, 3}, {-1, 50, 1, -1});
	description.nodeMix = {{.node = 4, .blend = {{0, 0.5f}, {60, 0.25f}, {1, 0.25f}}}};
	ModelArchive archive = BuildModelArchive(description);
	archive.bytes[DefinitionAt(archive, 0) + 2] = 9; // NodeTree's first command names bone 9, not bone 0
	const Read read = ReadFrom(archive);
	EXPECT_FALSE(read.whole);
	EXPECT_THAT(read.damage, HasSubstr("node 60"));
	EXPECT_THAT(read.damage, HasSubstr("node 50"));
	EXPECT_THAT(read.damage, HasSubstr("bone 9"));
	ExpectConsistent(read.model);
	const std::vector<Node>& nodes = read.model.nodelist;
	EXPECT_THAT(nodes[4].wNode, ElementsAre(0, 1)) << "only the weight naming node 60 is dropped";
	EXPECT_THAT(nodes[4].weight, ElementsAre(0.5f, 0.25f));
	EXPECT_EQ(nodes[1].parent, -1);
	EXPECT_EQ(nodes[2].parent, 1) << "commands after a bad one still apply";
}

TEST(Bones, UnusableOrSharedBoneRecords)
{
	Mdl0Model description = Skeleton({0, -1, 2, 1}, {-1, 0, 0, -1}); // bone 1 names node 0xFFFFFFFF
	ModelArchive archive = BuildModelArchive(description);
	Put32(archive.bytes, DataField(archive, kBones, 2), 0x7FFFFFF0); // bone 2's record lies past the end
	const Read read = ReadFrom(archive);
	EXPECT_FALSE(read.whole);
	EXPECT_THAT(read.damage, HasSubstr("4294967295"));
	ExpectConsistent(read.model);
	const LoadedModel& model = read.model;
	EXPECT_EQ(model.nNodes, 4) << "bones 0 and 3 name nodes 0 and 1; bones 1 and 2 get nodes 2 and 3";
	EXPECT_THAT(model.bonemap, ElementsAre(0, 2, 3, 1));
	EXPECT_EQ(model.nodelist[3].bone, 2);
	EXPECT_EQ(model.nodelist[3].parent, 0) << "NodeTree still reaches the bone through its new node";
	EXPECT_TRUE(IdentityBind(model.nodelist[3]));
	EXPECT_EQ(model.names.bones[2], "bone2");

	const Read shared = ReadFrom(BuildModelArchive(Skeleton({0, 1, 1})));
	EXPECT_FALSE(shared.whole);
	EXPECT_THAT(shared.damage, HasSubstr("share node 1"));
	EXPECT_EQ(shared.model.nNodes, 2);
	EXPECT_EQ(shared.model.nodelist[1].bone, 2) << "the later bone keeps the node";
}

TEST(Bones, TruncatedByteCodesEndAtTheEndOfTheFile)
{
	// NodeTree: 2 commands of 5 bytes and the end; NodeMix: blends of 10 and 16 bytes and the end
	Mdl0Model description = Skeleton({0, 1}, {-1, 0});
	description.nodeMix = {{.node = 2, .blend = {{0, 1.0f}}}, {.node = 3, .blend = {{0, 0.5f}, {1, 0.5f}}}};
	struct Case {
		const char* what;
		std::size_t definition, keep;
		int nNodes, parentOfNode1;
	};
	const Case cases[] = {
		{"NodeTree", 0, 10, 4, 0},  // no end: the whole commands still apply
		{"NodeTree", 0, 7, 4, -1},  // cut inside the second command
		{"NodeMix", 1, 26, 4, 0},   // no end
		{"NodeMix", 1, 20, 3, 0},   // cut inside the second blend's pairs: its node 3 is not counted
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.what) + " keeping " + std::to_string(c.keep));
		ModelArchive archive = BuildModelArchive(description);
		CutDefinitionAtEnd(archive, c.definition, c.keep);
		const Read read = ReadFrom(archive);
		EXPECT_FALSE(read.whole);
		EXPECT_THAT(read.damage, HasSubstr(c.what));
		ExpectConsistent(read.model);
		EXPECT_EQ(read.model.nNodes, c.nNodes);
		EXPECT_EQ(read.model.nodelist[1].parent, c.parentOfNode1);
		EXPECT_EQ(read.model.nodelist[2].nWeights, 1);
	}
}

TEST(Bones, EveryPrefixAndOffsetReadsSafely)
{
	Mdl0Model description = Skeleton({0, 1, 2, 3}, {-1, 0, 1, 0});
	description.nodeMix = {{.node = 0, .blend = {}, .bone = 0}, {.node = 4, .blend = {{1, 0.5f}, {2, 0.5f}}},
		{.node = 5, .blend = {{2, 0.5f}, {3, 0.5f}}}};
	const Bytes bytes = BuildMDL0(description);
	for (std::size_t n = 0; n <= bytes.size(); ++n) {
		SCOPED_TRACE(n);
		const Bytes prefix(bytes.begin(), bytes.begin() + std::ptrdiff_t(n)); // its own, so ASan sees the end
		const Read read = ReadFrom(prefix, 0);
		ExpectConsistent(read.model);
		if (n == bytes.size()) {
			EXPECT_TRUE(read.whole) << read.damage;
			EXPECT_EQ(read.model.nNodes, 6);
		}
	}
	for (std::size_t offset = 0; offset < bytes.size(); ++offset)
		ExpectConsistent(ReadFrom(bytes, offset).model);
}

// --- the corpus ---

TEST(Bones, CorpusModelsMatchTheInventory)
{
	std::map<std::string, Read> reads; // by "file model"
	testing::ForEachCorpusModel([&](const std::string& where, const std::vector<std::uint8_t>& bytes, const auto& sub) {
		Read read = ReadFrom(bytes, sub["offset"].template get<std::size_t>());
		EXPECT_TRUE(read.whole) << read.damage;
		EXPECT_EQ(read.model.nBones, sub["bones"].template get<int>());
		EXPECT_EQ(WeightedNodes(read.model), sub["envelopes"].template get<int>());
		ExpectConsistent(read.model);
		reads[where] = std::move(read);
	});
	EXPECT_GT(reads.size(), 20u);
	const LoadedModel& human = reads.at("brres/human_walk.brres human_walk").model;
	EXPECT_EQ(human.nBones, 53);
	EXPECT_EQ(WeightedNodes(human), 148);
	// kuribo: bone 2 sits on node 1, under node 12; the root turns 90 degrees
	const LoadedModel& kuribo = reads.at("brres/kuribo.brres kuribo").model;
	EXPECT_EQ(kuribo.nodelist[kuribo.bonemap[2]].parent, 12);
	EXPECT_THAT(kuribo.nodelist[0].rot, ElementsAre(0.0f, 0.0f, 90.0f));
}

} // namespace
} // namespace zentarra
