// The node table: bones, weighted nodes ("NodeMix") and parents ("NodeTree").
#pragma once

#include "base/byte_view.h"
#include "model/model.h"

#include <string>

namespace zentarra {

// Fills nBones, bonemap, nNodes, nodelist and the bone names of the MDL0 at
// `offset`; does not pose (ReadModel calls ResetBones after it). Returns false
// and a description in `damage` when something had to be left out or mended.
bool ReadBones(ByteView& file, std::size_t offset, LoadedModel& model, std::string& damage);

} // namespace zentarra
