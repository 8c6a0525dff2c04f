// The demo archive shipped as samples/demo.brres: a small crate whose lid is
// hinged on a weighted node, its textures and palettes, an animation opening
// the lid, a vertex animation bulging it, and a stub of a kind the viewer
// lists without reading.
#pragma once

#include "support/brres_writer.h"
#include "support/mdl0_writer.h"

namespace zentarra::testing {

// The crate model: an open box ("crate_box", bound to the body bone), a lid
// ("crate_lid", per-vertex: lid bone, hinge node 4 blending body and lid half
// and half, latch bone), a label on the front ("crate_label") and a shadow on
// the ground ("crate_shadow"). Bones: crate_root, crate_body, crate_lid,
// crate_latch on nodes 0 to 3. Materials 0 to 3 show the textures
// crate_wood (CMPR), crate_band (CI8, mirrored along S), crate_label (CI4)
// and crate_shadow (IA8, 48 x 20), the indexed ones with the palette of
// their own name.
Mdl0Model DemoModel();

// The model with "crate_wood" ... in "Textures(NW4R)", the two palettes in
// "Palettes(NW4R)", "crate_open" (CHR0, 40 frames) and "crate_bulge" (SHP0,
// 30 frames).
Bytes DemoArchive();

} // namespace zentarra::testing
