#include "anim/playback.h"
#include "anim/pose.h"

#include "anim/skinning.h"
#include "anim_test_util.h"
#include "base/byte_view.h"
#include "model/mdl0_reader.h"
#include "support/demo_archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zentarra {
namespace {

using test::ExpectVec;

constexpr int kLid = 2; // bone and node of the crate's lid; bones 0..3 sit on nodes 0..3

// The demo crate in its bind pose. Its lid (bone 2, origin at (0, 2, -1))
// carries the latch (bone 3) and shares the hinge node 4 half and half with
// the body.
class Posing : public ::testing::Test {
protected:
	void SetUp() override
	{
		const testing::ModelArchive archive = testing::BuildModelArchive(testing::DemoModel());
		ByteView view(archive.bytes);
		ASSERT_TRUE(ReadModel(view, archive.offset, model).ok);
	}

	// The posed position of the first corner of mesh `mesh` stored at `posIndex` on `node`.
	const float* Posed(int mesh, int posIndex, int node) const
	{
		for (const Triangle& tri : model.MD.meshTris[std::size_t(mesh)])
			for (const Vertex& v : tri.v)
				if (v.posIndex == posIndex && v.node == node)
					return v.posedPos;
		throw std::logic_error("no such corner");
	}

	std::vector<float> CurRot(int node) const
	{
		const float* rot = model.nodelist[std::size_t(node)].curRot;
		return {rot[0], rot[1], rot[2]};
	}

