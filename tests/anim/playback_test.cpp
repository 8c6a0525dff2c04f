#include "anim/playback.h"

#include "anim_test_util.h"
#include "base/byte_view.h"
#include "model/mdl0_reader.h"
#include "support/demo_archive.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace zentarra {
namespace {

constexpr int kLid = 2; // bone and node of the crate's lid

// The demo crate with a 60-frame bone animation loaded and paused at frame 0:
// the lid turns 2 degrees about X per frame, every other track is empty (bind).
class Playback : public ::testing::Test {
protected:
	void SetUp() override
	{
		const testing::ModelArchive archive = testing::BuildModelArchive(testing::DemoModel());
		ByteView view(archive.bytes);
		ASSERT_TRUE(ReadModel(view, archive.offset, model).ok);
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

	LoadedModel model;
	AnimState& anim = model.anim;
};

TEST_F(Playback, SpeedSetsTheStepAndFramesWrapWithoutOvershoot)
{
	EXPECT_EQ(Steps(59, 1, 0), "59 0 118"); // the model follows
	EXPECT_EQ(Steps(1, 1, 0), "0 0 0");
	EXPECT_EQ(Steps(1, -1, 0), "59 0 118");
	anim.frame = 0;
	EXPECT_EQ(Steps(39, 1, 1), "58.5 0 117");
	EXPECT_EQ(Steps(1, 1, 1), "0 0 0"); // 60 >= 60: back to 0, the overshoot dropped
	EXPECT_EQ(Steps(1, 1, -1), "0.5 0 1");
	EXPECT_EQ(Steps(1, 1, 4), "3.5 0 7");
	EXPECT_EQ(Steps(1, 1, INT_MAX), "0 0 0");

	anim.playing = 1; // ten presses of Slower: 2^-10 frames per step
	for (int n = 0; n < 10; ++n)
		HandleAnimKey(model, AnimKey::NumpadMinus);
	EXPECT_TRUE(Play(model).redraw);
	EXPECT_EQ(anim.frame, 0x1p-10f);
	anim.type = 0; // playing with nothing loaded (a failed "Load and Play")
	EXPECT_FALSE(Play(model).redraw);
	anim.type = 1;
	anim.playing = 0;
	AddAnimations(); // per-bone frames, each wrapping at its own count
	EXPECT_EQ(Steps(45, 1, 0), "0.0009765625 0 10 5 45");
}

TEST_F(Playback, CommandsAndKeys)
{
	EXPECT_TRUE(RunAnimCommand(model, AnimCommand::Play).modelView);
	EXPECT_EQ(Steps(1, 1, 5), "3.5 1 7");
	const AnimRefresh refresh = RunAnimCommand(model, AnimCommand::Stop);
	EXPECT_TRUE(refresh.modelView && refresh.info && refresh.redraw);
	EXPECT_EQ(State(), "-1 0 0");
	EXPECT_FALSE(GetAnimMenuState(anim).stop);
	HandleAnimKey(model, AnimKey::Space); // out of the stopped state at frame 0
	EXPECT_EQ(State(), "0 1 0");
	HandleAnimKey(model, AnimKey::Space);
	anim.frame = 12.5f;
	EXPECT_EQ(Run(AnimCommand::Play), "12.5 1 0"); // a paused frame is kept
	EXPECT_EQ(Run(AnimCommand::NextFrame), "12.5 1 0"); // ignored while playing
	EXPECT_EQ(Run(AnimCommand::Pause), "12.5 0 0");
	EXPECT_EQ(Run(AnimCommand::NextFrame), "13 0 26"); // whole frames
	HandleAnimKey(model, AnimKey::Left);
	EXPECT_EQ(State(), "12 0 24");
	anim.frame = -1.0f; // from stopped, Next gives 0 and Previous the last frame
	EXPECT_EQ(Run(AnimCommand::NextFrame), "0 0 0");
	anim.frame = -1.0f;
	EXPECT_EQ(Run(AnimCommand::PreviousFrame), "59 0 118");
	anim.playing = 1;
	EXPECT_EQ(Run(AnimCommand::FirstFrame), "0 0 0");
	anim.type = 0;
	HandleAnimKey(model, AnimKey::Space); // nothing loaded: no playing
	EXPECT_EQ(anim.playing, 0);

	anim.type = 1;
	AddAnimations(); // mixed frames: truncated one by one; Stop marks each, Play leaves the mark
	anim.bones[kLid].frame = 7.5f;
	anim.bones[0].frame = -1.0f;
	EXPECT_EQ(Run(AnimCommand::NextFrame), "0 0 16 8 0");
	model.MD.morph[0][0] = 0.7f;
	EXPECT_EQ(Run(AnimCommand::Stop), "-1 0 0 -1 -1");
	EXPECT_EQ(model.MD.morph[0][0], 0.0f);
	EXPECT_EQ(Run(AnimCommand::Play), "0 1 0 0 0");
	RunAnimCommand(model, AnimCommand::Pause);
	EXPECT_TRUE(GetAnimMenuState(anim).stop);
}

TEST_F(Playback, SpeedAndRotationsOnly)
{
	anim.defaultSpeed = -3;
	const AnimRefresh refresh = RunAnimCommand(model, AnimCommand::Faster);
	EXPECT_TRUE(refresh.info && !refresh.modelView);
	RunAnimCommand(model, AnimCommand::Slower);
	RunAnimCommand(model, AnimCommand::Slower);
	EXPECT_EQ(anim.speed, -1);
	RunAnimCommand(model, AnimCommand::DefaultSpeed);
	EXPECT_EQ(anim.speed, -3);
	anim.speed = INT_MAX;
	HandleAnimKey(model, AnimKey::NumpadPlus);
	EXPECT_EQ(anim.speed, INT_MAX);

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
	EXPECT_EQ(anim.rotOnly, 0);
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
