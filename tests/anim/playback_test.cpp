#include "anim/playback.h"

#include "base/byte_view.h"
#include "model/mdl0_reader.h"
#include "support/demo_archive.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>
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
		VAnim entry{.vtxArray = 0, .nTargets = 1, .vtxTarget = {1}, .nrmTarget = {-1}, .weightKeys = {{{0, 0}, {10, 1}}}};
		anim.vanim = {entry};
		model.MD.morph = {{0.0f}};
		anim.type = 3;
		anim.nFrames = -1;
		anim.bones[kLid].nFrames = 40;
	}

	float LidAngle() const { return model.nodelist[kLid].curRot[0]; }

	LoadedModel model;
	AnimState& anim = model.anim;
};

TEST_F(Playback, SpeedSetsTheStepAndFramesWrapWithoutOvershoot)
{
	for (int f = 1; f < 60; ++f)
		GoToNextFrame(model, 1, 0);
	EXPECT_EQ((std::pair{anim.frame, LidAngle()}), (std::pair{59.0f, 118.0f})); // the model follows
	GoToNextFrame(model, 1, 0);
	EXPECT_EQ(anim.frame, 0.0f);
	GoToNextFrame(model, -1, 0);
	EXPECT_EQ(anim.frame, 59.0f);

	anim.frame = 0;
	for (int n = 0; n < 39; ++n)
		GoToNextFrame(model, 1, 1);
	EXPECT_EQ(anim.frame, 58.5f);
	GoToNextFrame(model, 1, 1); // 60 >= 60: back to 0, the overshoot dropped
	EXPECT_EQ(anim.frame, 0.0f);
	GoToNextFrame(model, 1, -1);
	GoToNextFrame(model, 1, 4);
	EXPECT_EQ(anim.frame, 3.5f);
	GoToNextFrame(model, 1, INT_MAX);
	EXPECT_EQ(anim.frame, 0.0f);

	anim.playing = 1; // ten presses of Slower: 2^-10 frames per step
	for (int n = 0; n < 10; ++n)
		HandleAnimKey(model, AnimKey::NumpadMinus);
	EXPECT_TRUE(Play(model).redraw);
	EXPECT_EQ(anim.frame, 0.0009765625f);
	anim.type = 0; // playing with nothing loaded (a failed "Load and Play")
	EXPECT_FALSE(Play(model).redraw);
	anim.type = 1;

	AddAnimations(); // per-bone frames, each wrapping at its own count
	for (int n = 0; n < 45; ++n)
		GoToNextFrame(model, 1, 0);
	EXPECT_EQ((std::vector{anim.bones[kLid].frame, anim.bones[0].frame, anim.frame, LidAngle()}),
		(std::vector{5.0f, 45.0f, 0.0009765625f, 10.0f}));
}

TEST_F(Playback, PlayPauseStop)
{
	EXPECT_TRUE(RunAnimCommand(model, AnimCommand::Play).modelView);
	EXPECT_EQ(anim.playing, 1);
	GoToNextFrame(model, 1, 5);
	AnimRefresh refresh = RunAnimCommand(model, AnimCommand::Stop);
	EXPECT_TRUE(refresh.modelView && refresh.info && refresh.redraw);
	EXPECT_EQ((std::vector{float(anim.playing), anim.frame, LidAngle()}), (std::vector{0.0f, -1.0f, 0.0f}));

	HandleAnimKey(model, AnimKey::Space); // out of the stopped state at frame 0
	EXPECT_EQ((std::pair{anim.playing, anim.frame}), (std::pair{1, 0.0f}));
	HandleAnimKey(model, AnimKey::Space);
	EXPECT_EQ(anim.playing, 0);
	anim.frame = 12.5f;
	RunAnimCommand(model, AnimCommand::Play); // a paused frame is kept
	EXPECT_EQ(anim.frame, 12.5f);
	RunAnimCommand(model, AnimCommand::Pause);
	EXPECT_EQ(anim.playing, 0);
	anim.type = 0;
	HandleAnimKey(model, AnimKey::Space);
	EXPECT_EQ(anim.playing, 0);

	anim.type = 1;
	AddAnimations();
	GoToNextFrame(model, 1, 2);
	model.MD.morph[0][0] = 0.7f;
	RunAnimCommand(model, AnimCommand::Stop);
	EXPECT_EQ(anim.bones[1].frame, -1.0f);
	EXPECT_EQ(model.MD.morph[0][0], 0.0f);
	RunAnimCommand(model, AnimCommand::Play);
	EXPECT_EQ(anim.bones[1].frame, 0.0f);
	EXPECT_EQ(anim.frame, 0.0f); // not left at the stopped mark, so Stop is offered once paused
	RunAnimCommand(model, AnimCommand::Pause);
	EXPECT_TRUE(GetAnimMenuState(anim).stop);
}

