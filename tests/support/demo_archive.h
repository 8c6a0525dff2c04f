// The demo archive shipped as samples/demo.brres.
#pragma once

#include "support/brres_writer.h"

namespace zentarra::testing {

Bytes DemoArchive();

} // namespace zentarra::testing
