#include "model/bones.h"

#include "model/mdl0_sections.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace zentarra {

namespace {

using mdl0::DamageNotes;
using mdl0::Hex;
using mdl0::R8;

constexpr std::size_t kBonesSlot = 0x14;       // MDL0 header: bones group offset
constexpr std::size_t kBoneRecordSize = 0x44;  // through the translation at +0x38
constexpr std::uint32_t kNodeLimit = 0x10000;  // every other field naming a node is 16-bit

// One "NodeMix" command: opcode 3 makes `node` a blend, opcode 5 only names it.
struct MixCommand {
	std::uint16_t node = 0;
	bool weighted = false;
	std::vector<std::uint16_t> nodes;
	std::vector<float> weights;
};

// Reads the "NodeMix" byte code up to its first opcode other than 3 and 5. A
// command cut by the end of the file is left out.
std::vector<MixCommand> ReadNodeMix(ByteView& view, std::size_t at, DamageNotes& notes)
{
	std::vector<MixCommand> commands;
	for (;;) {
		if (!view.contains(at, 1)) {
			notes.Note("the NodeMix byte code runs into the end of the file");
			break;
		}
		const std::uint8_t opcode = R8(view, at);
		if (opcode == 5) {
			// +1 node index, +3 bone index (not used)
			if (!view.contains(at, 5)) {
				notes.Note("the NodeMix byte code runs into the end of the file");
				break;
			}
			commands.push_back({R16(view, at + 1), false, {}, {}});
			at += 5;
		} else if (opcode == 3) {
			// +1 node index, +3 count n, then n times: blended node (16-bit), weight (float)
			const std::size_t count = view.contains(at, 4) ? R8(view, at + 3) : 0;
			if (!view.contains(at, 4) || !view.contains(at + 4, 6 * count)) {
				notes.Note("the NodeMix byte code runs into the end of the file");
				break;
			}
			MixCommand command;
			command.node = R16(view, at + 1);
			command.weighted = true;
			view.seek(at + 4);
			for (std::size_t q = 0; q < count; ++q) {
				command.nodes.push_back(R16next(view));
				command.weights.push_back(RFloatnext(view));
			}
			commands.push_back(std::move(command));
			at += 4 + 6 * count;
		} else {
			break;
		}
	}
	return commands;
}

// Sets each NodeTree parent in order; bone 0 stays a root whatever its command says.
void ReadNodeTree(ByteView& view, std::size_t at, LoadedModel& model, DamageNotes& notes)
{
	for (;; at += 5) {
		if (!view.contains(at, 1)) {
			notes.Note("the NodeTree byte code runs into the end of the file");
			return;
		}
		if (R8(view, at) != 2)
			return;
		// +1 bone index, +3 parent node index
		if (!view.contains(at, 5)) {
			notes.Note("the NodeTree byte code runs into the end of the file");
			return;
		}
		const std::uint16_t bone = R16(view, at + 1);
		const std::uint16_t parent = R16(view, at + 3);
		if (bone == 0)
			continue;
		if (bone >= model.nBones) {
			notes.Note("NodeTree names bone " + std::to_string(bone) + ", but the model has " +
				std::to_string(model.nBones) + " bones; the command was left out");
			continue;
		}
		if (parent >= model.nNodes) {
			notes.Note("NodeTree gives bone " + std::to_string(bone) + " the parent node " + std::to_string(parent) +
				", beyond the " + std::to_string(model.nNodes) + " nodes; the bone was left without a parent");
			continue;
		}
		model.nodelist[model.bonemap[bone]].parent = parent;
	}
}

// Cuts the parent link that closes each loop, so every chain ends at a root
// and the matrix code that follows chains cannot run forever.
void BreakParentLoops(std::vector<Node>& nodes, DamageNotes& notes)
{
	enum : std::uint8_t { kUnseen, kOnPath, kDone };
	std::vector<std::uint8_t> state(nodes.size(), kUnseen);
	std::vector<int> path;
	for (std::size_t start = 0; start < nodes.size(); ++start) {
		int k = int(start);
		while (k != -1 && state[k] == kUnseen) {
			state[k] = kOnPath;
			path.push_back(k);
			k = nodes[k].parent;
		}
		if (k != -1 && state[k] == kOnPath) {
			const int last = path.back(); // its parent link leads back into this walk
			notes.Note("the parent links of node " + std::to_string(last) + " form a loop; node " +
				std::to_string(last) + " was made a root");
			nodes[last].parent = -1;
		}
		for (const int walked : path)
			state[walked] = kDone;
		path.clear();
	}
}

void SetBindTransform(ByteView& view, std::size_t at, Node& node)
{
	// +0x20 scale, +0x2C rotation in degrees, +0x38 translation
	view.seek(at + 0x20);
	for (float& value : node.scale)
		value = RFloatnext(view);
	for (float& value : node.rot)
		value = RFloatnext(view);
	for (float& value : node.trans)
		value = RFloatnext(view);
}

} // namespace