TEST_F(Playback, NextPreviousFirst)
{
	anim.frame = 12.7f;
	RunAnimCommand(model, AnimCommand::NextFrame);
	EXPECT_EQ(anim.frame, 13.0f);
	anim.frame = 12.7f;
	HandleAnimKey(model, AnimKey::Left);
	EXPECT_EQ((std::pair{anim.frame, LidAngle()}), (std::pair{11.0f, 22.0f}));
	anim.frame = -1.0f; // from stopped, Next gives 0 and Previous the last frame
	RunAnimCommand(model, AnimCommand::NextFrame);
	EXPECT_EQ(anim.frame, 0.0f);
	anim.frame = -1.0f;
	RunAnimCommand(model, AnimCommand::PreviousFrame);
	EXPECT_EQ(anim.frame, 59.0f);

	anim.playing = 1; // ignored while playing
	RunAnimCommand(model, AnimCommand::NextFrame);
	EXPECT_EQ(anim.frame, 59.0f);
	RunAnimCommand(model, AnimCommand::FirstFrame);
	EXPECT_EQ((std::vector{anim.frame, float(anim.playing), LidAngle()}), (std::vector{0.0f, 0.0f, 0.0f}));

	AddAnimations(); // per-bone frames are truncated one by one
	anim.bones[kLid].frame = 7.5f;
	anim.bones[0].frame = -1.0f;
	RunAnimCommand(model, AnimCommand::NextFrame);
	EXPECT_EQ((std::pair{anim.bones[kLid].frame, anim.bones[0].frame}), (std::pair{8.0f, 0.0f}));
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

TEST_F(Playback, Unloading)
{
	AddAnimations();
	anim.playing = 1;
	RunAnimCommand(model, AnimCommand::UnloadBones); // after "Add": nFrames 0, frame stuck at 0
	EXPECT_TRUE(anim.bones.empty());
	EXPECT_EQ((std::vector{int(anim.type), anim.nFrames, anim.playing}), (std::vector{2, 0, 1}));
	Play(model);
	Play(model);
	EXPECT_EQ((std::pair{anim.frame, LidAngle()}), (std::pair{0.0f, 0.0f}));

	RunAnimCommand(model, AnimCommand::UnloadVertices);
	EXPECT_TRUE(anim.vanim.empty() && model.MD.morph.empty());
	EXPECT_TRUE(anim.type == 0 && anim.frame == -1.0f && anim.playing == 0);

	SetUp();
	AddAnimations();
	RunAnimCommand(model, AnimCommand::UnloadVertices); // the bones stay, frame count and all
	EXPECT_TRUE(anim.type == 1 && anim.nFrames == -1);
	RunAnimCommand(model, AnimCommand::UnloadAll);
	EXPECT_TRUE(anim.type == 0 && anim.nFrames == 0 && anim.frame == -1.0f && anim.bones.empty());
}

TEST_F(Playback, MenuStateAndInfoTexts)
{
	AnimMenuState menu = GetAnimMenuState(anim); // paused at frame 0, bones
	EXPECT_TRUE(menu.menuEnabled && menu.play && !menu.pause && menu.stop && menu.unloadAll);
	EXPECT_TRUE(menu.unloadBones && !menu.unloadVertices && !menu.rotationsOnlyChecked);
	anim.playing = 1;
	menu = GetAnimMenuState(anim);
	EXPECT_TRUE(!menu.play && menu.pause && menu.stop);
	anim.playing = 0;
	anim.frame = -1.0f;
	EXPECT_FALSE(GetAnimMenuState(anim).stop);
	anim.type = 2;
	EXPECT_TRUE(GetAnimMenuState(anim).unloadVertices && !GetAnimMenuState(anim).unloadBones);
	EXPECT_FALSE(GetAnimMenuState(AnimState()).menuEnabled || GetAnimMenuState(AnimState()).unloadAll);

	anim.type = 1;
	anim.frame = 12.5f;
	anim.speed = 3;
	AnimInfoTexts info = GetAnimInfoTexts(anim); // type, frame, count, speed
	EXPECT_EQ(info.type + info.frame + info.frameCount + info.speed, "Bones00012.5000006003");
	anim.type = 3;
	anim.frame = -1.0f;
	anim.speed = -1;
	info = GetAnimInfoTexts(anim);
	EXPECT_EQ(info.type + "|" + info.frame + "|" + info.speed, "Bones, Vertices|(stopped)|-01");
	anim.type = 2;
	anim.nFrames = -1;
	info = GetAnimInfoTexts(anim);
	EXPECT_EQ(info.type + info.frame + info.frameCount, "Vertices(?)(?)");
	EXPECT_EQ(GetAnimInfoTexts(AnimState()).type, "(no animation loaded)");
}

} // namespace
} // namespace zentarra
