// The viewer's animation commands (the Qt tests drive playback by drawn
// frames): loading and unloading, failed loads, Rotate Bone, Morph Target,
// pose files.
#include "anim/pose.h"
#include "support/demo_archive.h"
#include "support/viewer_fixture.h"

#include <cstdio>

namespace zentarra {
namespace {

Vec3 V(const float* r)
{
	return {r[0], r[1], r[2]};
}

class ViewerAnimTest : public testing::ViewerFixture {
protected:
	void SetUp() override
	{
		ViewerFixture::SetUp();
		demoBytes = testing::DemoArchive();
		Open("demo.brres", demoBytes);
	}
	void LoadCrate() { viewer.LoadModel(Entry("crate", ItemKind::MDL0)); }
	int Chr0() { return Entry("crate_open", ItemKind::CHR0); }
	int Shp0() { return Entry("crate_bulge", ItemKind::SHP0); }
	Refresh OnItem(int item, int command)
	{
		viewer.FilesContextMenu(item);
		return viewer.Command(command);
	}
	const AnimState& anim() const { return state().model.anim; }
	float* CurRot(int bone)
	{
		LoadedModel& model = viewer.editState().model;
		return model.nodelist[std::size_t(model.bonemap[std::size_t(bone)])].curRot;
	}
	const float* BindRot(int bone)
	{
		const LoadedModel& model = state().model;
		return model.nodelist[std::size_t(model.bonemap[std::size_t(bone)])].rot;
	}

