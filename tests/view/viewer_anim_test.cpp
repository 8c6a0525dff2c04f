// The viewer's animation commands (the Qt tests drive playback by drawn
// frames): loading and unloading, failed loads, Rotate Bone, Morph Target,
// pose files.
#include "anim/pose.h"
#include "support/demo_archive.h"
#include "support/viewer_fixture.h"


namespace zentarra {
namespace {

class ViewerAnimTest : public testing::ViewerFixture {
protected:
	void SetUp() override { Open("demo.brres", demoBytes); }
	void LoadCrate() { viewer.LoadModel(Entry("crate", ItemKind::MDL0)); }
	int Chr0() { return Entry("crate_open", ItemKind::CHR0); }
	int Shp0() { return Entry("crate_bulge", ItemKind::SHP0); }
	const AnimState& anim() const { return state().model.anim; }
	// The bone's rotation shown (or its bind rotation), as a vector.
	Vec3 Rot(int bone, bool bind = false) const
	{
		const Node& node = state().model.nodelist[std::size_t(state().model.bonemap[std::size_t(bone)])];
		const float* r = bind ? node.rot : node.curRot;
		return {r[0], r[1], r[2]};
	}
	void SetRot(int bone, Vec3 r)
	{
		LoadedModel& model = viewer.editState().model;
		std::copy(r.begin(), r.end(), model.nodelist[std::size_t(model.bonemap[std::size_t(bone)])].curRot);
	}