	LoadedModel model;
	AnimState& anim = model.anim;
};

TEST(RotationTrack, TruncatesWrapsOnceThenClamps)
{
	const std::pair<float, int> cases[] = {{-90, 270}, {800, 440}, {-400, -40}, {std::numeric_limits<float>::quiet_NaN(), 0},
		{1e30f, INT_MAX - 360}, {-1e30f, INT_MIN + 360}};
	for (const auto& [degrees, position] : cases)
		EXPECT_EQ(RotationToTrackPosition(degrees), position) << degrees;
}

TEST_F(Posing, TurningTheLidMovesItsCornersItsChildAndTheHingeOverAnimatedScaleAndTranslation)
{
	model.anim.playing = 1;
	const PoseEditResult result = RotateBone(model, kLid, {270, 0, 0}); // -90 about X: the lid opens
	EXPECT_TRUE(result.applied && result.wasPlaying && model.anim.playing == 0);
	EXPECT_EQ(BoneTrackPositions(model, kLid), (std::array<int, 3>{270, 0, 0}));
	ExpectVec(Posed(1, 2, kLid), {1, 4, -1.25f}, 1e-5f);     // lid corner
	EXPECT_FALSE(RotateBone(model, 9, {1, 2, 3}).applied);
	EXPECT_EQ(ResetBoneRotation(model, kLid), (std::array<int, 3>{0, 0, 0})); // stopped: the bind rotation

	// paused at frame 10 of keys rotating X 3 degrees, moving Y +0.1 and scaling X by 0.1 a frame
	anim.bones.resize(4);
	anim.bones[kLid].rotKeys[0] = {{0, 0}, {20, 60}};
	anim.bones[kLid].transKeys[1] = {{0, 2}, {20, 4}};
	anim.bones[kLid].scaleKeys[0] = {{0, 1}, {20, 3}};
	anim.type = 1;
	anim.nFrames = 20;
	anim.frame = 10;
	const Matrix34& lid = model.nodelist[kLid].matrix;
	RotateBone(model, kLid, {0, 0, 0});
	EXPECT_EQ((std::pair{lid[7], lid[0]}), (std::pair{3.0f, 2.0f})); // the animated translation Y and scale X
	anim.nFrames = -1;                                                 // added animations: the bone's own frame
	anim.bones[kLid].frame = 5;
	RotateBone(model, kLid, {0, 0, 0});
	EXPECT_EQ(lid[7], 2.5f);
	anim.rotOnly = 1; // rotations only, or stopped: the bind values
	RotateBone(model, kLid, {0, 0, 0});
	EXPECT_EQ(lid[7] + lid[0], 3.0f);
	// but Reset takes the animated rotation whatever rotOnly says (31.5 held as 31)
	anim.nFrames = 20;
	anim.frame = 10.5f;
	EXPECT_EQ(ResetBoneRotation(model, kLid), (std::array<int, 3>{31, 0, 0}));
	anim.rotOnly = 0;
	anim.frame = -1;
	RotateBone(model, kLid, {0, 0, 0});
	EXPECT_EQ(lid[7] + lid[0], 3.0f);
}

TEST_F(Posing, MorphTargetDialog)
{
	const MorphTarget target = DecodeMorphItem(0x05000000);
	EXPECT_EQ(MorphPercentText(50) + MorphPercentText(100), "050%100%");
	// the box's positions morph towards the lid's, weight keyed 0 at frame 0 to 1 at frame 10
	model.anim.vanim = {{.vtxArray = 0, .nTargets = 1, .vtxTarget = {1}, .nrmTarget = {-1}, .weightKeys = {{{0, 0}, {10, 1}}}}};
	model.anim.type = 2;
	model.MD.morph = {{1.5f}};
	EXPECT_EQ((std::pair{MorphTrackPosition(model, target), MorphTrackPosition(model, {0, 1})}), (std::pair{100, 0}));
	// box corner 0 is (-1, 0, -1), the lid's entry 0 is (-1, 2.25, -1)
	EXPECT_TRUE(SetMorphWeight(model, target, 50).applied && !SetMorphWeight(model, {1, 0}, 50).applied);
	ExpectVec(Posed(0, 0, 1), {-1, 1.125f, -1}, 1e-6f);
	model.anim.frame = -1; // Reset: 0 while stopped, the keyed weight at a frame
	EXPECT_EQ(ResetMorphWeight(model, target), 0);
	model.anim.frame = 2.5f;
	EXPECT_EQ((std::pair{ResetMorphWeight(model, target), model.MD.morph[0][0]}), (std::pair{25, 0.25f}));
	model.anim.vanim[0].weightKeys[0].clear();
	EXPECT_EQ(MorphResetPosition(model, target), 0);
}

TEST_F(Posing, PoseFilesRoundTripToSixDecimals)
{
	const float values[4][3] = {{12.3456789f, -0.5f, 359.999f}, {1e-7f, -123456.789f, 0}, {-90, 450, 800},
		{0.0000005f, 1, 2}};
	for (int b = 0; b < 4; ++b)
		std::copy(values[b], values[b] + 3, model.nodelist[std::size_t(b)].curRot);
	const std::string saved = SavePose(model);
	EXPECT_TRUE(saved.starts_with("POSE\ncrate_root 12.345679 -0.500000 359.998993\n")) << saved;
	RotateBone(model, 1, {7, 7, 7}); // perturb, then play so the load has to pause
	model.anim.playing = 1;
	const PoseLoadResult result = LoadPose(model, saved);
	EXPECT_TRUE(result.ok && result.wasPlaying && result.applied == 4 && model.anim.playing == 0);
	EXPECT_EQ(SavePose(model), saved);

	const std::filesystem::path path = std::filesystem::temp_directory_path() / "zentarra_pose_test.pos";
	ASSERT_TRUE(SavePoseFile(model, path));
	model.nodelist[0].curRot[0] = 5;
	EXPECT_TRUE(LoadPoseFile(model, path).ok && SavePose(model) == saved);
	std::filesystem::remove(path);
	EXPECT_EQ(LoadPoseFile(model, path).message, kCannotOpenPose);
}

TEST_F(Posing, LoadingAppliesWhatParsesAndNothingFromOtherFiles)
{
	for (const char* text : {"", "POSEX crate_lid 270 0 0", "pose\ncrate_lid 270 0 0"})
		EXPECT_EQ(LoadPose(model, text).message, kNotAPoseFile) << text;
	// a missing bone changes nothing; a bare "POSE" re-poses with the current curRot
	model.nodelist[kLid].curRot[0] = 270;
	EXPECT_EQ(LoadPose(model, "POSE\nno_such_bone 10 20 30\n").applied, 0);
	ExpectVec(Posed(1, 2, kLid), {1, 4, -1.25f}, 1e-5f);

	// scanf's reading: tokens across lines and CRLF, signs, inf, hex, a
	// number running into the next name; duplicate names go to the first bone
	model.names.bones[3] = "crate_lid";
	LoadPose(model, "  POSE\r\ncrate_root +1\r\n2 3crate_lid -inf 0x1p1 1e1\n crate_body 4 5 6");
	const float inf = std::numeric_limits<float>::infinity();
	EXPECT_EQ((std::vector{CurRot(0), CurRot(1), CurRot(kLid), CurRot(3)}),
		(std::vector<std::vector<float>>{{1, 2, 3}, {4, 5, 6}, {-inf, 2, 10}, {0, 0, 0}}));
	// reading ends at the first line that does not parse
	for (const char* bad : {"five", "1e", "-", ".", "0x"}) {
		const std::string text = std::string("POSE\ncrate_root 7 7 7\ncrate_body 8 ") + bad + " 8\ncrate_lid 9 9 9\n";
		EXPECT_EQ((std::pair{LoadPose(model, text).applied, CurRot(1)}), (std::pair{1, std::vector<float>{4, 5, 6}})) << bad;
	}
	LoadPose(model, "POSE crate_body 1e60 -1e-60 0x1p200"); // beyond float: infinity, zero
	EXPECT_EQ(CurRot(1), (std::vector<float>{inf, 0, inf}));
	EXPECT_TRUE(std::signbit(CurRot(1)[1]));
}

// The demo crate with a 60-frame bone animation loaded and paused at frame 0:
// the lid turns 2 degrees about X per frame, every other track is empty (bind).
class Playback : public Posing {
protected:
	void SetUp() override
	{
		Posing::SetUp();
		anim.bones.resize(std::size_t(model.nBones));
		for (BoneAnim& bone : anim.bones)
			bone.nFrames = 60;
		anim.bones[kLid].rotKeys[0] = {{0, 0}, {60, 120}};
		anim.type = 1;
		anim.nFrames = 60;
		anim.frame = 0;
	}

