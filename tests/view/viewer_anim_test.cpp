// The viewer's animation side (the Qt tests drive playback and its keys):
// the Animation menu's rules, failed loads, Rotate Bone, Morph Target, pose files.
#include "anim/pose.h"
#include "base/file_io.h"
#include "support/demo_archive.h"
#include "support/scene.h"
#include "view/viewer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace zentarra {
namespace {

namespace fs = std::filesystem;

Vec3 V(const float* r)
{
	return {r[0], r[1], r[2]};
}
void Set(float* r, Vec3 v)
{
	std::copy(v.begin(), v.end(), r);
}

class ViewerAnimTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		folder = fs::temp_directory_path() /
			("zentarra-anim-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
		fs::remove_all(folder);
		fs::create_directories(folder);
		demoBytes = testing::DemoArchive();
		demo = Write("demo.brres", demoBytes);
		viewer.OpenFiles({demo});
	}
	void TearDown() override { fs::remove_all(folder); }

	std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes)
	{
		const std::string path = (folder / name).string();
		EXPECT_TRUE(WriteFileAtomically(path, bytes));
		return path;
	}
	void LoadCrate() { viewer.LoadModel(viewer.FindEntry("crate", ItemKind::MDL0)); }
	int Chr0() const { return viewer.FindEntry("crate_open", ItemKind::CHR0); }
	int Shp0() const { return viewer.FindEntry("crate_bulge", ItemKind::SHP0); }
	// A files-panel command on an item, as its context menu runs it.
	Refresh OnItem(int item, int command)
	{
		viewer.FilesContextMenu(item);
		return viewer.Command(command);
	}
	const AnimState& anim() const { return viewer.state().model.anim; }
	Node& BoneNodeOf(int bone)
	{
		LoadedModel& model = viewer.editState().model;
		return model.nodelist[std::size_t(model.bonemap[std::size_t(bone)])];
	}

	fs::path folder;
	std::vector<std::uint8_t> demoBytes;
	std::string demo;
	testing::ScriptedDialogs front;
	Viewer viewer{front};
};

TEST_F(ViewerAnimTest, AnimationMenuInEachState)
{
	LoadCrate();
	struct Expect {
		const char* state;
		bool menu, play = false, pause = false, stop = false, bones = false, vertices = false, exportMenu = false;
	};
	const auto check = [&](const Expect& e) {
		const MenuState menu = viewer.menuState();
		EXPECT_EQ(menu.animationMenu, e.menu) << e.state;
		if (!e.menu)
			return;
		EXPECT_EQ(menu.IsEnabled(kCmdPlay), e.play) << e.state;
		EXPECT_EQ(menu.IsEnabled(kCmdPause), e.pause) << e.state;
		EXPECT_EQ(menu.IsEnabled(kCmdStop), e.stop) << e.state;
		EXPECT_EQ(menu.IsEnabled(kCmdUnloadBones), e.bones) << e.state;
		EXPECT_EQ(menu.IsEnabled(kCmdUnloadVertices), e.vertices) << e.state;
		EXPECT_EQ(menu.animationExport, e.exportMenu) << e.state;
		EXPECT_TRUE(menu.IsEnabled(kCmdAnimInfo)) << e.state;
	};
	check({"none", false});
	OnItem(Chr0(), kCmdLoadAnim);
	check({"loaded", true, true, false, true, true, false, true});
	viewer.Command(kCmdPlay);
	check({"playing", true, false, true, true, true, false, true});
	const float playing = anim().frame;
	viewer.KeyDown(InputKey::Right, false); // stepping waits for a pause
	viewer.Command(kCmdNextFrame);
	EXPECT_EQ(anim().frame, playing);
	viewer.Command(kCmdStop);
	check({"stopped", true, true, false, false, true, false, true});
	EXPECT_EQ(viewer.AnimInfo().frame, "(stopped)");
	OnItem(Shp0(), kCmdLoadVertexAnim);
	check({"both", true, true, false, true, true, true, true});
	EXPECT_EQ(viewer.AnimInfo().type, "Bones, Vertices");
	viewer.Command(kCmdUnloadBones);
	check({"vertices only", true, true, false, true, false, true, false});
	viewer.Command(kCmdUnloadAll);
	check({"unloaded", false});
	EXPECT_EQ(viewer.AnimInfo().type, "(no animation loaded)");
}

