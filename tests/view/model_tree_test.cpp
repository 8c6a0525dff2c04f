// The model panel's nodes.
#include "support/scene.h"
#include "view/model_tree.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

using testing::AddMesh;
using testing::Facing;

// Bones b with their node's parent node; node i is bone i.
LoadedModel Skeleton(const std::vector<int>& parents)
{
	LoadedModel model;
	model.nBones = int(parents.size());
	for (std::size_t b = 0; b < parents.size(); ++b) {
		Node node;
		node.bone = int(b);
		node.parent = parents[b];
		model.nodelist.push_back(node);
		model.bonemap.push_back(int(b));
		model.names.bones.push_back("b" + std::to_string(b));
	}
	model.nNodes = int(model.nodelist.size());
	return model;
}

std::string ParentText(const std::vector<ModelTreeNode>& nodes, const std::string& text)
{
	for (const ModelTreeNode& node : nodes)
		if (node.text == text)
			return node.parent < 0 ? "(top)" : nodes[std::size_t(node.parent)].text;
	return "(missing)";
}

TEST(FillModelTree, BonesUnderTheirParentsWhateverTheirOrder)
{
	// b0 under b2 (listed later), b1 and b3 point at each other, b4 at a weighted node
	LoadedModel model = Skeleton({2, 3, -1, 1, 5});
	Node weighted;
	weighted.nWeights = 2;
	model.nodelist.push_back(weighted);
	const std::vector<ModelTreeNode> nodes = FillModelTree(model);
	for (const auto& [bone, parent] : {std::pair{"b0", "b2"}, {"b2", "Bones"}, {"b1", "Bones"}, {"b3", "Bones"},
			 {"b4", "Bones"}})
		EXPECT_EQ(ParentText(nodes, bone), parent) << bone;
	for (std::size_t i = 0; i < nodes.size(); ++i)
		EXPECT_LT(nodes[i].parent, int(i)); // every node after its parent
}

TEST(FillModelTree, MeshesAndVertexAnimation)
{
	LoadedModel model = Skeleton({-1});
	for (const char* name : {"m0", "m1", "m2", "m3"})
		AddMesh(model, {Facing(1)}, 2, name);
	model.MD.meshVisible[2] = 0;
	model.names.positions = {"base", "open", "shut"};
	model.names.normals = {"nbase", "nopen"};
	model.anim.type = 2;
	model.anim.vanim.resize(3); // the second without base array: left out
	model.anim.vanim[0].vtxArray = 0;
	model.anim.vanim[0].vtxTarget = {1, -1, 2};
	model.anim.vanim[2].nrmArray = 0;
	model.anim.vanim[2].nrmTarget = {1};

	const std::vector<ModelTreeNode> nodes = FillModelTree(model);
	std::vector<std::pair<std::string, std::uint32_t>> texts;
	for (const ModelTreeNode& node : nodes)
		texts.emplace_back(node.text, node.param);
	// the morph targets: 0x05, the entry, the target; the normals' entry has no position array
	EXPECT_EQ(texts, (std::vector<std::pair<std::string, std::uint32_t>>{{"Bones", kBonesNode}, {"b0", BoneNode(0)},
		{"Meshes", kMeshesNode}, {"m0", MeshNode(0)}, {"m1", MeshNode(1)}, {"* m2", 0x04000002}, {"m3", MeshNode(3)},
		{"Vertex Animation", texts[7].second}, {"base", 0x06000000}, {"open", 0x05000000}, {"shut", 0x05000002},
		{"nbase", 0xFFFFFFFF}, {"nopen", 0x05020000}}));
}

} // namespace
} // namespace zentarra