	// Adds a vertex animation (the box morphing towards the lid's positions)
	// and a second bone animation: the lid now loops over 40 frames on its own.
	void AddAnimations()
	{
		anim.vanim = {{.vtxArray = 0, .nTargets = 1, .vtxTarget = {1}, .nrmTarget = {-1}, .weightKeys = {{{0, 0}, {10, 1}}}}};
		model.MD.morph = {{0.0f}};
		anim.type = 3;
		anim.nFrames = -1;
		anim.bones[kLid].nFrames = 40;
	}

	// "frame playing lid-angle", then with mixed frames " lid-frame root-frame"
	std::string State() const
	{
		std::string state = test::Text(anim.frame) + " " + std::to_string(anim.playing) + " " +
			test::Text(model.nodelist[kLid].curRot[0]);
		if (anim.nFrames < 0)
			state += " " + test::Text(anim.bones.at(kLid).frame) + " " + test::Text(anim.bones.at(0).frame);
		return state;
	}

	std::string Steps(int count, int step, int speed)
	{
		for (int n = 0; n < count; ++n)
			GoToNextFrame(model, step, speed);
		return State();
	}

	std::string Run(AnimCommand command)
	{
		RunAnimCommand(model, command);
		return State();
	}
};

TEST_F(Playback, SpeedSetsTheStepAndFramesWrapWithoutOvershoot)
{
	EXPECT_EQ(Steps(59, 1, 0), "59 0 118"); // the model follows
	EXPECT_EQ(Steps(1, 1, 2), "0 0 0");      // 61 >= 60: back to 0, the overshoot dropped
	EXPECT_EQ(Steps(1, 1, -1), "0.5 0 1");
	EXPECT_EQ(Steps(1, 1, INT_MAX), "0 0 0");
	anim.defaultSpeed = -3;
	anim.playing = 1;
	RunAnimCommand(model, AnimCommand::Faster);
	for (int n = 0; n < 10; ++n) // Slower down to 2^-10 frames per step
		HandleAnimKey(model, AnimKey::NumpadMinus);
	RunAnimCommand(model, AnimCommand::Slower);
	EXPECT_TRUE(Play(model).redraw);
	EXPECT_EQ(anim.frame, 0x1p-10f);
	RunAnimCommand(model, AnimCommand::DefaultSpeed);
	EXPECT_EQ(anim.speed, -3);
	anim.speed = INT_MAX;
	HandleAnimKey(model, AnimKey::NumpadPlus); // saturates
	EXPECT_EQ(anim.speed, INT_MAX);
	anim.type = 0; // playing with nothing loaded (a failed "Load and Play")
	EXPECT_FALSE(Play(model).redraw);
	anim.playing = 0;
	AddAnimations(); // per-bone frames, each wrapping at its own count
	EXPECT_EQ(Steps(45, 1, 0), "0.0009765625 0 10 5 45");
}

TEST_F(Playback, CommandsAndKeys)
{
	EXPECT_TRUE(RunAnimCommand(model, AnimCommand::Play).modelView);
	EXPECT_EQ(Steps(1, 1, 5), "3.5 1 7");
	EXPECT_EQ(Run(AnimCommand::Stop), "-1 0 0");
	HandleAnimKey(model, AnimKey::Space); // out of the stopped state at frame 0
	EXPECT_EQ(State(), "0 1 0");
	anim.frame = 12.5f;
	EXPECT_EQ(Run(AnimCommand::NextFrame), "12.5 1 0"); // ignored while playing
	HandleAnimKey(model, AnimKey::Space);
	EXPECT_EQ(Run(AnimCommand::NextFrame), "13 0 26"); // whole frames
	HandleAnimKey(model, AnimKey::Left);
	EXPECT_EQ(State(), "12 0 24");
	// the lid's translation track stops applying at the next recalculation
	anim.bones[kLid].transKeys[1] = {{0, 5}};
	GoToNextFrame(model, 1, 0);
	RunAnimCommand(model, AnimCommand::RotationsOnly);
	EXPECT_EQ(model.nodelist[kLid].matrix[7], 5.0f);
	GoToNextFrame(model, 1, 0);
	EXPECT_EQ(model.nodelist[kLid].matrix[7], 2.0f);
	anim.rotOnly = 2; // as a settings file may hold it: on, and checked
	EXPECT_TRUE(GetAnimMenuState(anim).rotationsOnlyChecked);
	RunAnimCommand(model, AnimCommand::RotationsOnly);
	anim.frame = -1.0f; // from stopped, Previous gives the last frame
	EXPECT_EQ(Run(AnimCommand::PreviousFrame), "59 0 118");
	anim.playing = 1;
	EXPECT_EQ(Run(AnimCommand::FirstFrame), "0 0 0");
	anim.type = 0;
	HandleAnimKey(model, AnimKey::Space); // nothing loaded: no playing
	HandleAnimKey(model, AnimKey::Right);

	AddAnimations(); // mixed frames: truncated one by one; Stop marks each, Play leaves the mark
	anim.bones[kLid].frame = 7.5f;
	anim.bones[0].frame = -1.0f;
	EXPECT_EQ(Run(AnimCommand::NextFrame), "0 0 16 8 0");
	model.MD.morph[0][0] = 0.7f;
	EXPECT_EQ(Run(AnimCommand::Stop), "-1 0 0 -1 -1");
	EXPECT_EQ(model.MD.morph[0][0], 0.0f);
	EXPECT_EQ(Run(AnimCommand::Play), "0 1 0 0 0");
	EXPECT_EQ(Run(AnimCommand::Pause), "0 0 0 0 0");
	EXPECT_EQ(Run(AnimCommand::FirstFrame), "0 0 0 0 0");
}

TEST_F(Playback, UnloadingMenusAndInfoTexts)
{
	// per state: type, frame count, frame, playing; the menu items; type, frame, frame count, speed texts
	const auto summary = [this] {
		const AnimMenuState m = GetAnimMenuState(anim);
		const AnimInfoTexts info = GetAnimInfoTexts(anim);
		return std::to_string(anim.type) + " " + std::to_string(anim.nFrames) + " " + State() + " " +
			std::to_string(m.menuEnabled) + std::to_string(m.play) + std::to_string(m.pause) + std::to_string(m.stop) +
			std::to_string(m.unloadBones) + std::to_string(m.unloadVertices) + std::to_string(m.unloadAll) + " " +
			info.type + "|" + info.frame + "|" + info.frameCount + "|" + info.speed;
	};
	anim.frame = 12.5f;
	anim.speed = 3;
	EXPECT_EQ(summary(), "1 60 12.5 0 0 1101101 Bones|00012.500|00060|03");
	anim.playing = 1;
	anim.speed = -1;
	AddAnimations();
	EXPECT_EQ(summary(), "3 -1 12.5 1 0 0 0 1011111 Bones, Vertices|(?)|(?)|-01");
	RunAnimCommand(model, AnimCommand::UnloadBones); // after "Add": the frame stays at 0
	Play(model);
	EXPECT_EQ(summary(), "2 0 0 1 0 1011011 Vertices|00000.000|00000|-01");
	RunAnimCommand(model, AnimCommand::UnloadVertices);
	EXPECT_EQ(summary(), "0 0 -1 0 0 0000000 (no animation loaded)|(stopped)|00000|-01");
	EXPECT_TRUE(anim.bones.empty() && anim.vanim.empty() && model.MD.morph.empty());

	SetUp();
	AddAnimations();
	RunAnimCommand(model, AnimCommand::UnloadVertices); // the bones stay, frame count and all
	EXPECT_EQ(summary(), "1 -1 0 0 0 0 0 1101101 Bones|(?)|(?)|-01");
	RunAnimCommand(model, AnimCommand::UnloadAll);
	EXPECT_EQ(summary(), "0 0 -1 0 0 0000000 (no animation loaded)|(stopped)|00000|-01");
}

} // namespace
} // namespace zentarra
