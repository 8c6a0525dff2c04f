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
	EXPECT_EQ(ParentText(nodes, "b0"), "b2");
	EXPECT_EQ(ParentText(nodes, "b2"), "Bones");
	for (const char* orphan : {"b1", "b3", "b4"})
		EXPECT_EQ(ParentText(nodes, orphan), "Bones") << orphan;
	for (std::size_t i = 0; i < nodes.size(); ++i)
		EXPECT_LT(nodes[i].parent, int(i)); // every node after its parent
	EXPECT_EQ(nodes[0].param, kBonesNode);
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
	VAnim positions;
	positions.vtxArray = 0;
	positions.vtxTarget = {1, -1, 2};
	VAnim none; // no base array: left out
	VAnim normals;
	normals.nrmArray = 0;
	normals.nrmTarget = {1};
	model.anim.vanim = {positions, none, normals};

	const std::vector<ModelTreeNode> nodes = FillModelTree(model);
	std::vector<std::string> texts;
	std::vector<std::uint32_t> params;
	for (const ModelTreeNode& node : nodes) {
		texts.push_back(node.text);
		params.push_back(node.param);
	}
	EXPECT_EQ(texts, (std::vector<std::string>{"Bones", "b0", "Meshes", "m0", "m1", "* m2", "m3", "Vertex Animation",
		"base", "open", "shut", "nbase", "nopen"}));
	EXPECT_EQ(params[5], 0x04000002u);
	EXPECT_EQ(params[8], 0x06000000u);
	EXPECT_EQ(params[10], 0x05000002u); // entry 0, target 2
	EXPECT_EQ(params[11], 0xFFFFFFFFu);  // an entry without position array
	EXPECT_EQ(params[12], 0x05020000u); // entry 2, target 0
	EXPECT_EQ(SetMeshNames(model), (std::vector<std::string>{"m0", "m1", "* m2", "m3"}));
}

} // namespace
} // namespace zentarra
