#include "model/bones.h"

#include "archive/brres_directory.h"
#include "base/file_io.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <bit>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace zentarra {
namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

// --- a tiny MDL0 builder: header, definitions group, bones group ---

void Put16(Bytes& bytes, std::size_t at, std::uint16_t value)
{
	bytes[at] = std::uint8_t(value >> 8);
	bytes[at + 1] = std::uint8_t(value);
}

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
	Put16(bytes, at, std::uint16_t(value >> 16));
	Put16(bytes, at + 2, std::uint16_t(value));
}

std::size_t Append(Bytes& bytes, const Bytes& more)
{
	const std::size_t at = bytes.size();
	bytes.insert(bytes.end(), more.begin(), more.end());
	return at;
}

std::size_t Reserve(Bytes& bytes, std::size_t length)
{
	const std::size_t at = bytes.size();
	bytes.resize(at + length);
	return at;
}

// Byte-code commands.
Bytes Blend(std::uint16_t node, std::vector<std::pair<std::uint16_t, float>> weights)
{
	Bytes code = {3, std::uint8_t(node >> 8), std::uint8_t(node), std::uint8_t(weights.size())};
	for (const auto& [blended, weight] : weights) {
		const std::uint32_t bits = std::bit_cast<std::uint32_t>(weight);
		code.insert(code.end(), {std::uint8_t(blended >> 8), std::uint8_t(blended), std::uint8_t(bits >> 24),
			std::uint8_t(bits >> 16), std::uint8_t(bits >> 8), std::uint8_t(bits)});
	}
	return code;
}

Bytes Single(std::uint16_t node, std::uint16_t bone)
{
	return {5, std::uint8_t(node >> 8), std::uint8_t(node), std::uint8_t(bone >> 8), std::uint8_t(bone)};
}

Bytes Parent(std::uint16_t bone, std::uint16_t parentNode)
{
	return {2, std::uint8_t(bone >> 8), std::uint8_t(bone), std::uint8_t(parentNode >> 8), std::uint8_t(parentNode)};
}

// Commands followed by the end opcode 1.
Bytes Code(std::vector<Bytes> commands, bool terminated = true)
{
	Bytes code;
	for (const Bytes& command : commands)
		code.insert(code.end(), command.begin(), command.end());
	if (terminated)
		code.push_back(1);
	return code;
}

struct BonePlan {
	std::string name;
	std::uint32_t node = 0;
	std::array<float, 9> transform = {1, 1, 1, 0, 0, 0, 0, 0, 0}; // scale, rotation, translation
};

struct ModelPlan {
	std::vector<std::pair<std::string, Bytes>> definitions; // none: offset 0
	std::vector<BonePlan> bones;                             // none: offset 0
};

struct Built {
	Bytes bytes;
	std::size_t definitionsGroup = 0;
	std::size_t bonesGroup = 0;
	std::vector<std::size_t> definitionAt; // absolute offset of each byte code
	std::vector<std::size_t> boneAt;       // absolute offset of each bone record
};

constexpr std::size_t kModel = 0x40; // the sub-file does not start the file: offsets are relative to it

// Writes an index group for `count` entries; returns its offset.
std::size_t AddGroup(Bytes& bytes, std::size_t count)
{
	const std::size_t group = Reserve(bytes, 0x18 + 16 * count);
	Put32(bytes, group, std::uint32_t(0x18 + 16 * count));
	Put32(bytes, group + 4, std::uint32_t(count));
	Put16(bytes, group + 8, 0xFFFF);
	return group;
}

void SetEntry(Bytes& bytes, std::size_t group, std::size_t i, std::size_t name, std::size_t data)
{
	Put32(bytes, group + 0x20 + 16 * i, std::uint32_t(name - group));
	Put32(bytes, group + 0x24 + 16 * i, std::uint32_t(data - group));
}

