// Loading a bone animation (CHR0) or a vertex animation (SHP0) onto the
// loaded model.
//
// The caller reads the archive file into memory first; when that fails it
// shows kCantOpenEntryFile ("ERROR", warning icon) itself and does not call these.
// A failed load leaves the model and its animation state as they were.
// After loading, the caller refreshes its menus and animation info; before
// LoadVertexAnimation it closes the model panel, whose tree lists the
// vertex-animation targets.
#pragma once

#include "base/byte_view.h"
#include "model/model.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace zentarra {

inline constexpr std::string_view kNoModelLoaded = "Error: no model has been loaded";

struct AnimLoadResult {
	bool ok = false;
	// Failure: the message to show ("ERROR", warning icon). Success: a warning
	// to show when some tracks could not be read and were held constant, else "".
	std::string message;
};

// Reads the CHR0 at `offset` onto the model's bones. add 0 replaces a loaded
// bone animation, and then also drops a loaded vertex animation, restoring the
// stored vertices; add 1 adds onto it (nFrames -1, each bone keeps its own
// frame).
// Bones the CHR0 does not name get constant tracks holding their bind
// transform and the CHR0's frame count. Then frame 0, paused, model posed;
// animname := entryName.
AnimLoadResult LoadAnimation(LoadedModel& model, ByteView& archiveFile, std::size_t offset,
	std::string_view entryName, int add);

// Reads the SHP0 at `offset`, replacing a loaded vertex animation, gives each
// entry its morph weights (all 0), then frame 0, paused, model posed with the
// weights at frame 0. nFrames becomes the SHP0's frame count.
AnimLoadResult LoadVertexAnimation(LoadedModel& model, ByteView& archiveFile, std::size_t offset);

} // namespace zentarra
