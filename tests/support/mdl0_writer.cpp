#include "support/mdl0_writer.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <map>

namespace zentarra::testing {

Corner At(int index, int slot)
{
	Corner corner{index, index, index, {}, slot};
	corner.tex.fill(index);
	return corner;
}

namespace {

Primitive MakePrimitive(PrimitiveKind kind, std::vector<Corner> corners)
{
	return {kind, std::move(corners)};
}

std::vector<Corner> CornersOf(const std::vector<int>& indices)
{
	std::vector<Corner> corners;
	for (int index : indices)
		corners.push_back(At(index));
	return corners;
}

} // namespace

Primitive Quads(const std::vector<int>& indices) { return MakePrimitive(PrimitiveKind::Quads, CornersOf(indices)); }
Primitive Triangles(const std::vector<int>& indices) { return MakePrimitive(PrimitiveKind::Triangles, CornersOf(indices)); }
Primitive Strip(const std::vector<int>& indices) { return MakePrimitive(PrimitiveKind::Strip, CornersOf(indices)); }
Primitive Fan(const std::vector<int>& indices) { return MakePrimitive(PrimitiveKind::Fan, CornersOf(indices)); }
Primitive Quads(std::vector<Corner> corners) { return MakePrimitive(PrimitiveKind::Quads, std::move(corners)); }
Primitive Triangles(std::vector<Corner> corners) { return MakePrimitive(PrimitiveKind::Triangles, std::move(corners)); }
Primitive Strip(std::vector<Corner> corners) { return MakePrimitive(PrimitiveKind::Strip, std::move(corners)); }
Primitive Fan(std::vector<Corner> corners) { return MakePrimitive(PrimitiveKind::Fan, std::move(corners)); }

Primitive LoadMatrix(int node, int slot)
{
	return {PrimitiveKind::LoadMatrix, {}, node, slot};
}

namespace {

// Triangles the display lists of a mesh draw (n-2 per strip or fan).
std::size_t TriangleCount(const Mdl0Mesh& mesh)
{
	std::size_t count = 0;
	for (const Primitive& primitive : mesh.primitives) {
		const std::size_t n = primitive.corners.size();
		switch (primitive.kind) {
		case PrimitiveKind::Quads: count += n / 4 * 2; break;
		case PrimitiveKind::Triangles: count += n / 3; break;
		case PrimitiveKind::Strip:
		case PrimitiveKind::Fan: count += n >= 3 ? n - 2 : 0; break;
		case PrimitiveKind::LoadMatrix: break;
		}
	}
	return count;
}

constexpr std::size_t kGroupHeader = 0x18;
constexpr std::size_t kGroupEntry = 0x10;
constexpr std::size_t kBoneSize = 0xD0;
constexpr std::size_t kMaterialSize = 0x418; // layers follow the record
constexpr std::size_t kLayerSize = 52;
constexpr std::size_t kShaderSize = 0x200;
constexpr std::size_t kShaderSignature = 0x8C;
constexpr std::size_t kDeclarationSize = 0xE0;

enum class Slot { Definitions, Bones, Positions, Normals, Colours, TexCoords, Materials, Shaders, Objects };

// Header offset of each section slot, and of the name and info block behind them.
struct HeaderLayout {
	std::size_t slots[9];
	std::size_t slotCount; // slots written, including the unused ones
	std::size_t name;
	std::size_t info;
};

HeaderLayout HeaderFor(std::uint32_t version)
{
	if (version == 8 || version == 9)
		return {{0x10, 0x14, 0x18, 0x1C, 0x20, 0x24, 0x28, 0x2C, 0x30}, 11, 0x3C, 0x40};
	// fur vectors and fur positions sit at 0x28 and 0x2C; user data at 0x44
	return {{0x10, 0x14, 0x18, 0x1C, 0x20, 0x24, 0x30, 0x34, 0x38}, 14, 0x48, 0x4C};
}

// The MDL0 being written. Offsets are relative to its start, S = 0.
class Writer {
public:
	ByteSink out;

