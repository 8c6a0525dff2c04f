// Reading SHP0 vertex animations: morph entries over the model's arrays.
//
// SHP0 layout, S = the sub-file's offset:
//   S+0x10 u32 offset of the index group G; S+0x14 u32 offset of the name table L;
//   G-8 u16 frame count; G-6 u16 name count M; G+4 u32 entry count;
//   entry i: data D = G + u32 at G+0x24+16i;
//   L: M u32 offsets from L to zero-terminated names;
//   D+0 flags; D+8 u16 base name index; D+10 u16 target count T; D+12 u32
//   fixed-weight mask; D+16 u32 offset from D of T u16 name indices; from
//   D+20 one field per target: a fixed weight, or the offset from the field of
//   a block: u16 K, six bytes, K keys (float frame, float value, float slope).
//
// Every offset, count and name index is checked against the file and the name
// table. A damaged SHP0 is refused whole: `anim` is left as it was.
#pragma once

#include "anim/chr0.h"
#include "base/byte_view.h"
#include "model/model.h"

#include <cstddef>
#include <string>
#include <vector>

namespace zentarra {

// Reads the SHP0 at `offset` into anim.vanim and sets anim.nFrames to its
// frame count. Base and target names are matched exactly against the first
// nVtx position-array and nNrm normal-array names; no match gives -1. Target
// t takes bit t mod 32 of the fixed-weight mask. Anything anim.vanim held is
// replaced; the caller frees it and its morph weights first (FreeVAnim).
AnimReadResult ReadVertexAnimation(ByteView& file, std::size_t offset, AnimState& anim, int nVtx,
	const std::vector<std::string>& positionNames, int nNrm, const std::vector<std::string>& normalNames);

// Releases every entry and the model's morph weights.
void FreeVAnim(AnimState& anim, BRMDL& model);

} // namespace zentarra