	std::vector<std::uint8_t> demoBytes;
};

TEST_F(ViewerAnimTest, LoadPlayStepAndUnload)
{
	LoadCrate();
	OnItem(Chr0(), kCmdLoadAnim);
	EXPECT_EQ(anim().type, 1u);
	EXPECT_EQ(anim().nFrames, 40);
	EXPECT_EQ(anim().playing, 0);
	viewer.Command(kCmdPlay);
	const float playing = anim().frame;
	viewer.KeyDown(InputKey::Right, false); // stepping waits for a pause
	viewer.Command(kCmdNextFrame);
	EXPECT_EQ(anim().frame, playing);
	viewer.Command(kCmdStop);
	EXPECT_EQ(anim().playing, 0);
	EXPECT_EQ(viewer.AnimInfo().frame, "(stopped)");
	EXPECT_TRUE(viewer.menuState().IsEnabled(kCmdAnimInfo));

	// a vertex animation loaded beside the bones: paused at 0, its frame count
	viewer.Command(kCmdPlay);
	OnItem(Shp0(), kCmdLoadVertexAnim);
	EXPECT_EQ(anim().type, 3u);
	EXPECT_EQ(anim().playing, 0);
	EXPECT_EQ(anim().frame, 0.0f);
	EXPECT_EQ(anim().nFrames, 30);
	EXPECT_EQ(viewer.AnimInfo().type, "Bones, Vertices");
	OnItem(Chr0(), kCmdAddAnim);
	EXPECT_EQ(viewer.AnimInfo().frame, "(?)");
	EXPECT_EQ(viewer.AnimInfo().frameCount, "(?)");
	viewer.Command(kCmdUnloadBones);
	EXPECT_EQ(anim().type, 2u);
	EXPECT_EQ(anim().nFrames, 0);
	viewer.Command(kCmdPlay);
	viewer.FrameDrawn();
	EXPECT_EQ(anim().frame, 0.0f);
	viewer.Command(kCmdUnloadAll);
	EXPECT_EQ(anim().type, 0u);
	EXPECT_EQ(viewer.AnimInfo().type, "(no animation loaded)");
}

TEST_F(ViewerAnimTest, FailedLoadsKeepTheAnimationState)
{
	OnItem(Chr0(), kCmdLoadAndPlayAnim); // no model
	EXPECT_EQ(front.LastText(), "Error: no model has been loaded");
	EXPECT_EQ(anim().playing, 0);

	LoadCrate();
	OnItem(Chr0(), kCmdLoadAnim);
	viewer.Command(kCmdNextFrame);

	// damaged copies of the two animations, then their archive gone
	std::vector<std::uint8_t> bad = demoBytes;
	bad.at(viewer.items().GetItem(Chr0())->offset + 0x22) = 0x7F;
	for (std::size_t i = 0x14; i < 0x20; ++i)
		bad.at(viewer.items().GetItem(Shp0())->offset + i) = 0xFF;
	const std::string badPath = Write("bad.brres", bad);
	viewer.OpenFiles({badPath});
	int badChr0 = -1, badShp0 = -1;
	for (const ItemRecord& item : viewer.items().items())
		if (item.path == badPath && item.kind == ItemKind::CHR0)
			badChr0 = item.id;
		else if (item.path == badPath && item.kind == ItemKind::SHP0)
			badShp0 = item.id;
	ASSERT_GE(badChr0, 0);
	ASSERT_GE(badShp0, 0);
	const AnimInfoTexts before = viewer.AnimInfo();

	viewer.ActivateFileItem(badChr0);
	EXPECT_EQ(front.LastText().rfind("Error: damaged bone animation: ", 0), 0u) << front.LastText();
	viewer.ActivateFileItem(badShp0);
	EXPECT_EQ(front.LastText().rfind("Error: damaged vertex animation: ", 0), 0u) << front.LastText();
	std::filesystem::remove(badPath);
	viewer.ActivateFileItem(badChr0);
	EXPECT_EQ(front.LastText(), "Can't open file");

	EXPECT_EQ(viewer.AnimInfo().type, before.type);
	EXPECT_EQ(viewer.AnimInfo().frame, "00001.000");
	EXPECT_EQ(anim().playing, 0);
	EXPECT_EQ(state().model.animname, "crate_open");
}

TEST_F(ViewerAnimTest, RotateBone)
{
	LoadCrate();
	OnItem(Chr0(), kCmdLoadAndPlayAnim);
	viewer.Command(kCmdMore);
	viewer.ActivateModelNode(BoneNode(2));
	EXPECT_EQ(anim().playing, 0); // the next step would overwrite the edit
	EXPECT_EQ(viewer.BoneDialogTitle(), "crate_lid");
	EXPECT_TRUE(viewer.boneDialog().ownedByModelPanel);

	EXPECT_TRUE(viewer.BoneSlidersMoved({10, 20, 300}) & kRedraw);
	EXPECT_EQ(V(CurRot(2)), (Vec3{10, 20, 300}));
	const float wrapped[3] = {-90, 450, 800};
	std::copy(wrapped, wrapped + 3, CurRot(2));
	EXPECT_EQ(viewer.BoneDialogPositions(), (std::array<int, 3>{270, 90, 360}));

	// Reset: the animation's rotation at the current frame, or the bind one when stopped
	for (int i = 0; i < 20; ++i)
		viewer.Command(kCmdNextFrame);
	viewer.BoneDialogReset();
	const Vec3 animated = BoneResetRotation(state().model, 2);
	EXPECT_NE(animated, V(BindRot(2)));
	EXPECT_EQ(viewer.BoneDialogPositions(), BoneTrackPositions(state().model, 2));
	EXPECT_EQ(CurRot(2)[0], float(RotationToTrackPosition(animated[0])));
	viewer.Command(kCmdStop);
	viewer.BoneDialogReset();
	EXPECT_EQ(V(CurRot(2)), V(BindRot(2)));

	// "Pose..." from the menu: owned by the main window, a new window
	const int generation = viewer.boneDialog().generation;
	viewer.ModelContextMenu(BoneNode(1));
	viewer.Command(kCmdPoseBone);
	EXPECT_EQ(viewer.boneDialog().bone, 1);
	EXPECT_FALSE(viewer.boneDialog().ownedByModelPanel);
	EXPECT_GT(viewer.boneDialog().generation, generation);
	viewer.BoneDialogClosed();
	EXPECT_FALSE(viewer.boneDialog().open);
	viewer.ActivateModelNode(BoneNode(2));

	// a new model closes the window and the panel
	EXPECT_TRUE(viewer.LoadModel(Entry("crate", ItemKind::MDL0)) & kBoneDialog);
	EXPECT_FALSE(viewer.boneDialog().open);
	EXPECT_FALSE(state().modelPanelOpen);
}

TEST_F(ViewerAnimTest, MorphTarget)
{
	LoadCrate();
	viewer.Command(kCmdMore);
	OnItem(Shp0(), kCmdLoadAndPlayVertexAnim);
	EXPECT_FALSE(state().modelPanelOpen); // its tree lists the targets
	viewer.Command(kCmdMore);
	std::uint32_t target = 0;
	for (const ModelTreeNode& node : viewer.modelTree())
		if (NodeClass(node.param) == kMorphTargetClass)
			target = node.param;
	ASSERT_NE(target, 0u);
	for (int i = 0; i < 10; ++i)
		viewer.FrameDrawn();

	EXPECT_TRUE(viewer.ActivateModelNode(target) & kMorphDialog);
	EXPECT_EQ(viewer.morphItem(), target);
	const int opened = viewer.MorphDialogOpened();
	EXPECT_EQ(anim().playing, 0);
	EXPECT_EQ(opened, MorphTrackPosition(state().model, DecodeMorphItem(target)));
	EXPECT_TRUE(viewer.MorphSliderMoved(50) & kRedraw);
	EXPECT_EQ(state().model.MD.morph[0][0], 0.5f);
	Refresh refresh = kRefreshNone;
	EXPECT_EQ(viewer.MorphDialogReset(refresh), opened); // the keyed weight at the frame
	viewer.Command(kCmdStop);
	EXPECT_EQ(viewer.MorphDialogReset(refresh), 0);
	EXPECT_EQ(state().model.MD.morph[0][0], 0.0f);

	viewer.ModelContextMenu(target);
	EXPECT_TRUE(viewer.Command(kCmdMorph) & kMorphDialog);
	// unloaded, its targets leave the open panel
	EXPECT_TRUE(viewer.Command(kCmdUnloadVertices) & kModelPanel);
	for (const ModelTreeNode& node : viewer.modelTree())
		EXPECT_NE(NodeClass(node.param), kMorphTargetClass);
}

TEST_F(ViewerAnimTest, PoseFilesRoundTripAndBadFiles)
{
	LoadCrate();
	const std::string pose = (folder / "a.pos").string();
	front.saveAnswers = {(folder / "a").string()}; // the extension is added
	const float rotation[3] = {12.345678f, -7.5f, 200.25f};
	std::copy(rotation, rotation + 3, CurRot(1));
	viewer.Command(kCmdSavePose);
	ASSERT_EQ(front.saveRequests.size(), 1u);
	EXPECT_EQ(front.saveRequests[0].offeredName, "");
	EXPECT_EQ(front.saveRequests[0].defaultExtension, "pos");
	EXPECT_EQ(testing::ReadWholeText(pose).rfind("POSE\ncrate_root ", 0), 0u);

	CurRot(1)[0] = 1;
	front.openAnswers = {{pose}};
	EXPECT_TRUE(viewer.Command(kCmdLoadPose) & kRedraw);
	ASSERT_EQ(front.openRequests.size(), 1u);
	EXPECT_EQ(front.openRequests[0].title, "Select a pose file to read");
	EXPECT_EQ(front.openRequests[0].filters[0].label, "Pose files (*.pos)");
	EXPECT_FALSE(front.openRequests[0].multiple);
	char text[64];
	std::snprintf(text, sizeof text, "%f %f %f", CurRot(1)[0], CurRot(1)[1], CurRot(1)[2]);
	EXPECT_STREQ(text, "12.345678 -7.500000 200.250000");

	const std::string bad = Write("bad.pos", testing::TextBytes("PONY\ncrate_body 9 9 9\n"));
	front.openAnswers = {{bad}, {(folder / "gone.pos").string()}};
	viewer.Command(kCmdLoadPose);
	EXPECT_EQ(front.LastText(), "Not a valid Pose file");
	EXPECT_EQ(front.messages.back().owner, MessageOwner::NoOwner);
	viewer.Command(kCmdLoadPose);
	EXPECT_EQ(front.messages.size(), 2u);
	EXPECT_EQ(CurRot(1)[0], 12.345678f);
}

} // namespace
} // namespace zentarra