	std::size_t at() const { return out.size(); }
	void zeros(std::size_t count) { out.bytes.insert(out.bytes.end(), count, 0); }
	void f32(float value) { out.be32(std::bit_cast<std::uint32_t>(value)); }
	void s32(int value) { out.be32(std::uint32_t(value)); }
	void be32s(std::initializer_list<std::uint32_t> values) { out.be32s(values); }
	void be16s(std::initializer_list<std::uint16_t> values) { out.be16s(values); }
	// A byte-code or display-list command: opcode, then 16-bit operands.
	void command(std::uint8_t opcode, std::initializer_list<std::uint16_t> operands)
	{
		out.u8(opcode);
		be16s(operands);
	}
	void align(std::size_t alignment) { out.alignTo(alignment); }
	void patch32(std::size_t field, std::uint32_t value) { out.patch32(field, value); }
	// Offset from `base` to `target`, stored two's complement when negative.
	void patchOffset(std::size_t field, std::size_t base, std::size_t target)
	{
		patch32(field, std::uint32_t(target - base));
	}

	// A 32-bit name offset relative to `base`, filled in when the table is written.
	void name(std::size_t base, const std::string& text)
	{
		names_.push_back({at(), base, text});
		out.be32(0);
	}

	// Table of names: length, characters, NUL, each 4-byte aligned.
	void writeNames()
	{
		std::map<std::string, std::size_t> placed;
		for (const NameRef& ref : names_) {
			if (!placed.count(ref.text)) {
				align(4);
				out.be32(std::uint32_t(ref.text.size()));
				placed[ref.text] = at();
				out.text(ref.text);
				out.u8(0);
			}
			patchOffset(ref.field, ref.base, placed[ref.text]);
		}
		align(4);
	}

