// Reading an MDL0 sub-file into the loaded model.
//
// MDL0 header, S = the sub-file's offset, offsets relative to S:
//   S+0x08 version; S+0x10 definitions group; S+0x14 bones group;
//   S+0x18 positions, +0x1C normals, +0x20 colours, +0x24 texture coordinates;
//   materials at +0x28 (versions 8 and 9) or +0x30; objects at +0x30 or +0x38.
#pragma once

#include "base/byte_view.h"
#include "model/model.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace zentarra {

inline constexpr std::string_view kNoVertices = "Error: this model doesn't have vertices";

// The most triangles a model may have, a hundred times the largest real ones
// (about 21,000): a damaged display list could otherwise ask for gigabytes.
inline constexpr std::size_t kMaxTriangles = 2'000'000;

struct ModelReadResult {
	bool ok = false;      // the model was read; it is in the bind pose
	bool damaged = false; // something was out of bounds or inconsistent and was left out
	std::string message;  // failure: the message to show; damage: what was wrong
};

// Reads the MDL0 at `offset`, the archive entry `name`, into `model`
// (geometry, skeleton, materials, the name) and poses it in the bind pose. On
// failure `model` is left empty (nMesh 0). Anything `model` held before is
// released first; its animation state's settings (speed, rotOnly,
// defaultSpeed) are kept.
ModelReadResult ReadModel(ByteView& file, std::size_t offset, std::string_view name, LoadedModel& model);

// Releases the geometry of the record and sets nMesh to 0.
void FreeBRMDL(BRMDL& model);

// Releases everything belonging to the loaded model: animations, nodes, bone
// names and geometry. Playback settings stay.
void FreeModel(LoadedModel& model);

} // namespace zentarra
