// The demo archive shipped as samples/demo.brres: a small crate whose lid is
// hinged on a weighted node, plus one stub of each other kind the viewer lists.
#pragma once

#include "support/brres_writer.h"
#include "support/mdl0_writer.h"

namespace zentarra::testing {

// The crate model: an open box ("crate_box", bound to the body bone) and a
// lid ("crate_lid", per-vertex: lid bone, hinge node 4 blending body and lid
// half and half, latch bone). Bones: crate_root, crate_body, crate_lid,
// crate_latch on nodes 0 to 3.
Mdl0Model DemoModel();

Bytes DemoArchive();

} // namespace zentarra::testing
