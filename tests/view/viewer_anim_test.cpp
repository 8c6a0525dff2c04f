// The viewer's animation commands (the Qt tests drive playback by drawn
// frames, and Rotate Bone and Morph Target): loading and unloading, failed
// loads, pose files.
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
	// The bone's rotation shown, as a vector.
	Vec3 Rot(int bone) const
	{
		const float* r = state().model.nodelist[std::size_t(state().model.bonemap[std::size_t(bone)])].curRot;
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
