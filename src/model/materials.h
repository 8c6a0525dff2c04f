// Materials and draw lists: which material each mesh uses, its cull mode,
// texture and palette names, mirroring, and texture-coordinate scaling.
#pragma once

#include "base/byte_view.h"
#include "model/model.h"

#include <string>

namespace zentarra {

// Fills meshMat, meshCull, hasMat, nMat, texName, palName and matMirror of the
// MDL0 at `offset` and scales every corner's uv by its material's scale.
// Returns false and a description in `damage` when something was left out.
bool ReadMaterials(ByteView& file, std::size_t offset, std::uint32_t version, BRMDL& model, std::string& damage);

} // namespace zentarra