	// An index group with its reference entry; data offsets are set by entryData.
	std::size_t group(const std::vector<std::string>& entries)
	{
		const std::size_t start = at();
		be32s({std::uint32_t(kGroupHeader + kGroupEntry * entries.size()), std::uint32_t(entries.size())});
		be16s({0xFFFF, 0, 1, 1}); // reference entry
		be32s({0, 0});
		for (std::size_t i = 0; i < entries.size(); ++i) {
			// search-tree fields: readers walk entries in stored order
			be16s({std::uint16_t(i + 1), 0, 0, 0});
			name(start, entries[i]);
			out.be32(0);
		}
		return start;
	}
	void entryData(std::size_t group, std::size_t entry, std::size_t data)
	{
		patchOffset(group + 0x24 + kGroupEntry * entry, group, data);
	}

private:
	struct NameRef {
		std::size_t field;
		std::size_t base;
		std::string text;
	};
	std::vector<NameRef> names_;
};

// --- vertex arrays ---

enum class ArrayKind { Positions, Normals, Colours, TexCoords };

int ValuesPerEntry(ArrayKind kind, const VertexArray& array)
{
	switch (kind) {
	case ArrayKind::Positions: return array.components == 2 ? 2 : 3;
	case ArrayKind::Normals: return 3;
	case ArrayKind::Colours: return 4;
	case ArrayKind::TexCoords: return 2;
	}
	return 3;
}

int ComponentBytes(int format)
{
	switch (format) {
	case 2:
	case 3: return 2;
	case 4: return 4;
	default: return 1;
	}
}

int ColourBytes(int format)
{
	return format == 0 ? 2 : 4;
}

void WriteComponent(Writer& w, int format, int shift, float value)
{
	const long fixed = std::lround(std::ldexp(double(value), shift));
	switch (format) {
	case 1: w.out.u8(std::uint8_t(std::int8_t(fixed))); break;
	case 2: w.out.be16(std::uint16_t(fixed)); break;
	case 3: w.out.be16(std::uint16_t(std::int16_t(fixed))); break;
	case 4: w.f32(value); break;
	default: w.out.u8(std::uint8_t(fixed)); break;
	}
}

// One colour: RGB565, or RGBA8 for any other format.
void WriteColour(Writer& w, int format, const float* rgba)
{
	const auto q = [&](int channel, int max) { return std::uint32_t(std::lround(double(rgba[channel]) * max)); };
	if (format == 0)
		w.out.be16(std::uint16_t(q(0, 31) << 11 | q(1, 63) << 5 | q(2, 31)));
	else
		w.be32s({q(0, 255) << 24 | q(1, 255) << 16 | q(2, 255) << 8 | q(3, 255)});
}

// Array header (0x20 bytes, then bounds for positions and paired texture
// coordinates), data, padding to 32 bytes.
void WriteArray(Writer& w, ArrayKind kind, const VertexArray& array, std::size_t index)
{
	w.align(32);
	const std::size_t d = w.at();
	const int perEntry = ValuesPerEntry(kind, array);
	const std::size_t count = array.values.size() / std::size_t(perEntry);
	assert(count <= 0xFFFF); // the entry count is 16-bit
	const bool bounded = kind == ArrayKind::Positions || (kind == ArrayKind::TexCoords && array.components != 1);
	const std::size_t dataAt = bounded ? 0x40 : 0x20;

	w.out.be32(0); // size, patched below
	w.s32(-int(d)); // to the MDL0's start
	w.out.be32(std::uint32_t(dataAt));
	w.name(d, array.name);
	w.out.be32(std::uint32_t(index));
	std::uint32_t componentType = 0;
	switch (kind) {
	case ArrayKind::Positions: componentType = perEntry == 3 ? 1 : 0; break;
	case ArrayKind::Normals: componentType = 0; break;
	case ArrayKind::Colours: componentType = 1; break; // RGBA
	case ArrayKind::TexCoords: componentType = array.components == 1 ? 0 : 1; break;
	}
	w.out.be32(componentType);
	w.out.be32(std::uint32_t(array.format)); // read as the byte at +0x1B
	if (kind == ArrayKind::Colours) {
		w.out.u8(std::uint8_t(ColourBytes(array.format))); // stride
		w.out.u8(0);
	} else {
		w.out.u8(std::uint8_t(array.shift));
		w.out.u8(std::uint8_t(ComponentBytes(array.format) * perEntry)); // stride
	}
	w.out.be16(std::uint16_t(count));

	if (bounded) {
		std::vector<float> lo(std::size_t(perEntry), 0), hi(std::size_t(perEntry), 0);
		for (std::size_t e = 0; e < count; ++e)
			for (std::size_t c = 0; c < std::size_t(perEntry); ++c) {
				const float v = array.values[e * std::size_t(perEntry) + c];
				lo[c] = e ? std::min(lo[c], v) : v;
				hi[c] = e ? std::max(hi[c], v) : v;
			}
		const std::size_t boundSlots = kind == ArrayKind::Positions ? 3 : 2;
		for (const auto* bound : {&lo, &hi})
			for (std::size_t c = 0; c < boundSlots; ++c)
				w.f32(c < bound->size() ? (*bound)[c] : 0.0f);
	}
	w.zeros(d + dataAt - w.at());

	for (std::size_t e = 0; e < count; ++e) {
		const float* entry = array.values.data() + e * std::size_t(perEntry);
		if (kind == ArrayKind::Colours)
			WriteColour(w, array.format, entry);
		else
			for (int c = 0; c < perEntry; ++c)
				WriteComponent(w, array.format, array.shift, entry[c]);
	}
	w.align(32);
	w.patch32(d, std::uint32_t(w.at() - d));
}

// --- definitions ---

void WriteNodeTree(Writer& w, const Mdl0Model& model)
{
	for (std::size_t b = 0; b < model.bones.size(); ++b) {
		const int parent = model.bones[b].parent;
		if (parent < 0 && b != 0)
			continue; // a root: no command
		w.command(2, {std::uint16_t(b), std::uint16_t(parent < 0 ? 0 : parent)});
	}
	w.out.u8(1); // end
}

void WriteNodeMix(Writer& w, const Mdl0Model& model)
{
	for (const MixNode& mix : model.nodeMix) {
		if (mix.blend.empty()) {
			w.command(5, {std::uint16_t(mix.node), std::uint16_t(mix.bone)});
			continue;
		}
		w.command(3, {std::uint16_t(mix.node)});
		w.out.u8(std::uint8_t(mix.blend.size()));
		for (const Blend& blend : mix.blend) {
			w.out.be16(std::uint16_t(blend.node));
			w.f32(blend.weight);
		}
	}
	w.out.u8(1);
}

void WriteDrawList(Writer& w, const DrawList& list)
{
	for (const DrawCall& call : list.calls) {
		w.command(4, {std::uint16_t(call.material), std::uint16_t(call.mesh), std::uint16_t(call.bone)});
		w.out.u8(std::uint8_t(call.priority));
	}
	w.out.u8(1);
}

// --- bones ---

void WriteBone(Writer& w, const Mdl0Model& model, std::size_t b, std::size_t firstBone)
{
	const Mdl0Bone& bone = model.bones[b];
	const std::size_t at = w.at();
	w.be32s({std::uint32_t(kBoneSize), std::uint32_t(-int(at))});
	w.name(at, bone.name);
	w.be32s({std::uint32_t(b), std::uint32_t(bone.node), 0x100, 0, 0}); // index, node, flags: visible, billboard
	for (const auto* values : {&bone.scale, &bone.rot, &bone.trans})
		for (float v : *values)
			w.f32(v);
	w.zeros(24); // bounds
	// +0x5C links to the parent's record; children and siblings are left 0
	std::size_t parentRecord = 0;
	for (std::size_t p = 0; p < model.bones.size(); ++p)
		if (bone.parent >= 0 && model.bones[p].node == bone.parent)
			parentRecord = firstBone + p * kBoneSize;
	w.out.be32(parentRecord ? std::uint32_t(parentRecord - at) : 0);
	w.zeros(16);
	// +0x70 stored matrices: readers compute their own
	for (int m = 0; m < 2; ++m)
		for (int r = 0; r < 3; ++r)
			for (int c = 0; c < 4; ++c)
				w.f32(r == c ? 1.0f : 0.0f);
	assert(w.at() - at == kBoneSize);
}

// --- materials and shaders ---

void WriteMaterial(Writer& w, const Mdl0Material& material, std::size_t index, std::size_t shader)
{
	const std::size_t m = w.at();
	const std::size_t layers = std::min<std::size_t>(material.layers.size(), 8);
	w.out.be32(std::uint32_t(kMaterialSize + kLayerSize * layers));
	w.s32(-int(m));
	w.name(m, material.name);
	// +0x14: texture generators, light channels, shader stages, indirect textures
	w.be32s({std::uint32_t(index), 0, std::uint32_t(material.texGens) << 24 | 0x10100, std::uint32_t(material.cull)});
	w.zeros(0x28 - 0x1C);
	// +0x28 shader, layers and their offset
	w.be32s({std::uint32_t(shader - m), std::uint32_t(layers), layers ? std::uint32_t(kMaterialSize) : 0});
	w.zeros(0x1A8 - 0x34);
	w.be32s({layers ? (1u << layers) - 1 : 0, 0}); // +0x1A8 texture matrices in use, matrix mode
	// +0x1B0: eight texture transforms: scale S, T, rotation, translation S, T
	for (int t = 0; t < 8; ++t) {
		w.f32(t == 0 ? material.scaleS : 1.0f);
		w.f32(t == 0 ? material.scaleT : 1.0f);
		w.zeros(12);
	}
	w.zeros(m + kMaterialSize - w.at());

	for (std::size_t k = 0; k < layers; ++k) {
		const Layer& layer = material.layers[k];
		const std::size_t y = w.at();
		w.name(y, layer.texture);
		if (layer.palette.empty())
			w.out.be32(0);
		else
			w.name(y, layer.palette);
		w.zeros(8); // runtime pointers
		// texture and palette unit, wrap S and T at +0x18, linear filters, no bias, anisotropy or clamp bias
		w.be32s({std::uint32_t(k), std::uint32_t(k), std::uint32_t(layer.wrapS), std::uint32_t(layer.wrapT), 1, 1, 0, 0, 0});
		assert(w.at() - y == kLayerSize);
	}
}

void WriteShader(Writer& w, const Mdl0Material& material, std::size_t index)
{
	const std::size_t h = w.at();
	w.out.be32(std::uint32_t(kShaderSize));
	w.s32(-int(h));
	w.be32s({std::uint32_t(index), 0x01000000}); // one stage
	for (std::size_t k = 0; k < 8; ++k) // texture units used
		w.out.u8(k < material.layers.size() ? std::uint8_t(k) : 0xFF);
	w.zeros(h + kShaderSize - w.at());
	for (std::size_t i = 0; i < material.shaderSignature.size() && kShaderSignature + i < kShaderSize; ++i)
		w.out.bytes[h + kShaderSignature + i] = material.shaderSignature[i];
}

// --- objects ---

void WriteIndex(Writer& w, int width, int index)
{
	if (width == 2)
		w.out.be16(std::uint16_t(index));
	else
		w.out.u8(std::uint8_t(index));
}

void WriteCorner(Writer& w, const Mdl0Mesh& mesh, const Corner& corner)
{
	for (int k = 0; k < mesh.mtxCount; ++k)
		w.out.u8(std::uint8_t(3 * corner.slot)); // matrix memory index: 3 rows per slot
	WriteIndex(w, mesh.posSize, corner.pos);
	if (mesh.nrmSize)
		WriteIndex(w, mesh.nrmSize, corner.nrm);
	if (mesh.clrSize)
		WriteIndex(w, mesh.clrSize, corner.clr);
	for (std::size_t t = 0; t < 8; ++t)
		if (mesh.texSize[t])
			WriteIndex(w, mesh.texSize[t], corner.tex[t]);
}

void WriteDisplayList(Writer& w, const Mdl0Mesh& mesh)
{
	std::vector<const Primitive*> pendingNormals;
	const auto flushNormalLoads = [&] {
		for (const Primitive* load : pendingNormals) {
			w.command(0x28, {std::uint16_t(load->node), std::uint16_t(0x8400 + 9 * load->slot)});
		}
		pendingNormals.clear();
	};
	for (const Primitive& primitive : mesh.primitives) {
		if (primitive.kind == PrimitiveKind::LoadMatrix) {
			w.command(0x20, {std::uint16_t(primitive.node), std::uint16_t(0xB000 + 12 * primitive.slot)});
			pendingNormals.push_back(&primitive);
			continue;
		}
		flushNormalLoads();
		w.command(std::uint8_t(primitive.kind), {std::uint16_t(primitive.corners.size())});
		for (const Corner& corner : primitive.corners)
			WriteCorner(w, mesh, corner);
	}
	flushNormalLoads();
	w.out.u8(0); // end, then zero padding
	w.align(32);
}

// Nodes named by the mesh's matrix loads, in first-load order.
std::vector<int> MatrixNodes(const Mdl0Mesh& mesh)
{
	std::vector<int> nodes;
	for (const Primitive& primitive : mesh.primitives)
		if (primitive.kind == PrimitiveKind::LoadMatrix &&
			std::find(nodes.begin(), nodes.end(), primitive.node) == nodes.end())
			nodes.push_back(primitive.node);
	return nodes;
}

void WriteObject(Writer& w, const Mdl0Model& model, std::size_t index)
{
	const Mdl0Mesh& mesh = model.meshes[index];
	const bool longForm = !(model.version == 8 || model.version == 9);
	w.align(32);
	const std::size_t d = w.at();

	// vertex descriptor: low word bit 0 position matrix, bits 1..8 texture
	// matrices, then two bits each for position, normal, colour 0, colour 1;
	// high word two bits per texture channel. 1 direct, 2 8-bit, 3 16-bit index
	const auto code = [](int width) { return std::uint32_t(width ? width + 1 : 0); };
	std::uint32_t low = (1u << mesh.mtxCount) - 1;
	low |= (mesh.posSize ? code(mesh.posSize) : 1u) << 9;
	low |= code(mesh.nrmSize) << 11;
	low |= code(mesh.clrSize) << 13;
	std::uint32_t high = 0;
	int texChannels = 0;
	for (std::size_t t = 0; t < 8; ++t) {
		high |= code(mesh.texSize[t]) << (2 * t);
		texChannels += mesh.texSize[t] ? 1 : 0;
	}
	const std::uint32_t xfCounts = std::uint32_t((mesh.clrSize ? 1 : 0) | (mesh.nrmSize ? 1 : 0) << 2 | texChannels << 4);

	std::size_t vertices = 0;
	for (const Primitive& primitive : mesh.primitives)
		vertices += primitive.corners.size();

	// size (patched below), to the MDL0, node, descriptor at +0x0C, counts at
	// +0x14; declaration at +0x18 and display list at +0x24: buffer size, size
	// used, offset (patched below); +0x30 vertex format flags
	w.be32s({0, std::uint32_t(-int(d)), std::uint32_t(mesh.node), low, high, xfCounts, std::uint32_t(kDeclarationSize),
		0x80, 0, 0, 0, 0, 0, 0});
	w.name(d, mesh.name); // +0x38
	w.be32s({std::uint32_t(index), std::uint32_t(vertices), std::uint32_t(TriangleCount(mesh))});
	// +0x48 arrays: position, normal, colours 0 and 1, texture coordinates; fur vectors and positions
	w.be16s({std::uint16_t(mesh.vtxArray), std::uint16_t(mesh.nrmArray), std::uint16_t(mesh.clrArray), 0xFFFF});
	for (int uv : mesh.uvArray)
		w.out.be16(std::uint16_t(uv));
	if (longForm)
		w.be16s({0xFFFF, 0xFFFF});
	// matrix table: offset from D, then count and node indices
	w.out.be32(std::uint32_t(w.at() + 4 - d));
	const std::vector<int> nodes = MatrixNodes(mesh);
	w.out.be32(std::uint32_t(nodes.size()));
	for (int node : nodes)
		w.out.be16(std::uint16_t(node));

	// vertex declaration, searched for from +0x68 by its first command
	w.zeros(std::max<std::size_t>(0x80, (w.at() - d + 31) / 32 * 32) - (w.at() - d));
	const std::size_t declaration = w.at();
	// CP: low and high vertex descriptor; XF 0x1008: colour and texture-coordinate counts
	w.be16s({0x0850, std::uint16_t(low >> 16), std::uint16_t(low), 0x0860, std::uint16_t(high >> 16),
		std::uint16_t(high)});
	w.out.u8(0x10);
	w.be16s({0, 0x1008, std::uint16_t(xfCounts >> 16), std::uint16_t(xfCounts)});
	w.zeros(declaration + kDeclarationSize - w.at());

	const std::size_t list = w.at();
	WriteDisplayList(w, mesh);
	w.patch32(d + 0x20, std::uint32_t(declaration - (d + 0x18)));
	w.patch32(d + 0x24, std::uint32_t(w.at() - list));
	w.patch32(d + 0x28, std::uint32_t(w.at() - list));
	w.patch32(d + 0x2C, std::uint32_t(list - (d + 0x24)));
	w.patch32(d, std::uint32_t(w.at() - d));
}

template <typename T, typename NameOf>
std::vector<std::string> NamesOf(const std::vector<T>& records, NameOf nameOf)
{
	std::vector<std::string> names;
	for (const T& record : records)
		names.push_back(nameOf(record));
	return names;
}

} // namespace

Bytes BuildMDL0(const Mdl0Model& model)
{
	Writer w;
	const HeaderLayout header = HeaderFor(model.version);

	// header and section slots
	w.out.text("MDL0");
	w.be32s({0, model.version, 0}); // size, patched at the end; offset to the archive: unknown here
	w.zeros(4 * header.slotCount);
	w.name(0, model.name);

	// info block, then its table of each node's bone (-1 for weighted nodes)
	int nodes = 0;
	for (const Mdl0Bone& bone : model.bones)
		nodes = std::max(nodes, bone.node + 1);
	for (const MixNode& mix : model.nodeMix)
		nodes = std::max(nodes, mix.node + 1);
	std::size_t vertexCount = 0, faceCount = 0;
	for (const Mdl0Mesh& mesh : model.meshes) {
		faceCount += TriangleCount(mesh);
		for (const Primitive& primitive : mesh.primitives)
			vertexCount += primitive.corners.size();
	}
	const std::size_t info = w.at();
	// size, to the MDL0, scaling rule, texture matrix mode, vertices, faces,
	// nodes, whether normal matrices are needed, the node table's offset
	w.be32s({0x40, std::uint32_t(-int(info)), 0, 0, std::uint32_t(vertexCount), std::uint32_t(faceCount), 0,
		std::uint32_t(nodes), model.normals.empty() ? 0u : 0x01000000u, 0x40});
	w.zeros(24); // bounds
	w.out.be32(std::uint32_t(nodes));
	for (int n = 0; n < nodes; ++n) {
		int bone = -1;
		for (std::size_t b = 0; b < model.bones.size(); ++b)
			if (model.bones[b].node == n)
				bone = int(b);
		w.s32(bone);
	}

	// index groups
	const auto slot = [&](Slot s) { return header.slots[int(s)]; };
	std::vector<std::string> definitions = {"NodeTree"};
	if (!model.nodeMix.empty())
		definitions.push_back("NodeMix");
	for (const DrawList& list : model.drawLists)
		definitions.push_back(list.name);
	const auto nameOf = [](const auto& record) { return record.name; };

	const auto placeGroup = [&](Slot s, const std::vector<std::string>& entries) {
		const std::size_t group = w.group(entries);
		w.patch32(slot(s), std::uint32_t(group));
		return group;
	};
	const auto placeOptionalGroup = [&](Slot s, const std::vector<std::string>& entries) -> std::size_t {
		return entries.empty() ? 0 : placeGroup(s, entries);
	};
	const std::size_t definitionGroup = placeGroup(Slot::Definitions, definitions);
	const std::size_t boneGroup = placeGroup(Slot::Bones, NamesOf(model.bones, nameOf));
	const std::size_t arrayGroups[4] = {
		placeOptionalGroup(Slot::Positions, NamesOf(model.positions, nameOf)),
		placeOptionalGroup(Slot::Normals, NamesOf(model.normals, nameOf)),
		placeOptionalGroup(Slot::Colours, NamesOf(model.colours, nameOf)),
		placeOptionalGroup(Slot::TexCoords, NamesOf(model.texCoords, nameOf)),
	};
	const std::size_t materialGroup = placeOptionalGroup(Slot::Materials, NamesOf(model.materials, nameOf));
	const std::size_t shaderGroup = placeOptionalGroup(Slot::Shaders, NamesOf(model.materials, nameOf));
	const std::size_t objectGroup = placeOptionalGroup(Slot::Objects, NamesOf(model.meshes, nameOf));

	// definitions' byte codes
	std::size_t entry = 0;
	w.entryData(definitionGroup, entry++, w.at());
	WriteNodeTree(w, model);
	if (!model.nodeMix.empty()) {
		w.entryData(definitionGroup, entry++, w.at());
		WriteNodeMix(w, model);
	}
	for (const DrawList& list : model.drawLists) {
		w.entryData(definitionGroup, entry++, w.at());
		WriteDrawList(w, list);
	}

	// bones
	w.align(4);
	const std::size_t firstBone = w.at();
	for (std::size_t b = 0; b < model.bones.size(); ++b) {
		w.entryData(boneGroup, b, w.at());
		WriteBone(w, model, b, firstBone);
	}

	// arrays
	const std::vector<VertexArray>* arrays[4] = {&model.positions, &model.normals, &model.colours, &model.texCoords};
	for (int kind = 0; kind < 4; ++kind)
		for (std::size_t i = 0; i < arrays[kind]->size(); ++i) {
			w.align(32);
			w.entryData(arrayGroups[kind], i, w.at());
			WriteArray(w, ArrayKind(kind), (*arrays[kind])[i], i);
		}

	// materials, then their shaders (one each)
	std::size_t shaderStart = w.at();
	for (const Mdl0Material& material : model.materials)
		shaderStart += kMaterialSize + kLayerSize * std::min<std::size_t>(material.layers.size(), 8);
	shaderStart = (shaderStart + 31) / 32 * 32;
	for (std::size_t i = 0; i < model.materials.size(); ++i) {
		w.entryData(materialGroup, i, w.at());
		WriteMaterial(w, model.materials[i], i, shaderStart + kShaderSize * i);
	}
	if (!model.materials.empty()) {
		w.align(32);
		assert(w.at() == shaderStart);
	}
	for (std::size_t i = 0; i < model.materials.size(); ++i) {
		w.entryData(shaderGroup, i, w.at());
		WriteShader(w, model.materials[i], i);
	}

	// objects
	for (std::size_t i = 0; i < model.meshes.size(); ++i) {
		w.align(32);
		w.entryData(objectGroup, i, w.at());
		WriteObject(w, model, i);
	}

	w.writeNames();
	w.align(32);
	w.patch32(4, std::uint32_t(w.at()));
	return w.out.bytes;
}

ModelArchive BuildModelArchive(const Mdl0Model& model)
{
	const std::vector<Folder> folders = {{"3DModels(NW4R)", {{model.name, BuildMDL0(model)}}}};
	return {BuildBRRES(folders), LayoutOf(folders).subFiles[0][0]};
}

} // namespace zentarra::testing