Built BuildModel(const ModelPlan& plan)
{
	Built built;
	Bytes& bytes = built.bytes;
	Reserve(bytes, kModel + 0x40);
	bytes[kModel] = 'M', bytes[kModel + 1] = 'D', bytes[kModel + 2] = 'L', bytes[kModel + 3] = '0';
	Put32(bytes, kModel + 8, 11);
	std::vector<std::pair<std::size_t, std::string>> names; // (entry, name), written last

	std::size_t& definitions = built.definitionsGroup;
	std::size_t& bones = built.bonesGroup;
	if (!plan.definitions.empty()) {
		definitions = AddGroup(bytes, plan.definitions.size());
		Put32(bytes, kModel + 0x10, std::uint32_t(definitions - kModel));
	}
	if (!plan.bones.empty()) {
		bones = AddGroup(bytes, plan.bones.size());
		Put32(bytes, kModel + 0x14, std::uint32_t(bones - kModel));
	}
	for (const auto& [name, code] : plan.definitions)
		built.definitionAt.push_back(Append(bytes, code));
	for (const BonePlan& bone : plan.bones) {
		const std::size_t record = Reserve(bytes, 0xD0);
		Put32(bytes, record + 0x10, bone.node);
		for (std::size_t k = 0; k < 9; ++k)
			Put32(bytes, record + 0x20 + 4 * k, std::bit_cast<std::uint32_t>(bone.transform[k]));
		built.boneAt.push_back(record);
	}
	for (std::size_t i = 0; i < plan.definitions.size(); ++i) {
		const std::size_t name = Append(bytes, Bytes(plan.definitions[i].first.begin(), plan.definitions[i].first.end()));
		bytes.push_back(0);
		SetEntry(bytes, definitions, i, name, built.definitionAt[i]);
	}
	for (std::size_t i = 0; i < plan.bones.size(); ++i) {
		const std::size_t name = Append(bytes, Bytes(plan.bones[i].name.begin(), plan.bones[i].name.end()));
		bytes.push_back(0);
		SetEntry(bytes, bones, i, name, built.boneAt[i]);
	}
	return built;
}

// Moves definition i's byte code to the end of the file, where a cut leaves the rest whole.
void MoveDefinitionToTail(Built& built, std::size_t i, const Bytes& code)
{
	const std::size_t tail = Append(built.bytes, code);
	Put32(built.bytes, built.definitionsGroup + 0x24 + 16 * i, std::uint32_t(tail - built.definitionsGroup));
	built.definitionAt[i] = tail;
}

struct Read {
	LoadedModel model;
	bool whole = false;
	std::string damage;
};

Read ReadFrom(const Bytes& bytes, std::size_t offset = kModel)
{
	Read read;
	ByteView file(bytes);
	read.whole = ReadBones(file, offset, read.model, read.damage);
	EXPECT_EQ(read.whole, !file.damaged()) << "damage is marked on the file exactly when reported";
	return read;
}

std::vector<BonePlan> BonesOnNodes(std::vector<std::uint32_t> nodes)
{
	std::vector<BonePlan> bones;
	for (std::size_t i = 0; i < nodes.size(); ++i)
		bones.push_back({"bone" + std::to_string(i), nodes[i], {1, 1, 1, 0, 0, 0, 0, 0, 0}});
	return bones;
}

void ExpectHarmless(const Node& node, const std::string& what)
{
	SCOPED_TRACE(what);
	EXPECT_EQ(node.nWeights, 0);
	EXPECT_EQ(node.parent, -1);
	EXPECT_EQ(node.bone, -1);
	EXPECT_TRUE(node.wNode.empty());
	EXPECT_THAT(node.scale, ::testing::ElementsAre(1.0f, 1.0f, 1.0f));
	EXPECT_THAT(node.rot, ::testing::ElementsAre(0.0f, 0.0f, 0.0f));
	EXPECT_THAT(node.trans, ::testing::ElementsAre(0.0f, 0.0f, 0.0f));
}

