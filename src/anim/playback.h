// Animation playback on the loaded model: the frame clock, the Animation
// menu's commands and keys, the menu state they imply and the texts of the
// Animation Info window. No windows here: each command says what the shell
// has to refresh afterwards.
//
// Frames: `anim.frame` is the current frame, -1.0 meaning stopped. When
// `anim.nFrames` is negative (a second bone animation was added), every bone
// runs on its own `BoneAnim::frame` and `nFrames`, and `anim.frame` only tells
// stopped (-1.0) from not (0).
#pragma once

#include "model/model.h"

#include <string>

namespace zentarra {

// What the shell has to do after a playback operation.
struct AnimRefresh {
	bool modelView = false; // select the model view (which also refreshes the menus)
	bool menus = false;     // refresh the menu state
	bool info = false;      // refresh the Animation Info texts
	bool redraw = false;    // the posed model changed
};

// Advances the frame(s) by one step of `step` (+1 or -1) at `speed`: speed
// s >= 0 moves (s + 2) / 2 frames per step, s < 0 moves 2^s frames. A frame
// reaching the frame count starts again at 0 (the overshoot is dropped), a
// frame below 0 goes to the last frame. Then recalculates the model.
AnimRefresh GoToNextFrame(LoadedModel& model, int step, int speed);

// One playback step, run once per drawn frame: GoToNextFrame(1, speed) while
// playing an animation; nothing otherwise.
AnimRefresh Play(LoadedModel& model);

// The Animation menu's commands, by menu id.
enum class AnimCommand {
	Play = 3010,
	Pause = 3020,
	Stop = 3030,
	RotationsOnly = 3035,
	Faster = 3040,
	Slower = 3050,
	DefaultSpeed = 3060,
	NextFrame = 3070,
	PreviousFrame = 3080,
	FirstFrame = 3090,
	UnloadBones = 3100,
	UnloadVertices = 3110,
	UnloadAll = 3120,
};

// Runs one menu command. Every command but the speed and unload ones also
// selects the model view.
AnimRefresh RunAnimCommand(LoadedModel& model, AnimCommand command);

// The playback keys of the model and texture views.
enum class AnimKey {
	Space,       // play / pause, only with an animation loaded
	Right,       // next frame, only with an animation loaded and paused
	Left,        // previous frame, likewise
	NumpadPlus,  // faster
	NumpadMinus, // slower
};

AnimRefresh HandleAnimKey(LoadedModel& model, AnimKey key);

// The commands one by one (RunAnimCommand and HandleAnimKey call these).

// playing := 1; a stopped animation starts at frame 0.
AnimRefresh StartPlayback(AnimState& anim);
// playing := 0.
AnimRefresh PausePlayback(AnimState& anim);
// Pauses, marks every frame stopped and puts the model back into the bind pose
// with its stored vertices.
AnimRefresh StopPlayback(LoadedModel& model);
// Toggles rotations-only playback; it shows at the next recalculation.
AnimRefresh ToggleRotationsOnly(AnimState& anim);
// speed + delta (saturating), or back to defaultSpeed.
AnimRefresh ChangeSpeed(AnimState& anim, int delta);
AnimRefresh RestoreDefaultSpeed(AnimState& anim);
// Ignored while playing. Positive frames are truncated to whole frames first,
// then one step of speed 0 in the direction of `step` (+1 or -1).
AnimRefresh StepFrame(LoadedModel& model, int step);
// Frame 0, paused, model recalculated.
AnimRefresh GoToFirstFrame(LoadedModel& model);
// Frees the bone animation, the vertex animation or both, and poses the
// model without them. With nothing left loaded, `anim` is back in its
// no-animation state (frame -1.0, nFrames 0, paused).
AnimRefresh UnloadBoneAnimation(LoadedModel& model);
AnimRefresh UnloadVertexAnimation(LoadedModel& model);
AnimRefresh UnloadAllAnimations(LoadedModel& model);

// Enabling and check marks of the Animation menu for the current state.
struct AnimMenuState {
	bool menuEnabled = false;    // the whole Animation menu
	bool play = false;           // 3010
	bool pause = false;          // 3020
	bool stop = false;           // 3030
	bool rotationsOnlyChecked = false; // 3035
	bool unloadBones = false;    // 3100, and the animation Export submenu
	bool unloadVertices = false; // 3110
	bool unloadAll = false;      // 3120
};

// With no animation loaded the whole menu is grayed and every item reads as
// disabled; the check mark follows rotOnly in every state.
AnimMenuState GetAnimMenuState(const AnimState& anim);

// The four values of the Animation Info window.
struct AnimInfoTexts {
	std::string type;       // "Bones, Vertices", "Bones", "Vertices" or "(no animation loaded)"
	std::string frame;      // "(?)", "(stopped)" or 00012.500
	std::string frameCount; // "(?)" or 00060
	std::string speed;      // 00, 03, -01
};

AnimInfoTexts GetAnimInfoTexts(const AnimState& anim);

} // namespace zentarra
