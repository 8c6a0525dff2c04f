// Hand posing: bones turned one at a time (the Rotate Bone dialog), single
// morph weights (the Morph Target dialog), and pose files holding the
// rotation of every bone. The dialogs' widgets live in the shell; what they
// show and what they change is computed here.
//
// Pose file, text: "POSE", then one line "name x y z" per bone in bone order,
// the rotation in degrees with six decimals. Reading splits on white space,
// so a bone whose name holds a space cannot be read back.
#pragma once

#include "model/model.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace zentarra {

inline constexpr std::string_view kNotAPoseFile = "Not a valid Pose file";
inline constexpr std::string_view kCannotOpenPose = "Can't open file"; // the pose file itself

// Pauses playback for a hand edit, which the next animation step would
// overwrite. True when it was playing: the menus then need a refresh.
bool PauseForPoseEdit(AnimState& anim);

// Rebuilds the local matrix of bone `bone` from its node's curRot. Scale and
// translation are the bone's animated values at the current frame while a
// bone animation is loaded, not stopped and not limited to rotations; the
// bind values otherwise. False (nothing changed) for a bone without a node.
bool PoseBone(LoadedModel& model, int bone);

// After PoseBone: model-space matrices of the bone nodes, blended matrices of
// the weighted nodes, then every posed corner.
void FinishPose(LoadedModel& model);

// --- Rotate Bone dialog: three trackbars 0..360, whole degrees ---

inline constexpr int kRotationTrackMax = 360;

// An angle as its trackbar position: truncated toward zero, then brought into
// range once (above 360 minus 360, below 0 plus 360). Not clamped: 800 gives 440.
int RotationToTrackPosition(float degrees);

// The position as the trackbar holds it, clamped to 0..maximum.
int ClampTrackPosition(int position, int maximum);

// The three trackbar positions (clamped) for the bone's curRot; 0s for a bone
// without a node.
std::array<int, 3> BoneTrackPositions(const LoadedModel& model, int bone);

// What a hand edit did.
struct PoseEditResult {
	bool applied = false;    // false: no such bone or weight, nothing changed
	bool wasPlaying = false; // playback was paused: the menus need a refresh
};

// A trackbar moved: curRot := the three positions, then the bone and the
// model are re-posed, with playback paused.
PoseEditResult RotateBone(LoadedModel& model, int bone, const std::array<int, 3>& positions);

// The rotation "Reset" goes back to: the bone's rotation tracks at the
// current frame while a bone animation is loaded and not stopped (even when
// playing rotations only), the bind rotation otherwise.
Vec3 BoneResetRotation(const LoadedModel& model, int bone);

// "Reset": the trackbars take the reset rotation and the bone is turned to
// what they hold (RotateBone). Returns the positions for the trackbars.
std::array<int, 3> ResetBoneRotation(LoadedModel& model, int bone);

// --- Morph Target dialog: one trackbar 0..100, in percent ---

inline constexpr int kMorphTrackMax = 100;

// Vertex-animation entry and target of a morph-target item of the model
// panel: 0x05000000 | entry << 16 | target.
struct MorphTarget {
	int entry = 0;
	int target = 0;
};

MorphTarget DecodeMorphItem(std::uint32_t itemCode);

// A weight as its trackbar position: x100 truncated toward zero (not clamped).
int WeightToTrackPosition(float weight);

// The current weight's position, clamped to 0..100; 0 for a target the
// model has no weight for.
int MorphTrackPosition(const LoadedModel& model, const MorphTarget& target);

// The dialog's percentage text: three digits and "%" ("050%").
std::string MorphPercentText(int position);

// A trackbar moved: weight := position / 100, then the morph and the posed
// corners are recomputed, with playback paused.
PoseEditResult SetMorphWeight(LoadedModel& model, const MorphTarget& target, int position);

// The position "Reset" goes back to: 0 while stopped, else the target's
// weight track at the current frame x100 truncated (an empty or missing
// track counts as weight 0), clamped to the trackbar.
int MorphResetPosition(const LoadedModel& model, const MorphTarget& target);

// "Reset": the trackbar takes the reset position and the weight follows it
// (SetMorphWeight). Returns the position for the trackbar.
int ResetMorphWeight(LoadedModel& model, const MorphTarget& target);

// --- Pose files ---

// The pose file's text for the current curRot of every bone.
std::string SavePose(const LoadedModel& model);

// SavePose written in one piece; false (and the file untouched) on failure.
bool SavePoseFile(const LoadedModel& model, const std::filesystem::path& path);

struct PoseLoadResult {
	bool ok = false;
	std::string message;     // on failure, the text to show
	int applied = 0;         // lines that named a bone of the model
	bool wasPlaying = false; // playback was paused: the menus need a refresh
};

// Applies a pose file's text: every line naming a bone sets that bone's
// curRot; unknown names are skipped; reading ends at the first line that is
// not a name and three numbers. Then every bone is re-posed and playback
// paused. Unless the first word is "POSE", nothing changes.
PoseLoadResult LoadPose(LoadedModel& model, std::string_view text);

// LoadPose on a file's contents; a file that cannot be read changes nothing.
PoseLoadResult LoadPoseFile(LoadedModel& model, const std::filesystem::path& path);

} // namespace zentarra