// Whatever the file held: every index is inside the table and every parent chain ends.
void ExpectConsistent(const LoadedModel& model)
{
	ASSERT_EQ(model.nodelist.size(), std::size_t(model.nNodes));
	ASSERT_EQ(model.bonemap.size(), std::size_t(model.nBones));
	ASSERT_EQ(model.names.bones.size(), std::size_t(model.nBones));
	for (const int node : model.bonemap)
		ASSERT_TRUE(node >= 0 && node < model.nNodes);
	for (const Node& node : model.nodelist) {
		ASSERT_EQ(node.wNode.size(), std::size_t(node.nWeights));
		ASSERT_EQ(node.weight.size(), std::size_t(node.nWeights));
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

// --- node table ---

TEST(Bones, NodeCountIsOneMoreThanTheHighestIndexOfBonesAndNodeMix)
{
	std::vector<BonePlan> bones = BonesOnNodes({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
	bones[7].transform = {0.5f, 2, 3, 10, -20, 30.5f, 1, -2, 3.25f};
	const Built built = BuildModel({{{"NodeMix", Code({Single(3, 3), Blend(14, {{1, 0.5f}, {2, 0.5f}})})}}, bones});
	const Read read = ReadFrom(built.bytes);
	EXPECT_TRUE(read.whole) << read.damage;
	EXPECT_EQ(read.damage, "");
	const LoadedModel& model = read.model;
	EXPECT_EQ(model.nBones, 10);
	EXPECT_EQ(model.nNodes, 15);
	EXPECT_EQ(model.names.bones[7], "bone7");
	EXPECT_EQ(model.bonemap[7], 7);
	EXPECT_EQ(model.nodelist[7].bone, 7);
	EXPECT_THAT(model.nodelist[7].scale, ::testing::ElementsAre(0.5f, 2.0f, 3.0f));
	EXPECT_THAT(model.nodelist[7].rot, ::testing::ElementsAre(10.0f, -20.0f, 30.5f));
	EXPECT_THAT(model.nodelist[7].trans, ::testing::ElementsAre(1.0f, -2.0f, 3.25f));
	EXPECT_EQ(model.nodelist[3].nWeights, 0) << "opcode 5 leaves the bone node alone";
	EXPECT_EQ(model.nodelist[3].bone, 3);
	for (int gap = 10; gap < 14; ++gap)
		ExpectHarmless(model.nodelist[gap], "gap node " + std::to_string(gap));
	EXPECT_EQ(model.nodelist[14].nWeights, 2);

	// an opcode-5 node counts as well, even above every bone
	const Read single = ReadFrom(BuildModel({{{"NodeMix", Code({Single(11, 0)})}}, BonesOnNodes({0, 1})}).bytes);
	EXPECT_TRUE(single.whole) << single.damage;
	EXPECT_EQ(single.model.nNodes, 12);
	ExpectHarmless(single.model.nodelist[11], "node named by opcode 5 only");

	// bones need not lie in node order; the highest index decides, NodeMix absent
	const Read shuffled = ReadFrom(BuildModel({{}, BonesOnNodes({4, 0, 2})}).bytes);
	EXPECT_TRUE(shuffled.whole) << shuffled.damage;
	EXPECT_EQ(shuffled.model.nNodes, 5);
	EXPECT_THAT(shuffled.model.bonemap, ::testing::ElementsAre(4, 0, 2));
	EXPECT_EQ(shuffled.model.nodelist[4].bone, 0);
	EXPECT_EQ(shuffled.model.nodelist[2].bone, 2);
	ExpectHarmless(shuffled.model.nodelist[1], "gap node 1");
	ExpectHarmless(shuffled.model.nodelist[3], "gap node 3");
}

TEST(Bones, BlendCommandMakesAWeightedNodeWithIdentityBindTransform)
{
	std::vector<BonePlan> bones = BonesOnNodes({0, 1, 2, 3, 4});
	bones[2].transform = {2, 2, 2, 10, 20, 30, 1, 2, 3};
	const Built built = BuildModel({{{"NodeTree", Code({Parent(2, 1)})},
		{"NodeMix", Code({Blend(5, {{3, 0.25f}, {4, 0.75f}}), Blend(2, {{0, 1.0f}})})}}, bones});
	const Read read = ReadFrom(built.bytes);
	EXPECT_TRUE(read.whole) << read.damage;
	const LoadedModel& model = read.model;
	ASSERT_EQ(model.nNodes, 6);

	const Node& blend = model.nodelist[5];
	EXPECT_EQ(blend.nWeights, 2);
	EXPECT_THAT(blend.wNode, ::testing::ElementsAre(3, 4));
	EXPECT_THAT(blend.weight, ::testing::ElementsAre(0.25f, 0.75f));
	EXPECT_EQ(blend.parent, -1);
	EXPECT_THAT(blend.scale, ::testing::ElementsAre(1.0f, 1.0f, 1.0f));
	EXPECT_THAT(blend.rot, ::testing::ElementsAre(0.0f, 0.0f, 0.0f));
	EXPECT_THAT(blend.trans, ::testing::ElementsAre(0.0f, 0.0f, 0.0f));

	// node 2 is named by bone 2 and by a blend: it ends up weighted, with the
	// identity bind transform; the bone still maps to it and NodeTree, read
	// after NodeMix, still gives it its parent
	const Node& both = model.nodelist[2];
	EXPECT_EQ(both.nWeights, 1);
	EXPECT_THAT(both.wNode, ::testing::ElementsAre(0));
	EXPECT_THAT(both.scale, ::testing::ElementsAre(1.0f, 1.0f, 1.0f));
	EXPECT_THAT(both.rot, ::testing::ElementsAre(0.0f, 0.0f, 0.0f));
	EXPECT_THAT(both.trans, ::testing::ElementsAre(0.0f, 0.0f, 0.0f));
	EXPECT_EQ(model.bonemap[2], 2);
	EXPECT_EQ(model.names.bones[2], "bone2");
	EXPECT_EQ(both.parent, 1);
}

TEST(Bones, NodeTreeParentsGoToTheBonesNodesAndNeverToBoneZero)
{
	// bone 0 on node 2, bone 1 on node 0, bone 2 on node 1, as real files do
	const Built built = BuildModel({{{"NodeTreeX", Code({Parent(1, 1)})},
		{"NodeTree", Code({Parent(0, 1), Parent(1, 2), Parent(2, 0)})},
		{"NodeTree", Code({Parent(2, 2)})}}, BonesOnNodes({2, 0, 1})});
	const Read read = ReadFrom(built.bytes);
	EXPECT_TRUE(read.whole) << read.damage;
	const std::vector<Node>& nodes = read.model.nodelist;
	EXPECT_EQ(nodes[2].parent, -1) << "bone 0 stays a root even when its command names a parent";
	EXPECT_EQ(nodes[0].parent, 2);
	EXPECT_EQ(nodes[1].parent, 0) << "only the first definition named exactly NodeTree counts";

	// without NodeTree every node is a root
	const Read roots = ReadFrom(BuildModel({{{"DrawOpa", Code({})}}, BonesOnNodes({0, 1, 2})}).bytes);
	EXPECT_TRUE(roots.whole) << roots.damage;
	for (const Node& node : roots.model.nodelist)
		EXPECT_EQ(node.parent, -1);
}

TEST(Bones, MissingSectionsGiveAnEmptyTable)
{
	const Read none = ReadFrom(BuildModel({}).bytes);
	EXPECT_TRUE(none.whole) << none.damage;
	EXPECT_EQ(none.model.nBones, 0);
	EXPECT_EQ(none.model.nNodes, 0);

	// NodeMix without bones: the blend still has its node; NodeTree has no bone to move
	const Read mixOnly = ReadFrom(BuildModel({{{"NodeMix", Code({Blend(1, {{0, 1.0f}})})}}, {}}).bytes);
	EXPECT_TRUE(mixOnly.whole) << mixOnly.damage;
	EXPECT_EQ(mixOnly.model.nNodes, 2);
	EXPECT_EQ(mixOnly.model.nodelist[1].nWeights, 1);
	ExpectConsistent(mixOnly.model);

	// reading again replaces what the record held
	Read again = ReadFrom(BuildModel({{}, BonesOnNodes({0, 1, 2})}).bytes);
	const Bytes empty = BuildModel({}).bytes;
	ByteView file(empty);
	EXPECT_TRUE(ReadBones(file, kModel, again.model, again.damage));
	EXPECT_EQ(again.model.nNodes, 0);
	EXPECT_TRUE(again.model.nodelist.empty());
	EXPECT_TRUE(again.model.names.bones.empty());
}

// --- damaged files ---

TEST(Bones, ParentLoopsAreCut)
{
	const Bytes tree = Code({Parent(1, 2), Parent(2, 3), Parent(3, 1), Parent(4, 4), Parent(5, 0)});
	const Built built = BuildModel({{{"NodeTree", tree}}, BonesOnNodes({0, 1, 2, 3, 4, 5})});
	const Read read = ReadFrom(built.bytes);
	EXPECT_FALSE(read.whole);
	EXPECT_THAT(read.damage, HasSubstr("loop"));
	ExpectConsistent(read.model);
	const std::vector<Node>& nodes = read.model.nodelist;
	// one link of the ring 1 -> 2 -> 3 -> 1 is cut, the others stay
	EXPECT_EQ((nodes[1].parent == -1) + (nodes[2].parent == -1) + (nodes[3].parent == -1), 1);
	EXPECT_EQ(nodes[4].parent, -1) << "a node that is its own parent becomes a root";
	EXPECT_EQ(nodes[5].parent, 0) << "sound links are kept";
}

TEST(Bones, IndicesBeyondTheTableAreLeftOut)
{
	const Built built = BuildModel({{{"NodeMix", Code({Blend(4, {{0, 0.5f}, {60, 0.25f}, {1, 0.25f}})})},
		{"NodeTree", Code({Parent(1, 50), Parent(9, 0), Parent(2, 1)})}}, BonesOnNodes({0, 1, 2, 3})});
	const Read read = ReadFrom(built.bytes);
	EXPECT_FALSE(read.whole);
	EXPECT_THAT(read.damage, HasSubstr("node 60"));
	EXPECT_THAT(read.damage, HasSubstr("node 50"));
	EXPECT_THAT(read.damage, HasSubstr("bone 9"));
	ExpectConsistent(read.model);
	const std::vector<Node>& nodes = read.model.nodelist;
	EXPECT_THAT(nodes[4].wNode, ::testing::ElementsAre(0, 1)) << "only the weight naming node 60 is dropped";
	EXPECT_THAT(nodes[4].weight, ::testing::ElementsAre(0.5f, 0.25f));
	EXPECT_EQ(nodes[1].parent, -1);
	EXPECT_EQ(nodes[2].parent, 1) << "commands after a bad one still apply";
}

TEST(Bones, UnusableBoneRecordsGetANodeOfTheirOwn)
{
	Built built = BuildModel({{{"NodeTree", Code({Parent(1, 0), Parent(2, 0)})}}, BonesOnNodes({0, 1, 2, 1})});
	Put32(built.bytes, built.boneAt[1] + 0x10, 0xFFFFFFFF); // a node index no table could hold
	Put32(built.bytes, built.bonesGroup + 0x24 + 16 * 2, 0x7FFFFFF0); // bone 2's record lies past the end
	const Read read = ReadFrom(built.bytes);
	EXPECT_FALSE(read.whole);
	ExpectConsistent(read.model);
	const LoadedModel& model = read.model;
	EXPECT_EQ(model.nBones, 4);
	EXPECT_EQ(model.nNodes, 4) << "bones 0 and 3 name nodes 0 and 1; bones 1 and 2 get nodes 2 and 3";
	EXPECT_EQ(model.bonemap[1], 2);
	EXPECT_EQ(model.bonemap[2], 3);
	EXPECT_EQ(model.nodelist[3].bone, 2);
	EXPECT_EQ(model.nodelist[3].parent, 0) << "NodeTree still reaches the bone through its new node";
	EXPECT_THAT(model.nodelist[3].scale, ::testing::ElementsAre(1.0f, 1.0f, 1.0f));
	EXPECT_EQ(model.names.bones[2], "bone2");
	EXPECT_THAT(read.damage, HasSubstr("4294967295"));
}

TEST(Bones, BonesSharingANodeAreReported)
{
	const Read read = ReadFrom(BuildModel({{}, BonesOnNodes({0, 1, 1})}).bytes);
	EXPECT_FALSE(read.whole);
	EXPECT_THAT(read.damage, HasSubstr("share node 1"));
	EXPECT_EQ(read.model.nNodes, 2);
	EXPECT_EQ(read.model.nodelist[1].bone, 2) << "the later bone keeps the node";
	EXPECT_THAT(read.model.bonemap, ::testing::ElementsAre(0, 1, 1));
}

TEST(Bones, TruncatedByteCodesEndAtTheEndOfTheFile)
{
	// NodeMix cut inside the pairs of its second blend: only the whole command is kept
	{
		const Bytes code = Code({Blend(2, {{0, 1.0f}}), Blend(3, {{0, 0.5f}, {1, 0.5f}})});
		Built built = BuildModel({{{"NodeMix", code}}, BonesOnNodes({0, 1})});
		MoveDefinitionToTail(built, 0, code);
		built.bytes.resize(built.definitionAt[0] + 10 + 4 + 6);
		const Read read = ReadFrom(built.bytes);
		EXPECT_FALSE(read.whole);
		EXPECT_THAT(read.damage, HasSubstr("NodeMix"));
		ExpectConsistent(read.model);
		EXPECT_EQ(read.model.nNodes, 3) << "the cut command's node 3 is not counted";
		EXPECT_EQ(read.model.nodelist[2].nWeights, 1);
		EXPECT_EQ(read.model.nodelist[1].bone, 1);
	}
	// byte codes that never end before the end of the file
	for (const char* name : {"NodeMix", "NodeTree"}) {
		SCOPED_TRACE(name);
		const Bytes endless = std::string(name) == "NodeMix" ? Code({Single(0, 0), Single(1, 1)}, false)
		                                                       : Code({Parent(1, 0), Parent(1, 0)}, false);
		Built built = BuildModel({{{name, endless}}, BonesOnNodes({0, 1})});
		MoveDefinitionToTail(built, 0, endless);
		const Read read = ReadFrom(built.bytes);
		EXPECT_FALSE(read.whole);
		EXPECT_THAT(read.damage, HasSubstr(name));
		ExpectConsistent(read.model);
		EXPECT_EQ(read.model.nNodes, 2);
		if (std::string(name) == "NodeTree") {
			EXPECT_EQ(read.model.nodelist[1].parent, 0) << "the whole commands still apply";
		}
	}
}

TEST(Bones, EveryPrefixReadsSafely)
{
	std::vector<BonePlan> bones = BonesOnNodes({0, 1, 2, 3});
	const Built built = BuildModel({{{"NodeTree", Code({Parent(0, 0), Parent(1, 0), Parent(2, 1), Parent(3, 0)})},
		{"NodeMix", Code({Single(0, 0), Blend(4, {{1, 0.5f}, {2, 0.5f}}), Blend(5, {{2, 0.5f}, {3, 0.5f}})})}}, bones});
	for (std::size_t n = 0; n <= built.bytes.size(); ++n) {
		SCOPED_TRACE(n);
		Bytes prefix(built.bytes.begin(), built.bytes.begin() + std::ptrdiff_t(n)); // fresh, so ASan sees the end
		const Read read = ReadFrom(prefix);
		ExpectConsistent(read.model);
		if (n == built.bytes.size()) {
			EXPECT_TRUE(read.whole) << read.damage;
			EXPECT_EQ(read.model.nNodes, 6);
		}
	}
	// and the same model read at every offset as though a sub-file started there
	for (std::size_t offset = 0; offset < built.bytes.size(); ++offset) {
		Read read;
		ByteView file(built.bytes);
		ReadBones(file, offset, read.model, read.damage);
		ExpectConsistent(read.model);
	}
}

// --- real models ---

struct CorpusModel {
	Bytes bytes;
	std::size_t offset = 0;
};

CorpusModel LoadCorpusModel(const std::string& file, const std::string& name)
{
	CorpusModel model;
	FileBytes read = ReadWholeFile(std::string(ZENTARRA_CORPUS) + "/" + file);
	EXPECT_EQ(read.status, ReadStatus::Ok) << file;
	model.bytes = std::move(read.bytes);
	ByteView view(model.bytes);
	OpenArchives items;
	ReadBRRES(view, file, items, nullptr);
	const ItemRecord* item = items.FindItem(name, ItemKind::MDL0, 0);
	EXPECT_NE(item, nullptr) << file << " " << name;
	if (item)
		model.offset = item->offset;
	return model;
}

int WeightedNodes(const LoadedModel& model)
{
	int count = 0;
	for (const Node& node : model.nodelist)
		count += node.nWeights > 0;
	return count;
}

TEST(Bones, RealSkinnedModels)
{
	const CorpusModel human = LoadCorpusModel("brres/human_walk.brres", "human_walk");
	const Read read = ReadFrom(human.bytes, human.offset);
	EXPECT_TRUE(read.whole) << read.damage;
	EXPECT_EQ(read.model.nBones, 53);
	EXPECT_EQ(WeightedNodes(read.model), 148);
	ExpectConsistent(read.model);
	for (const Node& node : read.model.nodelist) {
		float sum = 0;
		for (const float weight : node.weight)
			sum += weight;
		if (node.nWeights > 0) {
			EXPECT_NEAR(sum, 1.0f, 1e-3f);
		}
	}

	// kuribo: bone 2 (ankle_l) sits on node 1 under leg_l's node 12
	const CorpusModel kuribo = LoadCorpusModel("brres/kuribo.brres", "kuribo");
	const Read small = ReadFrom(kuribo.bytes, kuribo.offset);
	EXPECT_TRUE(small.whole) << small.damage;
	EXPECT_EQ(small.model.nNodes, 14);
	EXPECT_EQ(small.model.names.bones[2], "ankle_l");
	EXPECT_EQ(small.model.bonemap[2], 1);
	EXPECT_EQ(small.model.nodelist[1].parent, 12);
	EXPECT_EQ(small.model.nodelist[12].bone, 1);
	EXPECT_EQ(small.model.names.bones[1], "leg_l");
	EXPECT_EQ(small.model.nodelist[0].parent, -1);
	EXPECT_THAT(small.model.nodelist[0].rot, ::testing::ElementsAre(0.0f, 0.0f, 90.0f));
	EXPECT_EQ(WeightedNodes(small.model), 5);
}

TEST(Bones, EveryCorpusModelMatchesTheInventory)
{
	std::ifstream in(std::string(ZENTARRA_CORPUS) + "/INVENTORY.json");
	ASSERT_TRUE(in);
	const nlohmann::json inventory = nlohmann::json::parse(in);
	int models = 0;
	for (const auto& archive : inventory) {
		const FileBytes file = ReadWholeFile(std::string(ZENTARRA_CORPUS) + "/" + archive["file"].get<std::string>());
		for (const auto& sub : archive["subfiles"]) {
			if (sub["kind"] != "MDL0")
				continue;
			SCOPED_TRACE(archive["file"].get<std::string>() + " " + sub["name"].get<std::string>());
			const Read read = ReadFrom(file.bytes, sub["offset"].get<std::size_t>());
			EXPECT_TRUE(read.whole) << read.damage;
			EXPECT_EQ(read.model.nBones, sub["bones"].get<int>());
			EXPECT_EQ(WeightedNodes(read.model), sub["envelopes"].get<int>());
			ExpectConsistent(read.model);
			++models;
		}
	}
	EXPECT_GT(models, 20);
}

} // namespace
} // namespace zentarra
