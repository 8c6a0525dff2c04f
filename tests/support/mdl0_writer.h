// Test-only writer of MDL0 sub-files: from a plain description of arrays,
// meshes with their display lists, bones, weighted nodes, draw lists and
// materials, it lays the sub-file out the way ReadModel reads it.
//
// Layout written (S = start of the sub-file, every number big-endian):
//   header: "MDL0", size, version 11, then the section slots (definitions,
//   bones, positions, normals, colours, texture coordinates, two fur slots,
//   materials at S+0x30, shaders, objects at S+0x38, textures, palettes, user data),
//   the model's name and an info block;
//   the index groups, the definitions' byte codes, bone records, arrays
//   (32-byte aligned), materials with their texture layers, shaders, objects
//   (header, vertex declaration at +0x80 or later, display list 0xE0 behind
//   it), and a table of names, each preceded by its length.
//
// Usage:
//   Mdl0Model model;
//   model.positions.push_back({.name = "pos", .values = {0, 0, 0, 1, 0, 0, 0, 1, 0}});
//   model.bones.push_back({.name = "root", .node = 0});
//   model.meshes.push_back({.name = "tri", .primitives = {Triangles({0, 1, 2})}});
//   ModelArchive archive = BuildModelArchive(model);
//   // ReadModel(view of archive.bytes, archive.offset, name, ...)
#pragma once

#include "support/brres_writer.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zentarra::testing {

// One attribute array. Values are flat, entry after entry:
//   positions and normals: x, y, z; colours: r, g, b, a in 0..1; texture
//   coordinates: s, t.
// Components are stored in `format` (0 u8, 1 s8, 2 u16, 3 s16, 4 float) as
// value x 2^shift rounded to the nearest integer; colours in the colour
// `format`, 0 RGB565 or 5 RGBA8, each channel rounded to its bit width.
struct VertexArray {
	std::string name = {};
	int format = 4, shift = 0, components = 3; // values per entry, colours aside: 2 for texture coordinates
	std::vector<float> values = {};
};

// One vertex of a primitive: an index per attribute and the matrix slot its
// first matrix-index byte names (written as 3 x slot).
struct Corner {
	int pos = 0, nrm = 0, clr = 0;
	std::array<int, 8> tex = {};
	int slot = 0;
};

enum class PrimitiveKind : std::uint8_t {
	LoadMatrix = 0x20, // load position matrix: `node` into `slot`
	Quads = 0x80,
	Triangles = 0x90,
	Strip = 0x98,
	Fan = 0xA0,
};

// A display-list command. A run of LoadMatrix commands is followed in the
// list by the matching normal-matrix loads (0x28), as real files have them.
// The address written is 0xB000 + 12 x slot; readers restart their table at
// slot 0 and fill it in order, so loads should go 0, 1, 2, ...
struct Primitive {
	PrimitiveKind kind = PrimitiveKind::Triangles;
	std::vector<Corner> corners = {};
	int node = 0, slot = 0;
};

// Corners each using one index for every attribute; others are written as
// Primitive{kind, corners}.
Primitive Quads(const std::vector<int>& indices);
Primitive Triangles(const std::vector<int>& indices);
Primitive Strip(const std::vector<int>& indices);
Primitive LoadMatrix(int node, int slot);

inline constexpr int kNoArray = 0xFFFF;

// A mesh (MDL0 object). Index widths: 1 = 8-bit, 2 = 16-bit, 0 = absent.
// `mtxCount` one-byte matrix indices precede each vertex's indices.
// A mesh needs at least one primitive: the display list is found by skipping
// zero bytes, so an empty one would run into the next object.
struct Mdl0Mesh {
	std::string name = {};
	int vtxArray = 0, nrmArray = kNoArray, clrArray = kNoArray;
	std::array<int, 8> uvArray = {kNoArray, kNoArray, kNoArray, kNoArray, kNoArray, kNoArray, kNoArray, kNoArray};
	int node = 0; // single-bind node, -1 when each vertex names its own
	int posSize = 1, nrmSize = 0, clrSize = 0;
	std::array<int, 8> texSize = {};
	int mtxCount = 0;
	std::vector<Primitive> primitives = {};
};

// A bone; `parent` is the parent's node index (-1 for a root) and goes into
// the "NodeTree" byte code. Bone 0 is always written there (with its parent,
// or node 0 for a root, as real files do); other roots are left out.
struct Mdl0Bone {
	std::string name = {};
	int node = 0, parent = -1;
	std::array<float, 3> scale = {1, 1, 1}, rot = {0, 0, 0}, trans = {0, 0, 0}; // rotation in degrees
};

struct Blend {
	int node = 0;
	float weight = 0;
};

// A "NodeMix" command: a weighted node blending `blend` (opcode 3), or, when
// `blend` is empty, the single-bone entry (opcode 5: node, bone).
struct MixNode {
	int node = 0;
	std::vector<Blend> blend = {};
	int bone = 0;
};

struct DrawCall {
	int material = 0, mesh = 0;
};

// A definition entry holding draw commands, named "DrawOpa", "DrawXlu" or
// anything else a test needs.
struct DrawList {
	std::string name = {};
	std::vector<DrawCall> calls = {};
};

// A texture layer; wrap modes 0 clamp, 1 repeat, 2 mirrored repeat.
struct Layer {
	std::string texture = {}, palette = {}; // empty: no palette
	int wrapS = 1, wrapT = 1;
};

// A material. `shaderSignature` is written into its shader from +0x8C on
// (the bytes that decide which layer shows); `scaleS`/`scaleT` are the first
// texture matrix's scales.
struct Mdl0Material {
	std::string name = {};
	int texGens = 1, cull = 2;
	Bytes shaderSignature = {};
	std::vector<Layer> layers = {}; // up to 3
	float scaleS = 1, scaleT = 1;
};

struct Mdl0Model {
	std::string name = "model";
	// none: the slot is 0, likewise for the materials
	std::vector<VertexArray> positions = {}, normals = {}, colours = {}, texCoords = {};
	std::vector<Mdl0Mesh> meshes = {};
	std::vector<Mdl0Bone> bones = {};
	std::vector<MixNode> nodeMix = {}; // none: no "NodeMix" definition
	std::vector<DrawList> drawLists = {};
	std::vector<Mdl0Material> materials = {}; // none: the materials slot is 0
};

// The MDL0 sub-file.
Bytes BuildMDL0(const Mdl0Model& model);

// An archive holding the model alone in "3DModels(NW4R)", named as the model.
struct ModelArchive {
	Bytes bytes = {};
	std::size_t offset = 0; // of the MDL0 in `bytes`
};
ModelArchive BuildModelArchive(const Mdl0Model& model);

} // namespace zentarra::testing
