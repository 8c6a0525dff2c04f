#include "view/model_tree.h"

#include <algorithm>

namespace zentarra {

namespace {

std::string NameOf(const std::vector<std::string>& names, int index)
{
	return index >= 0 && std::size_t(index) < names.size() ? names[std::size_t(index)] : std::string();
}

// The bone that moves the parent of bone b's node, -1 when its node is a
// root (or no bone node).
int ParentBone(const LoadedModel& model, int bone)
{
	if (bone < 0 || std::size_t(bone) >= model.bonemap.size())
		return -1;
	const int node = model.bonemap[std::size_t(bone)];
	if (node < 0 || std::size_t(node) >= model.nodelist.size())
		return -1;
	const int parent = model.nodelist[std::size_t(node)].parent;
	if (parent < 0 || std::size_t(parent) >= model.nodelist.size())
		return -1;
	const int parentBone = model.nodelist[std::size_t(parent)].bone;
	return parentBone >= 0 ? parentBone : -2; // -2: a parent that is not a bone
}

void AddBones(const LoadedModel& model, std::vector<ModelTreeNode>& nodes, int bonesNode)
{
	const int nBones = model.nBones;
	std::vector<int> placedAt(std::size_t(std::max(nBones, 0)), -1);
	int left = nBones;
	// every bone after its parent: passes until a pass places nothing, then
	// the bones whose chain never reaches a root go under "Bones"
	while (left > 0) {
		bool placedAny = false;
		for (int b = 0; b < nBones; ++b) {
			if (placedAt[std::size_t(b)] >= 0)
				continue;
			const int parent = ParentBone(model, b);
			int under = -1;
			if (parent == -1)
				under = bonesNode;
			else if (parent >= 0 && parent < nBones && placedAt[std::size_t(parent)] >= 0)
				under = placedAt[std::size_t(parent)];
			else
				continue;
			placedAt[std::size_t(b)] = int(nodes.size());
			nodes.push_back({BoneNode(b), under, NameOf(model.names.bones, b), true});
			--left;
			placedAny = true;
		}
		if (!placedAny) {
			for (int b = 0; b < nBones; ++b)
				if (placedAt[std::size_t(b)] < 0) {
					placedAt[std::size_t(b)] = int(nodes.size());
					nodes.push_back({BoneNode(b), bonesNode, NameOf(model.names.bones, b), true});
				}
			left = 0;
		}
	}
}

void AddVertexAnimation(const LoadedModel& model, std::vector<ModelTreeNode>& nodes)
{
	const int top = int(nodes.size());
	nodes.push_back({kVertexAnimNode, -1, "Vertex Animation", false});
	const std::vector<VAnim>& entries = model.anim.vanim;
	for (std::size_t j = 0; j < entries.size(); ++j) {
		const VAnim& entry = entries[j];
		if (entry.vtxArray == -1 && entry.nrmArray == -1)
			continue;
		const bool positions = entry.vtxArray != -1;
		const std::uint32_t param = positions ? 0x06000000u + std::uint32_t(entry.vtxArray) : 0xFFFFFFFFu;
		const int at = int(nodes.size());
		nodes.push_back({param, top,
			positions ? NameOf(model.names.positions, entry.vtxArray) : NameOf(model.names.normals, entry.nrmArray),
			true});
		const std::vector<int>& targets = positions ? entry.vtxTarget : entry.nrmTarget;
		for (std::size_t t = 0; t < targets.size(); ++t) {
			if (targets[t] == -1)
				continue;
			const std::uint32_t target = 0x05000000u + std::uint32_t(j) * 65536u + std::uint32_t(t);
			nodes.push_back({target, at,
				positions ? NameOf(model.names.positions, targets[t]) : NameOf(model.names.normals, targets[t]),
				false});
		}
	}
}

} // namespace

std::string MeshNodeText(const LoadedModel& model, int mesh)
{
	const std::vector<int>& visible = model.MD.meshVisible;
	const bool hidden = mesh >= 0 && std::size_t(mesh) < visible.size() && visible[std::size_t(mesh)] == 0;
	return (hidden ? "* " : "") + NameOf(model.names.meshes, mesh);
}

std::vector<ModelTreeNode> FillModelTree(const LoadedModel& model)
{
	std::vector<ModelTreeNode> nodes;
	nodes.push_back({kBonesNode, -1, "Bones", false});
	AddBones(model, nodes, 0);

	const int meshes = int(nodes.size());
	nodes.push_back({kMeshesNode, -1, "Meshes", false});
	for (int m = 0; m < model.MD.nMesh; ++m)
		nodes.push_back({MeshNode(m), meshes, MeshNodeText(model, m), false});

	if (model.anim.type & 2)
		AddVertexAnimation(model, nodes);
	return nodes;
}

std::vector<std::string> SetMeshNames(const LoadedModel& model)
{
	std::vector<std::string> texts;
	for (int m = 0; m < model.MD.nMesh; ++m)
		texts.push_back(MeshNodeText(model, m));
	return texts;
}

} // namespace zentarra
