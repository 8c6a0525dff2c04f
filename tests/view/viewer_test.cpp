// The Viewer's commands: opening and closing files, loading models, the model
// panel and its nodes.
#include "support/container_writer.h"
#include "support/demo_archive.h"
#include "support/viewer_fixture.h"
#include "view/model_tree.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

class ViewerTest : public testing::ViewerFixture {
protected:
	const std::string demo = Write("demo.brres", testing::DemoArchive());
};

TEST_F(ViewerTest, OpenSummariesThenCloseOneAndAll)
{
	const std::string junk = Write("junk.bin", {1, 2, 3, 4, 5});
	front.openAnswers = {{demo, junk, junk}};
	viewer.Command(kCmdOpenFiles);
	EXPECT_EQ(front.LastText(), "Warning: some of the selected files are not valid BRRES files");
	viewer.OpenFiles({Path("missing.brres"), demo}); // a missing file counts as not valid
	EXPECT_EQ(front.LastText(), "Warning: one of the selected files is not a valid BRRES file");

	std::vector<int> archives;
	for (const ItemRecord& item : viewer.items().items())
		if (item.kind == ItemKind::Archive)
			archives.push_back(item.id);
	ASSERT_EQ(archives.size(), 2u);
	const std::size_t perArchive = viewer.items().items().size() / 2;
	EXPECT_EQ(viewer.FilesContextMenu(archives[0]).id, 5000);
	viewer.Command(kCmdCloseFile);
	EXPECT_EQ(viewer.filesTree().nodes().size(), perArchive);

	viewer.LoadModel(Entry("crate", ItemKind::MDL0));
	viewer.Command(kCmdCloseAllFiles);
	EXPECT_GT(state().model.MD.nMesh, 0); // the model stays
	viewer.OpenCommandLine("\"" + demo + "\"");
	EXPECT_EQ(viewer.items().items().front().id, 0); // ids start again
	EXPECT_EQ(viewer.FindEntry("3DModels(NW4R)/crate", ItemKind::MDL0), Entry("crate", ItemKind::MDL0));
}

TEST_F(ViewerTest, PathsExpansionAndContainers)
{
	viewer.Command(kCmdAutoExpand);
	viewer.OpenFiles({demo});
	EXPECT_TRUE(viewer.filesTree().nodes().at(0).expanded);
	viewer.Command(kCmdCollapseAll);
	viewer.Command(kCmdExpandAll);
	for (const FilesTreeNode& node : viewer.filesTree().nodes()) {
		const FilesTreeNode* parent = viewer.filesTree().Find(node.parent);
		EXPECT_EQ(node.expanded, !parent || parent->parent == -1) << node.text; // archives and folders, not entries
	}

	// an archive inside a container shows where it came from, and its model finds its textures there
	viewer.Command(kCmdCloseAllFiles);
	const std::string szs =
		Write("course.szs", testing::EncodeYaz0(testing::BuildU8({{"stage/crate.brres", testing::DemoArchive()}})));
	viewer.OpenFiles({szs});
	EXPECT_EQ(viewer.filesTree().nodes().at(0).text, "course.szs/stage/crate.brres");
	viewer.Command(kCmdFullPath);
	EXPECT_EQ(viewer.filesTree().nodes()[0].text, szs + "/stage/crate.brres");
	viewer.LoadModel(Entry("crate", ItemKind::MDL0));
	EXPECT_EQ(state().tx.meshTex, (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(ViewerTest, LoadingModelsAndTheModelPanel)
{
	viewer.OpenFiles({demo});
	viewer.Command(kCmdViewTexture);
	EXPECT_TRUE(viewer.ActivateFileItem(Entry("crate", ItemKind::MDL0)) & kMenus);
	EXPECT_EQ(state().disp.view, kModelView);

	EXPECT_TRUE(viewer.Command(kCmdMore) & kModelPanel);
	viewer.SelectModelNode(BoneNode(1)); // a mesh chosen after a bone: the bone no longer
	viewer.SelectModelNode(MeshNode(3));
	EXPECT_EQ((std::array{state().smesh, state().sbone}), (std::array{3, -1}));
	viewer.ModelContextMenu(MeshNode(2));
	EXPECT_TRUE(viewer.Command(kCmdHideMesh) & kMeshNames);
	EXPECT_TRUE(viewer.ModelContextMenu(MeshNode(2)).entries[1].checked);
	viewer.ActivateModelNode(MeshNode(3)); // a double-click isolates
	EXPECT_EQ(state().model.MD.meshVisible, (std::vector<int>{0, 0, 0, 1}));
	viewer.Command(kCmdShowAllMeshes);
	EXPECT_EQ(state().model.MD.meshVisible, (std::vector<int>{1, 1, 1, 1}));
	viewer.SelectModelNode(BoneNode(1));
	viewer.LoadModel(Entry("crate", ItemKind::MDL0)); // another model closes the panel
	EXPECT_EQ((std::array{int(state().modelPanelOpen), state().sbone}), (std::array{0, -1}));
}

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

} // namespace
} // namespace zentarra