TEST_F(ViewerAnimTest, AddAndUnloadBonesWithAVertexAnimationLoaded)
{
	LoadCrate();
	viewer.ActivateFileItem(Chr0());
	EXPECT_EQ(anim().nFrames, 40);
	// a vertex animation loaded while the bones play: paused at 0, its frame count
	OnItem(Shp0(), kCmdLoadVertexAnim);
	EXPECT_EQ(anim().playing, 0);
	EXPECT_EQ(anim().frame, 0.0f);
	EXPECT_EQ(anim().nFrames, 30);
	OnItem(Chr0(), kCmdAddAnim);
	EXPECT_EQ(viewer.AnimInfo().frame, "(?)");
	EXPECT_EQ(viewer.AnimInfo().frameCount, "(?)");
	viewer.Command(kCmdUnloadBones);
	EXPECT_EQ(anim().type, 2u);
	EXPECT_EQ(anim().nFrames, 0);
	viewer.Command(kCmdPlay);
	viewer.FrameDrawn();
	EXPECT_EQ(anim().frame, 0.0f);
}

TEST_F(ViewerAnimTest, FailedLoadsKeepTheAnimationState)
{
	// no model: the message, and "Load and Play" has nothing to play
	OnItem(Chr0(), kCmdLoadAndPlayAnim);
	EXPECT_EQ(front.LastText(), "Error: no model has been loaded");
	EXPECT_EQ(anim().playing, 0);

	LoadCrate();
	OnItem(Chr0(), kCmdLoadAnim);
	viewer.Command(kCmdNextFrame);

	// damaged copies of the two animations, and one whose archive has gone
	std::vector<std::uint8_t> bad = demoBytes;
	const ItemRecord chr0 = *viewer.items().GetItem(Chr0());
	const ItemRecord shp0 = *viewer.items().GetItem(Shp0());
	bad.at(chr0.offset + 0x22) = 0x7F;
	for (std::size_t i = 0x14; i < 0x20; ++i)
		bad.at(shp0.offset + i) = 0xFF;
	const std::string badPath = Write("bad.brres", bad);
	viewer.OpenFiles({badPath});
	// the bad archive's two animations
	int badChr0Id = -1, badShp0Id = -1;
	for (const ItemRecord& item : viewer.items().items()) {
		if (item.path != badPath)
			continue;
		if (item.kind == ItemKind::CHR0)
			badChr0Id = item.id;
		if (item.kind == ItemKind::SHP0)
			badShp0Id = item.id;
	}
	ASSERT_GE(badChr0Id, 0);
	ASSERT_GE(badShp0Id, 0);
	const AnimInfoTexts before = viewer.AnimInfo();

	viewer.ActivateFileItem(badChr0Id);
	EXPECT_EQ(front.LastText().rfind("Error: damaged bone animation: ", 0), 0u) << front.LastText();
	viewer.ActivateFileItem(badShp0Id);
	EXPECT_EQ(front.LastText().rfind("Error: damaged vertex animation: ", 0), 0u) << front.LastText();
	fs::remove(badPath);
	viewer.ActivateFileItem(badChr0Id);
	EXPECT_EQ(front.LastText(), "Can't open file");

	const AnimInfoTexts after = viewer.AnimInfo();
	EXPECT_EQ(after.type, before.type);
	EXPECT_EQ(after.frame, "00001.000");
	EXPECT_EQ(anim().playing, 0);
	EXPECT_EQ(viewer.state().model.animname, "crate_open");
}

