// Test-only writers of CHR0 (version 5) and SHP0 (version 4) sub-files with
// the index group at +0x2C, archives pairing them with a model, and the demo
// crate's animations. CHR0 codes are written as given, so tests can set any
// bit; AutoEntry derives the code from the fields.
#pragma once

#include "anim/math3d.h"
#include "support/brres_writer.h"
#include "support/mdl0_writer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zentarra::testing {

// A field of a CHR0 entry: a fixed float, or a key block (format != 0).
struct Chr0Field {
	float value = 0;
	std::uint32_t format = 0; // 1 4-byte, 2 6-byte, 3 12-byte keys, 4 byte per frame, 6 float per frame
	Bytes block = {};         // starts with the u16 key count in formats 1-3
	std::optional<std::uint32_t> offset = {}; // stored instead of the block's offset from the entry
};
Chr0Field Fixed(float value);
// value = index x step + base; the slopes written are noise the reader must skip.
Chr0Field Keys4(float step, float base, const std::vector<std::pair<int, int>>& frameIndex);
Chr0Field Keys6(float step, float base, const std::vector<std::pair<int, int>>& frameWordIndex);
Chr0Field Keys12(const std::vector<std::pair<float, float>>& frameValue);
Chr0Field BytesPerFrame(float step, float base, const std::vector<std::uint8_t>& bytes);
Chr0Field FloatsPerFrame(const std::vector<float>& values);

struct Chr0Entry {
	std::string name;
	std::uint32_t code = 0;
	std::vector<Chr0Field> fields = {};
};
// Scale: none (bit 3), one (uniform) or three fields; rotation, translation:
// none or three. Keyed fields of one group share their format.
Chr0Entry AutoEntry(std::string name, std::vector<Chr0Field> scale, std::vector<Chr0Field> rot,
	std::vector<Chr0Field> trans);

struct Chr0Anim {
	std::string name = "anim";
	int frames = 1;
	std::vector<Chr0Entry> entries = {};
};
Bytes BuildCHR0(const Chr0Anim& anim);

struct Shp0Target {
	std::string name;
	float weight = 0;           // written when the target's mask bit (t mod 32) is set
	std::vector<Key> keys = {}; // written otherwise
};
struct Shp0Entry {
	std::string name = "entry";
	std::string base;
	std::vector<Shp0Target> targets = {};
	std::uint32_t mask = 0;
};
struct Shp0Anim {
	std::string name = "shape";
	int frames = 1;
	std::vector<Shp0Entry> entries = {};
};
// Base and target names enter the name table in order of first use.
Bytes BuildSHP0(const Shp0Anim& anim);

// The model in "3DModels(NW4R)", the animations in "AnmChr(NW4R)" and
// "AnmShp(NW4R)", and where each sub-file landed.
struct AnimArchive {
	Bytes bytes;
	std::size_t model = 0;
	std::vector<std::size_t> chr0, shp0;
};
AnimArchive BuildAnimArchive(const Mdl0Model& model, const std::vector<Chr0Anim>& chr0s,
	const std::vector<Shp0Anim>& shp0s = {});

// The demo crate (support/demo_archive.h), 40 frames: the root sways (float
// per frame) and bobs (12-byte keys), the body breathes (uniform 6-byte
// scale), the lid opens to -100 degrees at frames 15-30 (4-byte keys), the
// latch jiggles (byte per frame). Frame 0 is the bind pose.
Chr0Anim DemoCHR0();
Bytes BuildDemoCHR0();
// Adds "crate_lid_pos_bulge": the lid's positions with the top centre 0.5 higher.
void AddDemoMorphTargets(Mdl0Model& model);
// 30 frames morphing the lid towards the bulge (weight 1 at frame 15) and back.
Shp0Anim DemoSHP0();
Bytes BuildDemoSHP0();

} // namespace zentarra::testing
