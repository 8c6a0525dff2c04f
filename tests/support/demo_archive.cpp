#include "support/demo_archive.h"

namespace zentarra::testing {

Bytes DemoArchive()
{
	return BuildBRRES({
		{"3DModels(NW4R)", {{"crate", StubSubFile("MDL0", 64)}}},
		{"Textures(NW4R)", {{"crate_wood", StubSubFile("TEX0", 64)}, {"crate_palette", StubSubFile("PLT0", 64)}}},
		{"AnmChr(NW4R)", {{"crate_spin", StubSubFile("CHR0", 64)}}},
		{"AnmShp(NW4R)", {{"crate_squash", StubSubFile("SHP0", 64)}}},
		{"AnmTexSrt(NW4R)", {{"crate_scroll", StubSubFile("SRT0", 64)}}},
	});
}

} // namespace zentarra::testing