	const std::vector<std::uint8_t> demoBytes = testing::DemoArchive();
};

TEST_F(ViewerAnimTest, LoadPlayStepAndUnload)
{
	LoadCrate();
	OnEntry(Chr0(), kCmdLoadAnim);
	EXPECT_EQ((std::array{int(anim().type), anim().nFrames, anim().playing}), (std::array{1, 40, 0}));

	// a vertex animation loaded beside the bones: paused at 0, its frame count
	viewer.Command(kCmdPlay);
	OnEntry(Shp0(), kCmdLoadVertexAnim);
	EXPECT_EQ((std::array{int(anim().type), anim().nFrames, anim().playing}), (std::array{3, 30, 0}));
	OnEntry(Chr0(), kCmdAddAnim);
	viewer.Command(kCmdUnloadBones);
	viewer.Command(kCmdPlay);
	viewer.FrameDrawn();
	EXPECT_EQ((std::array{int(anim().type), anim().nFrames, int(anim().frame)}), (std::array{2, 0, 0}));
	viewer.Command(kCmdUnloadAll);
	EXPECT_EQ(viewer.AnimInfo().type, "(no animation loaded)");
}

TEST_F(ViewerAnimTest, FailedLoadsKeepTheAnimationState)
{
	LoadCrate();
	OnEntry(Chr0(), kCmdLoadAnim);
	viewer.Command(kCmdNextFrame);
	// damaged copies of the two animations, then their archive gone
	std::vector<std::uint8_t> bad = demoBytes;
	bad.at(viewer.items().GetItem(Chr0())->offset + 0x22) = 0x7F;
	std::fill_n(bad.begin() + std::ptrdiff_t(viewer.items().GetItem(Shp0())->offset + 0x14), 12, 0xFF);
	viewer.Command(kCmdCloseAllFiles); // the model and its animation stay
	Open("bad.brres", bad);
	const AnimInfoTexts before = viewer.AnimInfo();
	viewer.ActivateFileItem(Chr0());
	EXPECT_EQ(front.LastText().rfind("Error: damaged bone animation: ", 0), 0u) << front.LastText();
	viewer.ActivateFileItem(Shp0());
	EXPECT_EQ(front.LastText().rfind("Error: damaged vertex animation: ", 0), 0u) << front.LastText();
	std::filesystem::remove(Path("bad.brres"));
	viewer.ActivateFileItem(Chr0());
	EXPECT_EQ(front.LastText(), "Can't open file");
	EXPECT_EQ(viewer.AnimInfo().type, before.type);
	EXPECT_EQ(viewer.AnimInfo().frame, "00001.000");
}

TEST_F(ViewerAnimTest, RotateBone)
{
	LoadCrate();
	OnEntry(Chr0(), kCmdLoadAndPlayAnim);
	viewer.Command(kCmdMore);
	viewer.ActivateModelNode(BoneNode(2));
	EXPECT_EQ(anim().playing, 0); // the next step would overwrite the edit
	EXPECT_TRUE(viewer.BoneSlidersMoved({10, 20, 300}) & kRedraw);
	SetRot(2, {-90, 450, 800});
	EXPECT_EQ(viewer.BoneDialogPositions(), (std::array<int, 3>{270, 90, 360}));

	// Reset: the animation's rotation at the current frame (checked with the posing), the bind one when stopped
	for (int i = 0; i < 20; ++i)
		viewer.Command(kCmdNextFrame);
	viewer.BoneDialogReset();
	EXPECT_EQ(Rot(2)[0], float(RotationToTrackPosition(BoneResetRotation(state().model, 2)[0])));
	viewer.Command(kCmdStop);
	viewer.BoneDialogReset();
	EXPECT_EQ(Rot(2), Rot(2, true));

	// "Pose..." from the menu: owned by the main window, a new window
	const int generation = viewer.boneDialog().generation;
	viewer.ModelContextMenu(BoneNode(1));
	viewer.Command(kCmdPoseBone);
	EXPECT_EQ(std::pair(viewer.boneDialog().ownedByModelPanel, viewer.boneDialog().generation > generation),
		std::pair(false, true));
	EXPECT_TRUE(viewer.LoadModel(Entry("crate", ItemKind::MDL0)) & kBoneDialog); // a new model closes it
	EXPECT_FALSE(viewer.boneDialog().open);
}

TEST_F(ViewerAnimTest, MorphTarget)
{
	LoadCrate();
	viewer.Command(kCmdMore);
	OnEntry(Shp0(), kCmdLoadAndPlayVertexAnim);
	viewer.Command(kCmdMore);
	const auto target = [&] {
		for (const ModelTreeNode& node : viewer.modelTree())
			if (NodeClass(node.param) == kMorphTargetClass)
				return node.param;
		return 0u;
	};
	ASSERT_NE(target(), 0u);
	EXPECT_TRUE(viewer.ActivateModelNode(target()) & kMorphDialog);
	viewer.MorphDialogOpened();
	EXPECT_TRUE(viewer.MorphSliderMoved(50) & kRedraw);
	EXPECT_EQ(state().model.MD.morph[0][0], 0.5f);
	Refresh refresh = kRefreshNone;
	viewer.Command(kCmdStop);
	EXPECT_EQ(viewer.MorphDialogReset(refresh), 0);
	viewer.ModelContextMenu(target());
	EXPECT_TRUE(viewer.Command(kCmdMorph) & kMorphDialog);
	EXPECT_TRUE(viewer.Command(kCmdUnloadVertices) & kModelPanel); // its targets leave the open panel
	EXPECT_EQ(target(), 0u);
}

TEST_F(ViewerAnimTest, PoseFilesRoundTripAndBadFiles)
{
	LoadCrate();
	front.saveAnswers = {Path("a")}; // the extension is added
	SetRot(1, {12.345678f, -7.5f, 200.25f});
	viewer.Command(kCmdSavePose);

	SetRot(1, {1, 1, 1});
	front.openAnswers = {{Path("a.pos")}};
	EXPECT_TRUE(viewer.Command(kCmdLoadPose) & kRedraw);
	EXPECT_EQ(Rot(1)[0], 12.345678f);

	const std::string pony = "PONY\ncrate_body 9 9 9\n";
	front.openAnswers = {{Write("bad.pos", {pony.begin(), pony.end()})}};
	viewer.Command(kCmdLoadPose);
	EXPECT_EQ(front.LastText(), "Not a valid Pose file");
}

} // namespace
} // namespace zentarra
