// The model panel's content: the loaded model's bones as a tree, its meshes,
// and the vertex-animation entries with their morph targets. Every node
// carries a parameter whose top byte is its class and whose low bits are an
// index.
#pragma once

#include "model/model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zentarra {

inline constexpr std::uint32_t kBonesNode = 1;
inline constexpr std::uint32_t kMeshesNode = 4;
inline constexpr std::uint32_t kVertexAnimNode = 5;
inline constexpr std::uint32_t kBoneClass = 0x01;
inline constexpr std::uint32_t kMeshClass = 0x04;
inline constexpr std::uint32_t kMorphTargetClass = 0x05;
inline constexpr std::uint32_t kVertexEntryClass = 0x06;

inline std::uint32_t BoneNode(int bone)
{
	return 0x01000000u + std::uint32_t(bone);
}
inline std::uint32_t MeshNode(int mesh)
{
	return 0x04000000u + std::uint32_t(mesh);
}
inline std::uint32_t NodeClass(std::uint32_t param)
{
	return param >> 24;
}
// The bone or mesh of a node: its low 16 bits.
inline int NodeIndex(std::uint32_t param)
{
	return int(param & 0xFFFF);
}

struct ModelTreeNode {
	std::uint32_t param = 0;
	int parent = -1; // index of the parent node in the list, -1 at the top level
	std::string text;
	bool expanded = false;
};

// The nodes in insertion order, each after its parent: "Bones" with every
// bone under its parent's bone (a bone whose parent chain reaches no root
// under "Bones"), "Meshes" with one node per mesh, and while a vertex
// animation is loaded "Vertex Animation" with its entries and targets.
std::vector<ModelTreeNode> FillModelTree(const LoadedModel& model);

// A mesh node's text: its name, behind "* " while the mesh is hidden.
std::string MeshNodeText(const LoadedModel& model, int mesh);

// The texts of the mesh nodes in order (SetMeshNames).
std::vector<std::string> SetMeshNames(const LoadedModel& model);

} // namespace zentarra
