// Reading CHR0 bone animations into per-bone key tracks.
//
// CHR0 layout, S = the sub-file's offset, G = S + u32 at S+0x10 (index group):
//   G-12 u16 frame count F; G-10 u16 entry count N;
//   entry i: name at G + u32 at G+0x20+16i, data D = G + u32 at G+0x24+16i;
//   D+4 u32 code; from D+8 one 4-byte field per stored track (scale, rotation,
//   translation): a fixed float, or the offset from D of a key block.
//
// The readers check every offset and count against the file before they use
// it. A damaged CHR0 is refused as a whole: the target record is left exactly
// as it was and the result says what is wrong.
#pragma once

#include "base/byte_view.h"
#include "model/model.h"

#include <cstddef>
#include <string>
#include <vector>

namespace zentarra {

// Track numbers: 0 uniform scale (X, Y and Z), 1-3 scale X-Z, 4-6 rotation
// X-Z, 7-9 translation X-Z.
inline constexpr int kUniformScaleTrack = 0;

// The most keys (CHR0) or targets and keys (SHP0) one read accepts, over
// sixteen million: a hundred times the richest real animation, and far less
// than what a damaged file with many entries sharing one key block could ask.
inline constexpr std::size_t kMaxAnimationKeys = std::size_t(1) << 24;

// Key formats: 0 4-byte keys, 1 6-byte, 2 12-byte, 3 one byte per frame,
// 4 one float per frame (the last two for rotations only).
enum KeyFormat : int {
	kKeys4 = 0,
	kKeys6 = 1,
	kKeys12 = 2,
	kBytePerFrame = 3,
	kFloatPerFrame = 4,
};

struct AnimReadResult {
	bool ok = false;
	int frames = 0; // the frame count the file gives
	// Keyed tracks whose key format has no decoding: they were not read but
	// held at the neutral value (scale 1, rotation and translation 0).
	int constantTracks = 0;
	// Failure: what is damaged. Success: what was held constant, or "".
	std::string message;
};

// Reads the key block at the cursor into `track` with a 4-, 6- or 12-byte key
// format: u16 K, six bytes, [float step, float base,] then K keys; slopes are
// skipped. False, and the track left alone, when the block does not fit in
// the file or the format or track is none of those.
bool ReadAnimData(ByteView& file, BoneAnim& bone, int track, int format);

// Reads the per-frame rotation block at the cursor into track 4, 5 or 6:
// `frames` keys at frames 0, 1, ..., from bytes (float step, float base, then
// one byte per frame) or from floats. False, and the track left alone, when
// the block does not fit.
bool ReadAnimDataSF(ByteView& file, BoneAnim& bone, int track, int format, int frames);

// Fills anim.bones for the bones the CHR0 at `offset` names (exact,
// case-sensitive names from `boneNames`). Without a loaded bone animation
// (bit 0 of type clear) it starts nBones unloaded records and sets nFrames to
// the CHR0's count. With one it adds: nFrames becomes -1, and an entry only
// replaces a bone whose nine tracks are all constant. Entries naming no bone
// are skipped, as is any entry after the first for a bone it animated.
// On failure `anim` is unchanged.
AnimReadResult ReadAnimation(ByteView& file, std::size_t offset, AnimState& anim, int nBones,
	const std::vector<std::string>& boneNames);

// Reads every entry of the CHR0 at `offset` in file order, without a model:
// anim.bones gets one record per entry, `names` its name, nBones their count,
// anim.nFrames the frame count. loaded, nFrames and frame of the records and
// anim.type are not set. On failure nothing is changed.
AnimReadResult ReadAnimationAlone(ByteView& file, std::size_t offset, AnimState& anim, int& nBones,
	std::vector<std::string>& names);

// Releases the bone's nine key tracks.
void FreeBoneAnim(BoneAnim& bone);

// FreeBoneAnim on the first `nBones` records, then releases the records.
void FreeAnim(AnimState& anim, int nBones);

} // namespace zentarra
