#include "support/demo_archive.h"

#include "support/anim_writer.h"
#include "support/tex0_writer.h"

#include <algorithm>
#include <cmath>

namespace zentarra::testing {

namespace {

Corner C(int pos, int nrm, int clr, int uv, int slot = 0)
{
	return {pos, nrm, clr, {uv}, slot};
}

// Every face is listed clockwise as seen from outside, the console's front
// face; readers reverse the corners.

// Box 2 x 2 x 2 standing on y = 0, open at the top; position index = x | y << 1 | z << 2.
Mdl0Mesh Box()
{
	Mdl0Mesh mesh{.name = "crate_box", .nrmArray = 0, .clrArray = 0, .node = 1, .nrmSize = 1, .clrSize = 1, .texSize = {1}};
	mesh.uvArray[0] = 0;
	// corners top-left, top-right, bottom-right, bottom-left as seen from outside
	// positions, normal: front +z, right +x, back -z, left -x, bottom -y
	const int faces[5][5] = {{6, 7, 5, 4, 4}, {7, 3, 1, 5, 0}, {3, 2, 0, 1, 5}, {2, 6, 4, 0, 1}, {4, 5, 1, 0, 3}};
	mesh.primitives = {{PrimitiveKind::Quads}};
	for (const auto& face : faces)
		for (int k = 0; k < 4; ++k)
			mesh.primitives[0].corners.push_back(C(face[k], face[4], face[4] == 3 ? 1 : 0, k));
	return mesh;
}

// Lid slab x -1..1, y 2..2.25, z -1..1. Slot 0: crate_lid (positions in its
// space, origin at model (0, 2, -1)); slot 1: the hinge node (model space);
// slot 2: crate_latch (origin at model (0, 2, 1)).
Mdl0Mesh Lid()
{
	Mdl0Mesh mesh{.name = "crate_lid", .vtxArray = 1, .nrmArray = 1, .clrArray = 1, .node = -1, .posSize = 2, .nrmSize = 1,
		.clrSize = 1, .texSize = {2}, .mtxCount = 1};
	mesh.uvArray[0] = 1;
	enum { kLid, kHinge, kLatch };
	// top: fan around the centre, clockwise from above
	const Primitive top{PrimitiveKind::Fan, {C(4, 0, 0, 4), C(0, 0, 0, 0, kHinge), C(1, 0, 0, 1, kHinge),
		C(2, 0, 0, 2), C(3, 0, 0, 3), C(0, 0, 0, 0, kHinge)}};
	// sides: one strip around, bottom and top corner at each step
	// top position, bottom position, normal, slot: front left, front right, back right, back left, front left
	const int ring[5][4] = {{3, 8, 1, kLid}, {2, 7, 2, kLid}, {1, 6, 3, kHinge}, {0, 5, 4, kHinge}, {3, 8, 1, kLid}};
	Primitive sides{PrimitiveKind::Strip};
	for (int k = 0; k < 5; ++k) {
		sides.corners.push_back(C(ring[k][1], ring[k][2], 0, 6 + 2 * k, ring[k][3]));
		sides.corners.push_back(C(ring[k][0], ring[k][2], 0, 5 + 2 * k, ring[k][3]));
	}
	const Primitive under{
		PrimitiveKind::Quads, {C(8, 5, 0, 0), C(7, 5, 0, 1), C(6, 5, 0, 2, kHinge), C(5, 5, 0, 3, kHinge)}};
	const Primitive latch{PrimitiveKind::Triangles, {C(9, 6, 1, 0, kLatch), C(10, 6, 1, 1, kLatch),
		C(11, 6, 1, 2, kLatch), C(9, 6, 1, 0, kLatch), C(11, 6, 1, 2, kLatch), C(12, 6, 1, 3, kLatch)}};
	mesh.primitives = {LoadMatrix(2, kLid), LoadMatrix(4, kHinge), LoadMatrix(3, kLatch), top, sides, under, latch};
	return mesh;
}

// A flat card drawn with texture coordinate i at position i: the shipping
// label on the front face, just proud of it (position index = x | y << 1), and
// the shadow on the ground, facing up (position index = x | z << 1).
Mdl0Mesh Card(const char* name, int array, int node, int normal, std::array<int, 4> order)
{
	Mdl0Mesh mesh{.name = name, .vtxArray = array, .nrmArray = 0, .node = node, .nrmSize = 1, .texSize = {1}};
	mesh.uvArray[0] = array;
	mesh.primitives = {{PrimitiveKind::Quads, {C(order[0], normal, 0, order[0]), C(order[1], normal, 0, order[1]),
		C(order[2], normal, 0, order[2]), C(order[3], normal, 0, order[3])}}};
	return mesh;
}

std::uint8_t Clamp255(double value)
{
	return std::uint8_t(std::clamp(value, 0.0, 255.0));
}

// Planks of wood across the box, 64 x 64, CMPR.
Bytes WoodTexture()
{
	Bytes rgba;
	for (int y = 0; y < 64; ++y)
		for (int x = 0; x < 64; ++x) {
			const double grain = 0.5 + 0.5 * std::sin(x * 0.35 + (y / 16) * 1.7 + std::sin(y * 0.9) * 0.8);
			const double shade = y % 16 == 15 ? 0.35 : 0.8 + 0.2 * grain; // the gap between planks
			rgba.insert(rgba.end(), {Clamp255(190 * shade), Clamp255(135 * shade), Clamp255(80 * shade), 255});
		}
	return BuildTEX0(14, 64, 64, EncodeCMPR(64, 64, rgba));
}

// A riveted iron band, 32 x 32, CI8 with a 256-colour RGB565 palette of greys.
Bytes BandTexture()
{
	return BuildTEX0(9, 32, 32, EncodeTexels(9, 32, 32, [](int x, int y) {
		const int dx = x % 16 - 8, dy = y - 16;
		if (dx * dx + dy * dy < 10)
			return 240u; // rivet
		return std::uint32_t(64 + (x * 3 + y * 5) % 96);
	}));
}

Bytes BandPalette()
{
	std::vector<std::uint16_t> entries;
	for (int i = 0; i < 256; ++i)
		entries.push_back(ToRGB565(std::uint8_t(i * 3 / 4), std::uint8_t(i * 3 / 4), std::uint8_t(std::min(255, i * 7 / 8 + 16))));
	return BuildPLT0(1, entries);
}

// A label with a border and an arrow, 32 x 16, CI4 with a 16-colour RGB5A3
// palette whose colour 0 is see-through.
Bytes LabelTexture()
{
	return BuildTEX0(8, 32, 16, EncodeTexels(8, 32, 16, [](int x, int y) {
		if (x == 0 || y == 0 || x == 31 || y == 15)
			return 0u; // torn edge
		if (x == 1 || y == 1 || x == 30 || y == 14)
			return 1u; // border
		const int arrow = 16 - std::abs(y - 8) * 2;
		if (x >= 6 && x <= 26 && (std::abs(y - 8) <= 1 || (x >= arrow + 6 && x <= arrow + 10)))
			return 2u + std::uint32_t(x / 4 % 3);
		return 15u; // paper
	}));
}

Bytes LabelPalette()
{
	std::vector<std::uint16_t> entries = {ToRGB5A3(0, 0, 0, 0), ToRGB5A3(120, 30, 20, 255), ToRGB5A3(200, 40, 30, 255),
		ToRGB5A3(220, 60, 40, 255), ToRGB5A3(240, 90, 60, 255)};
	while (entries.size() < 15)
		entries.push_back(ToRGB5A3(std::uint8_t(entries.size() * 16), 0, 0, 160));
	entries.push_back(ToRGB5A3(240, 230, 200, 255));
	return BuildPLT0(2, entries);
}

// A soft shadow, 48 x 20 (not a power of two), IA8: black, alpha falling off
// from the middle.
Bytes ShadowTexture()
{
	return BuildTEX0(3, 48, 20, EncodeTexels(3, 48, 20, [](int x, int y) {
		const double dx = (x + 0.5 - 24) / 24, dy = (y + 0.5 - 10) / 10;
		const double alpha = 200 * std::max(0.0, 1 - (dx * dx + dy * dy));
		return std::uint32_t(Clamp255(alpha)) << 8; // alpha, then intensity 0
	}));
}

} // namespace

Mdl0Model DemoModel()
{
	Mdl0Model model{.name = "crate"};

	model.positions.push_back({.name = "crate_box_pos", .format = 3, .shift = 8,
		.values = {-1, 0, -1, 1, 0, -1, -1, 2, -1, 1, 2, -1, -1, 0, 1, 1, 0, 1, -1, 2, 1, 1, 2, 1}});
	model.positions.push_back({.name = "crate_lid_pos",
		// 0, 1: top back, model space; 2, 3: top front, lid space; 4: top centre, lid space
		.values = {-1, 2.25f, -1, 1, 2.25f, -1, 1, 0.25f, 2, -1, 0.25f, 2, 0, 0.25f, 1,
			// 5, 6: bottom back, model space; 7, 8: bottom front, lid space; 9..12: latch
			-1, 2, -1, 1, 2, -1, 1, 0, 2, -1, 0, 2,
			-0.2f, 0.1f, 0.02f, 0.2f, 0.1f, 0.02f, 0.2f, -0.2f, 0.02f, -0.2f, -0.2f, 0.02f}});

	model.positions.push_back({.name = "crate_label_pos",
		.values = {-0.6f, 0.6f, 1.01f, 0.6f, 0.6f, 1.01f, -0.6f, 1.2f, 1.01f, 0.6f, 1.2f, 1.01f}});
	model.positions.push_back({.name = "crate_shadow_pos",
		.values = {-1.6f, 0.01f, -1.3f, 1.6f, 0.01f, -1.3f, -1.6f, 0.01f, 1.3f, 1.6f, 0.01f, 1.3f}});

	model.normals.push_back({.name = "crate_box_nrm", .format = 1, .shift = 6,
		.values = {1, 0, 0, -1, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 1, 0, 0, -1}});
	const float d = 0.70710677f;
	model.normals.push_back({.name = "crate_lid_nrm", .format = 3, .shift = 14,
		.values = {0, 1, 0, -d, 0, d, d, 0, d, d, 0, -d, -d, 0, -d, 0, -1, 0, 0, 0, 1}});

	model.colours.push_back({.name = "crate_box_clr", .format = 5,
		.values = {204 / 255.0f, 153 / 255.0f, 102 / 255.0f, 1, 153 / 255.0f, 102 / 255.0f, 51 / 255.0f, 1}});
	model.colours.push_back({.name = "crate_lid_clr", .format = 0,
		.values = {26 / 31.0f, 41 / 63.0f, 20 / 31.0f, 1, 20 / 31.0f, 40 / 63.0f, 22 / 31.0f, 1}});

	model.texCoords.push_back({.name = "crate_box_uv", .components = 2, .values = {0, 0, 1, 0, 1, 1, 0, 1}});
	std::vector<float> lidUv = {0, 0, 1, 0, 1, 1, 0, 1, 0.5f, 0.5f};
	for (int k = 0; k < 5; ++k) // around the sides: top, bottom
		lidUv.insert(lidUv.end(), {float(k), 0, float(k), 0.25f});
	model.texCoords.push_back({.name = "crate_lid_uv", .format = 0, .shift = 4, .components = 2, .values = lidUv});

	model.texCoords.push_back({.name = "crate_label_uv", .components = 2, .values = {0, 1, 1, 1, 0, 0, 1, 0}});
	model.texCoords.push_back({.name = "crate_shadow_uv", .components = 2, .values = {0, 0, 1, 0, 0, 1, 1, 1}});

	model.meshes = {
		Box(), Lid(), Card("crate_label", 2, 1, 4, {2, 3, 1, 0}), Card("crate_shadow", 3, 0, 2, {0, 1, 3, 2})};

	model.bones = {{.name = "crate_root", .node = 0}, {.name = "crate_body", .node = 1, .parent = 0},
		{.name = "crate_lid", .node = 2, .parent = 1, .trans = {0, 2, -1}},
		{.name = "crate_latch", .node = 3, .parent = 2, .trans = {0, 0, 2}}};
	model.nodeMix = {{.node = 1, .bone = 1}, {.node = 2, .bone = 2}, {.node = 3, .bone = 3},
		{.node = 4, .blend = {{1, 0.5f}, {2, 0.5f}}}};
	model.drawLists = {{"DrawOpa", {{.material = 0, .mesh = 0}, {.material = 1, .mesh = 1}}},
		{"DrawXlu", {{.material = 2, .mesh = 2}, {.material = 3, .mesh = 3}}}};

	model.materials.push_back({.name = "crate_wood", .layers = {{.texture = "crate_wood"}}, .scaleS = 2, .scaleT = 2});
	// the second layer shows: shader signature 0x3C03 ... 0xFFF8
	model.materials.push_back({.name = "crate_band", .texGens = 2, .cull = 0,
		.shaderSignature = {0x3C, 0x03, 0, 0, 0, 0, 0xFF, 0xF8},
		.layers = {{.texture = "crate_wood"}, {.texture = "crate_band", .palette = "crate_band", .wrapS = 2}}});
	model.materials.push_back({.name = "crate_label",
		.layers = {{.texture = "crate_label", .palette = "crate_label", .wrapS = 0, .wrapT = 0}}});
	model.materials.push_back(
		{.name = "crate_shadow", .cull = 0, .layers = {{.texture = "crate_shadow", .wrapS = 0, .wrapT = 0}}});
	AddDemoMorphTargets(model); // the lid's bulge, for the vertex animation
	return model;
}

Bytes DemoArchive()
{
	return BuildBRRES({
		{"3DModels(NW4R)", {{"crate", BuildMDL0(DemoModel())}}},
		{"Textures(NW4R)", {{"crate_wood", WoodTexture()}, {"crate_band", BandTexture()}, {"crate_label", LabelTexture()},
			{"crate_shadow", ShadowTexture()}}},
		{"Palettes(NW4R)", {{"crate_band", BandPalette()}, {"crate_label", LabelPalette()}}},
		{"AnmChr(NW4R)", {{"crate_open", BuildDemoCHR0()}}},
		{"AnmShp(NW4R)", {{"crate_bulge", BuildDemoSHP0()}}},
		{"AnmTexSrt(NW4R)", {{"crate_scroll", StubSubFile("SRT0", 64)}}},
	});
}

} // namespace zentarra::testing
