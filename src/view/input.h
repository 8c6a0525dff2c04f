// The camera and the view's input: keys, mouse drags and the wheel turn,
// move and zoom the model camera or the texture view, switch views and run
// the display and playback shortcuts. Nothing here draws.
#pragma once

#include "anim/playback.h"
#include "view/front.h"
#include "view/view_state.h"

namespace zentarra {

// Camera back to its start for the current radius; flags and radius stay.
void ResetModelView(ModelView& view);

// Offsets that put the middle of the model's box at the origin. The box is
// that of the first corner of every triangle (hidden meshes included); a
// model without triangles leaves the offsets as they are.
void CenterModel(ModelView& view, const BRMDL& model);

// Switches to the view (0 model, 1 texture, 2 palette); leaving the model
// view stops playback.
Refresh SetView(ViewerState& state, int view);

// The playback core's refresh as the front's.
Refresh FromAnimRefresh(ViewerState& state, const AnimRefresh& refresh);

// A key went down; `ctrl` tells whether Ctrl is held with it.
Refresh CheckKeys(ViewerState& state, InputKey key, bool ctrl);

// The pointer moved to (x, y) with these buttons down (MouseButton bits).
// The first move after start or after opening files only records the position.
Refresh CheckMouse(ViewerState& state, unsigned buttons, int x, int y);

// A wheel turn: 120 a notch, positive away from the user.
Refresh CheckMouseWheel(ViewerState& state, int delta);

} // namespace zentarra