bool ReadBones(ByteView& file, std::size_t offset, LoadedModel& model, std::string& damage)
{
	ByteView view(file.bytes()); // a view of its own: its reads say nothing of earlier stages
	DamageNotes notes;
	model.nBones = 0;
	model.bonemap.clear();
	model.nNodes = 0;
	model.nodelist.clear();
	model.names.bones.clear();

	// the first "NodeMix" and the first "NodeTree" definition; offset 0 = no definitions
	std::optional<std::size_t> mixAt, treeAt;
	if (const std::uint32_t definitions = R32(view, offset + mdl0::kDefinitionsSlot); definitions != 0) {
		const std::size_t group = offset + definitions;
		const std::size_t count = mdl0::GroupEntries(view, group, "definitions group", notes);
		for (std::size_t i = 0; i < count && !(mixAt && treeAt); ++i) {
			const std::string name = mdl0::EntryName(view, group, i, notes);
			if (name == "NodeMix" && !mixAt)
				mixAt = mdl0::EntryData(view, group, i);
			else if (name == "NodeTree" && !treeAt)
				treeAt = mdl0::EntryData(view, group, i);
		}
	}

	// first pass: the highest node index met, NodeMix commands and bones alike
	std::vector<MixCommand> mix;
	if (mixAt)
		mix = ReadNodeMix(view, *mixAt, notes);
	std::int64_t highest = -1;
	for (const MixCommand& command : mix)
		highest = std::max<std::int64_t>(highest, command.node);

	std::size_t group = 0, nBones = 0;
	if (const std::uint32_t bones = R32(view, offset + kBonesSlot); bones != 0) {
		group = offset + bones;
		nBones = mdl0::GroupEntries(view, group, "bones group", notes);
	}
	// a bone whose record or node index is unusable gets a node of its own past the others
	std::vector<std::size_t> record(nBones);
	std::vector<std::int64_t> boneNode(nBones, -1);
	for (std::size_t i = 0; i < nBones; ++i) {
		record[i] = mdl0::EntryData(view, group, i);
		if (!view.contains(record[i], kBoneRecordSize)) {
			notes.Note("bone " + std::to_string(i) + " lies outside the file (" + Hex(record[i]) +
				"); it was given a node of its own with a unit transform");
			continue;
		}
		const std::uint32_t node = R32(view, record[i] + 0x10);
		if (node >= kNodeLimit) {
			notes.Note("bone " + std::to_string(i) + " names node " + std::to_string(node) +
				", beyond the 16-bit node range; it was given a node of its own");
			continue;
		}
		boneNode[i] = node;
		highest = std::max<std::int64_t>(highest, node);
	}
	std::int64_t nNodes = highest + 1;
	for (std::int64_t& node : boneNode)
		if (node < 0)
			node = nNodes++;

	// gaps keep the Node defaults: no bone, no weights, no parent, unit transform
	model.nBones = int(nBones);
	model.bonemap.resize(nBones);
	model.nNodes = int(nNodes);
	model.nodelist.resize(std::size_t(nNodes));
	model.names.bones.resize(nBones);

	// second pass: bone names, bonemap and bind transforms
	std::vector<int> owner(std::size_t(nNodes), -1);
	for (std::size_t i = 0; i < nBones; ++i) {
		model.names.bones[i] = mdl0::EntryName(view, group, i, notes);
		const int k = int(boneNode[i]);
		model.bonemap[i] = k;
		if (owner[k] >= 0)
			notes.Note("bones " + std::to_string(owner[k]) + " and " + std::to_string(i) + " share node " +
				std::to_string(k) + "; it keeps bone " + std::to_string(i));
		owner[k] = int(i);
		Node& node = model.nodelist[k];
		node = Node{};
		if (view.contains(record[i], kBoneRecordSize))
			SetBindTransform(view, record[i], node);
		node.bone = int(i);
	}

	// weighted nodes; a blend naming a node beyond the table loses that entry
	for (const MixCommand& command : mix) {
		if (!command.weighted)
			continue;
		Node& node = model.nodelist[command.node];
		node.wNode.clear();
		node.weight.clear();
		for (std::size_t q = 0; q < command.nodes.size(); ++q) {
			if (command.nodes[q] >= nNodes) {
				notes.Note("NodeMix blends node " + std::to_string(command.nodes[q]) + " into node " +
					std::to_string(command.node) + ", beyond the " + std::to_string(nNodes) +
					" nodes; that weight was left out");
				continue;
			}
			node.wNode.push_back(command.nodes[q]);
			node.weight.push_back(command.weights[q]);
		}
		node.nWeights = int(node.wNode.size());
		for (int axis = 0; axis < 3; ++axis) {
			node.scale[axis] = 1;
			node.rot[axis] = 0;
			node.trans[axis] = 0;
		}
		node.parent = -1;
	}

	if (treeAt)
		ReadNodeTree(view, *treeAt, model, notes);
	BreakParentLoops(model.nodelist, notes);

	return notes.Report(file, damage);
}

} // namespace zentarra