TEST_F(ViewerAnimTest, FreeingTheModelClosesTheBoneWindowAndThePanel)
{
	LoadCrate();
	viewer.Command(kCmdMore);
	viewer.ActivateModelNode(BoneNode(2));
	ASSERT_TRUE(viewer.boneDialog().open);
	ASSERT_TRUE(viewer.state().modelPanelOpen);
	const Refresh refresh = viewer.LoadModel(viewer.FindEntry("crate", ItemKind::MDL0));
	EXPECT_TRUE(refresh & kBoneDialog);
	EXPECT_FALSE(viewer.boneDialog().open);
	EXPECT_FALSE(viewer.state().modelPanelOpen);
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
	EXPECT_EQ(V(BoneNodeOf(2).curRot), (Vec3{10, 20, 300}));
	Set(BoneNodeOf(2).curRot, {-90, 450, 800});
	EXPECT_EQ(viewer.BoneDialogPositions(), (std::array<int, 3>{270, 90, 360}));

	// Reset: the animation's rotation at the current frame, or the bind one when stopped
	for (int i = 0; i < 20; ++i)
		viewer.Command(kCmdNextFrame);
	viewer.BoneDialogReset();
	const Vec3 animated = BoneResetRotation(viewer.state().model, 2);
	EXPECT_NE(animated, V(BoneNodeOf(2).rot));
	EXPECT_EQ(viewer.BoneDialogPositions(), BoneTrackPositions(viewer.state().model, 2));
	EXPECT_EQ(BoneNodeOf(2).curRot[0], float(RotationToTrackPosition(animated[0])));
	viewer.Command(kCmdStop);
	viewer.BoneDialogReset();
	EXPECT_EQ(V(BoneNodeOf(2).curRot), V(BoneNodeOf(2).rot));

	// "Pose..." from the menu: owned by the main window, a new window
	const int generation = viewer.boneDialog().generation;
	viewer.ModelContextMenu(BoneNode(1));
	viewer.Command(kCmdPoseBone);
	EXPECT_EQ(viewer.boneDialog().bone, 1);
	EXPECT_FALSE(viewer.boneDialog().ownedByModelPanel);
	EXPECT_GT(viewer.boneDialog().generation, generation);
	viewer.BoneDialogClosed();
	EXPECT_FALSE(viewer.boneDialog().open);
}

TEST_F(ViewerAnimTest, MorphTarget)
{
	LoadCrate();
	viewer.Command(kCmdMore);
	OnItem(Shp0(), kCmdLoadAndPlayVertexAnim);
	EXPECT_FALSE(viewer.state().modelPanelOpen); // its tree lists the targets
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
	EXPECT_EQ(opened, MorphTrackPosition(viewer.state().model, DecodeMorphItem(target)));
	EXPECT_TRUE(viewer.MorphSliderMoved(50) & kRedraw);
	EXPECT_EQ(viewer.state().model.MD.morph[0][0], 0.5f);
	EXPECT_EQ(MorphPercentText(50), "050%");
	Refresh refresh = kRefreshNone;
	EXPECT_EQ(viewer.MorphDialogReset(refresh), opened); // the keyed weight at the frame
	viewer.Command(kCmdStop);
	EXPECT_EQ(viewer.MorphDialogReset(refresh), 0);
	EXPECT_EQ(viewer.state().model.MD.morph[0][0], 0.0f);

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
	Set(BoneNodeOf(1).curRot, {12.345678f, -7.5f, 200.25f});
	viewer.Command(kCmdSavePose);
	ASSERT_EQ(front.saveRequests.size(), 1u);
	EXPECT_EQ(front.saveRequests[0].offeredName, "");
	EXPECT_EQ(front.saveRequests[0].defaultExtension, "pos");
	ASSERT_TRUE(fs::exists(pose));
	const std::string saved = testing::ReadWholeText(pose);
	EXPECT_EQ(saved.rfind("POSE\ncrate_root ", 0), 0u) << saved;

	Set(BoneNodeOf(1).curRot, {1, 2, 3});
	front.openAnswers = {{pose}};
	EXPECT_TRUE(viewer.Command(kCmdLoadPose) & kRedraw);
	ASSERT_EQ(front.openRequests.size(), 1u);
	EXPECT_EQ(front.openRequests[0].title, "Select a pose file to read");
	EXPECT_EQ(front.openRequests[0].filters[0].label, "Pose files (*.pos)");
	EXPECT_EQ(front.openRequests[0].filters[1].pattern, "*.*");
	EXPECT_FALSE(front.openRequests[0].multiple);
	char text[64];
	std::snprintf(text, sizeof text, "%f %f %f", BoneNodeOf(1).curRot[0], BoneNodeOf(1).curRot[1],
		BoneNodeOf(1).curRot[2]);
	EXPECT_STREQ(text, "12.345678 -7.500000 200.250000");

	const std::string bad = Write("bad.pos", testing::TextBytes("PONY\ncrate_body 9 9 9\n"));
	front.openAnswers = {{bad}, {(folder / "gone.pos").string()}};
	viewer.Command(kCmdLoadPose);
	EXPECT_EQ(front.LastText(), "Not a valid Pose file");
	EXPECT_EQ(front.messages.back().owner, MessageOwner::NoOwner);
	viewer.Command(kCmdLoadPose);
	EXPECT_EQ(front.messages.size(), 2u);
	EXPECT_EQ(BoneNodeOf(1).curRot[0], 12.345678f);
}

} // namespace
} // namespace zentarra
