#include "anim/playback.h"

#include "anim/skinning.h"
#include "base/text.h"

#include <climits>
#include <cmath>
#include <vector>

namespace zentarra {

namespace {

constexpr float kStopped = -1.0f;

bool MixedFrames(const AnimState& anim)
{
	return anim.nFrames < 0;
}

// Frames per step: (speed + 2) / 2 from speed 0 up, 2^speed below. Worked in
// double so no speed, however large, overflows.
double FrameDelta(int step, int speed)
{
	if (speed >= 0)
		return double(step) * (double(speed) + 2.0) * 0.5;
	return std::ldexp(1.0, speed) * double(step);
}

// The overshoot past the end is dropped rather than carried into the next loop.
void AdvanceFrame(float& frame, int nFrames, double delta)
{
	frame = float(double(frame) + delta);
	if (double(frame) >= double(nFrames))
		frame = 0.0f;
	if (frame < 0.0f)
		frame = float(double(nFrames) - 1.0);
}

// With per-bone frames `anim.frame` only marks the stopped state, so it must
// leave -1.0 together with the bones: a stale -1.0 would gray Stop while the
// model is posed, make hand posing ignore the animated scale and translation,
// and evaluate morph weights at frame -1.
void LeaveStoppedMark(AnimState& anim)
{
	if (MixedFrames(anim) && anim.frame == kStopped)
		anim.frame = 0.0f;
}

void TruncatePositive(float& frame)
{
	if (frame > 0.0f)
		frame = std::trunc(frame);
}

void ClearAnimationState(AnimState& anim)
{
	anim.type = 0;
	anim.frame = kStopped;
	anim.nFrames = 0;
	anim.playing = 0;
}

void FreeBones(AnimState& anim)
{
	anim.bones = std::vector<BoneAnim>();
}

void FreeVertexAnimation(LoadedModel& model)
{
	model.anim.vanim = std::vector<VAnim>();
	model.MD.morph = std::vector<std::vector<float>>();
}

int SaturatingAdd(int value, int delta)
{
	const long long sum = static_cast<long long>(value) + delta;
	if (sum > INT_MAX)
		return INT_MAX;
	if (sum < INT_MIN)
		return INT_MIN;
	return static_cast<int>(sum);
}

} // namespace

AnimRefresh GoToNextFrame(LoadedModel& model, int step, int speed)
{
	AnimState& anim = model.anim;
	const double delta = FrameDelta(step, speed);
	if (!MixedFrames(anim)) {
		AdvanceFrame(anim.frame, anim.nFrames, delta);
	} else {
		// each added animation loops on its own frame count
		for (BoneAnim& bone : anim.bones)
			AdvanceFrame(bone.frame, bone.nFrames, delta);
	}
	RecalculateModel(model.MD, model.nodelist, anim);
	return {.info = true, .redraw = true};
}

AnimRefresh Play(LoadedModel& model)
{
	// a failed "Load and Play" can leave playing set with nothing loaded
	if (model.anim.playing == 0 || model.anim.type == 0)
		return {};
	return GoToNextFrame(model, 1, model.anim.speed);
}

AnimRefresh StartPlayback(AnimState& anim)
{
	bool restarted = false;
	anim.playing = 1;
	if (!MixedFrames(anim)) {
		if (anim.frame == kStopped) {
			anim.frame = 0.0f;
			restarted = true;
		}
	} else {
		for (BoneAnim& bone : anim.bones) {
			if (bone.frame == kStopped) {
				bone.frame = 0.0f;
				restarted = true;
			}
		}
		LeaveStoppedMark(anim);
	}
	return {.menus = true, .info = restarted};
}

AnimRefresh PausePlayback(AnimState& anim)
{
	anim.playing = 0;
	return {.menus = true};
}

AnimRefresh StopPlayback(LoadedModel& model)
{
	AnimState& anim = model.anim;
	anim.playing = 0;
	anim.frame = kStopped;
	if (MixedFrames(anim)) {
		for (BoneAnim& bone : anim.bones)
			bone.frame = kStopped;
	}
	ResetBones(model.MD, model.nodelist);
	ResetVertices(model.MD, model.nodelist, anim);
	return {.menus = true, .info = true, .redraw = true};
}

AnimRefresh ToggleRotationsOnly(AnimState& anim)
{
	anim.rotOnly = anim.rotOnly != 0 ? 0 : 1;
	return {.menus = true};
}

AnimRefresh ChangeSpeed(AnimState& anim, int delta)
{
	anim.speed = SaturatingAdd(anim.speed, delta);
	return {.info = true};
}

AnimRefresh RestoreDefaultSpeed(AnimState& anim)
{
	anim.speed = anim.defaultSpeed;
	return {.info = true};
}

AnimRefresh StepFrame(LoadedModel& model, int step)
{
	AnimState& anim = model.anim;
	if (anim.playing != 0)
		return {};
	// whole frames, so 12.7 steps to 13 and back to 11
	if (!MixedFrames(anim)) {
		TruncatePositive(anim.frame);
	} else {
		for (BoneAnim& bone : anim.bones)
			TruncatePositive(bone.frame);
		LeaveStoppedMark(anim);
	}
	AnimRefresh refresh = GoToNextFrame(model, step, 0);
	refresh.menus = true; // a stopped animation is now paused at a frame
	return refresh;
}

AnimRefresh GoToFirstFrame(LoadedModel& model)
{
	AnimState& anim = model.anim;
	anim.frame = 0.0f;
	if (MixedFrames(anim)) {
		for (BoneAnim& bone : anim.bones)
			bone.frame = 0.0f;
	}
	anim.playing = 0;
	RecalculateModel(model.MD, model.nodelist, anim);
	return {.menus = true, .info = true, .redraw = true};
}

AnimRefresh UnloadBoneAnimation(LoadedModel& model)
{
	AnimState& anim = model.anim;
	FreeBones(anim);
	anim.type &= ~1u;
	if (anim.type == 0)
		ClearAnimationState(anim);
	else if (MixedFrames(anim))
		anim.nFrames = 0; // the per-bone counts went with the bones
	ResetBones(model.MD, model.nodelist);
	return {.menus = true, .info = true, .redraw = true};
}

AnimRefresh UnloadVertexAnimation(LoadedModel& model)
{
	AnimState& anim = model.anim;
	FreeVertexAnimation(model);
	anim.type &= ~2u;
	if (anim.type == 0)
		ClearAnimationState(anim);
	ResetVertices(model.MD, model.nodelist, anim);
	return {.menus = true, .info = true, .redraw = true};
}

AnimRefresh UnloadAllAnimations(LoadedModel& model)
{
	AnimState& anim = model.anim;
	FreeBones(anim);
	FreeVertexAnimation(model);
	ClearAnimationState(anim);
	ResetVertices(model.MD, model.nodelist, anim);
	ResetBones(model.MD, model.nodelist);
	return {.menus = true, .info = true, .redraw = true};
}

AnimRefresh RunAnimCommand(LoadedModel& model, AnimCommand command)
{
	AnimState& anim = model.anim;
	AnimRefresh refresh;
	switch (command) {
	case AnimCommand::Play:
		refresh = StartPlayback(anim);
		break;
	case AnimCommand::Pause:
		refresh = PausePlayback(anim);
		break;
	case AnimCommand::Stop:
		refresh = StopPlayback(model);
		break;
	case AnimCommand::RotationsOnly:
		refresh = ToggleRotationsOnly(anim);
		break;
	case AnimCommand::Faster:
		return ChangeSpeed(anim, 1);
	case AnimCommand::Slower:
		return ChangeSpeed(anim, -1);
	case AnimCommand::DefaultSpeed:
		return RestoreDefaultSpeed(anim);
	case AnimCommand::NextFrame:
		refresh = StepFrame(model, 1);
		break;
	case AnimCommand::PreviousFrame:
		refresh = StepFrame(model, -1);
		break;
	case AnimCommand::FirstFrame:
		refresh = GoToFirstFrame(model);
		break;
	case AnimCommand::UnloadBones:
		return UnloadBoneAnimation(model);
	case AnimCommand::UnloadVertices:
		return UnloadVertexAnimation(model);
	case AnimCommand::UnloadAll:
		return UnloadAllAnimations(model);
	}
	// the other menu commands bring the model back into view
	refresh.modelView = true;
	return refresh;
}

AnimRefresh HandleAnimKey(LoadedModel& model, AnimKey key)
{
	AnimState& anim = model.anim;
	switch (key) {
	case AnimKey::Space:
		if (anim.type == 0)
			return {};
		return anim.playing != 0 ? PausePlayback(anim) : StartPlayback(anim);
	case AnimKey::Right:
	case AnimKey::Left:
		if (anim.type == 0)
			return {};
		return StepFrame(model, key == AnimKey::Right ? 1 : -1);
	case AnimKey::NumpadPlus:
		return ChangeSpeed(anim, 1);
	case AnimKey::NumpadMinus:
		return ChangeSpeed(anim, -1);
	}
	return {};
}

AnimMenuState GetAnimMenuState(const AnimState& anim)
{
	AnimMenuState menu;
	// rotOnly is read from the settings as stored: any nonzero value is on
	menu.rotationsOnlyChecked = anim.rotOnly != 0;
	if (anim.type == 0)
		return menu;
	menu.menuEnabled = true;
	menu.unloadAll = true;
	if (anim.playing != 0) {
		menu.pause = true;
		menu.stop = true;
	} else {
		menu.play = true;
		menu.stop = anim.frame != kStopped;
	}
	menu.unloadBones = (anim.type & 1) != 0;
	menu.unloadVertices = (anim.type & 2) != 0;
	return menu;
}

AnimInfoTexts GetAnimInfoTexts(const AnimState& anim)
{
	AnimInfoTexts info;
	switch (anim.type & 3) {
	case 3:
		info.type = "Bones, Vertices";
		break;
	case 1:
		info.type = "Bones";
		break;
	case 2:
		info.type = "Vertices";
		break;
	default:
		info.type = "(no animation loaded)";
		break;
	}
	if (MixedFrames(anim)) {
		info.frame = "(?)";
		info.frameCount = "(?)";
	} else {
		info.frame = anim.frame == kStopped ? "(stopped)" : FloatToString(anim.frame, 5, 3);
		info.frameCount = IntToString(anim.nFrames, 5);
	}
	info.speed = SignedIntToString(anim.speed, 2);
	return info;
}

} // namespace zentarra
