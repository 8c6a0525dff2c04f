#include "support/mdl0_writer.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <map>
#include <tuple>

namespace zentarra::testing {

namespace {

Primitive Of(PrimitiveKind kind, const std::vector<int>& indices)
{
	Primitive primitive{kind};
	for (int index : indices) {
		primitive.corners.push_back({index, index, index});
		primitive.corners.back().tex.fill(index);
	}
	return primitive;
}

// Triangles the display lists of a mesh draw (n-2 per strip or fan), and its corners.
std::pair<std::size_t, std::size_t> Counts(const Mdl0Mesh& mesh)
{
	std::size_t triangles = 0, corners = 0;
	for (const Primitive& primitive : mesh.primitives) {
		const std::size_t n = primitive.corners.size();
		const PrimitiveKind kind = primitive.kind;
		corners += n;
		triangles += kind == PrimitiveKind::Quads       ? n / 4 * 2
			: kind == PrimitiveKind::Triangles          ? n / 3
			: kind == PrimitiveKind::LoadMatrix || n < 3 ? 0
														 : n - 2;
	}
	return {triangles, corners};
}

constexpr std::size_t kBoneSize = 0xD0;
constexpr std::size_t kMaterialSize = 0x418; // layers follow the record
constexpr std::size_t kLayerSize = 52;
constexpr std::size_t kShaderSize = 0x200;
constexpr std::size_t kDeclarationSize = 0xE0;
// header slots: definitions, bones, positions, normals, colours, texture
// coordinates, (fur vectors, fur positions), materials, shaders, objects
constexpr std::size_t kSlots[] = {0x10, 0x14, 0x18, 0x1C, 0x20, 0x24, 0x30, 0x34, 0x38};
enum Slot { kDefinitions, kBones, kPositions, kMaterials = 6, kShaders, kObjects };

// The MDL0 being written. Offsets are relative to its start, S = 0.
struct Writer {
	ByteSink out;
	std::vector<std::tuple<std::size_t, std::size_t, std::string>> names_; // field, base, text: see writeNames

	std::size_t at() const { return out.size(); }
	void zeros(std::size_t count) { out.bytes.insert(out.bytes.end(), count, 0); }
	void f32(float value) { out.be32(std::bit_cast<std::uint32_t>(value)); }
	// A byte-code or display-list command: opcode, then 16-bit operands.
	void command(std::uint8_t opcode, std::initializer_list<std::uint16_t> operands)
	{
		out.u8(opcode);
		out.be16s(operands);
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
		out.alignTo(4);
		for (const auto& [field, base, text] : names_) {
			if (!placed.count(text))
				placed[text] = out.name(text);
			out.patch32(field, std::uint32_t(placed[text] - base)); // two's complement when negative
		}
	}

	// An index group in header slot `slot`; data offsets are set by entryData.
	template <typename T>
	std::size_t group(std::size_t slot, const std::vector<T>& entries)
	{
		const std::size_t start = at();
		out.patch32(kSlots[slot], std::uint32_t(start));
		out.group(std::vector<std::array<std::uint32_t, 2>>(entries.size()));
		for (std::size_t i = 0; i < entries.size(); ++i)
			names_.push_back({start + 0x20 + 0x10 * i, start, entries[i].name});
		return start;
	}
	void entryData(std::size_t group, std::size_t entry)
	{
		out.patch32(group + 0x24 + 0x10 * entry, std::uint32_t(at() - group));
	}
};

// --- vertex arrays ---

enum class ArrayKind { Positions, Normals, Colours, TexCoords };

void WriteComponent(Writer& w, int format, int shift, float value)
{
	const long fixed = std::lround(std::ldexp(double(value), shift));
	if (format == 4)
		w.f32(value);
	else if (format == 2 || format == 3)
		w.out.be16(std::uint16_t(fixed));
	else
		w.out.u8(std::uint8_t(fixed));
}

// One colour: RGB565, or RGBA8 for any other format.
void WriteColour(Writer& w, int format, const float* rgba)
{
	const auto q = [&](int channel, int max) { return std::uint32_t(std::lround(double(rgba[channel]) * max)); };
	if (format == 0)
		w.out.be16(std::uint16_t(q(0, 31) << 11 | q(1, 63) << 5 | q(2, 31)));
	else
		w.out.be32(q(0, 255) << 24 | q(1, 255) << 16 | q(2, 255) << 8 | q(3, 255));
}

// Array header (0x20 bytes, then bounds for positions and texture
// coordinates), data, padding to 32 bytes.
void WriteArray(Writer& w, ArrayKind kind, const VertexArray& array, std::size_t index)
{
	const std::size_t d = w.at();
	const int perEntry = kind == ArrayKind::Colours ? 4 : array.components;
	const std::size_t count = array.values.size() / std::size_t(perEntry);
	assert(count <= 0xFFFF); // the entry count is 16-bit
	const bool bounded = kind == ArrayKind::Positions || kind == ArrayKind::TexCoords;
	const std::size_t dataAt = bounded ? 0x40 : 0x20;

	// size (patched below), to the MDL0's start, data offset, name, index,
	// component type (xyz, RGBA, st), format (read as the byte at +0x1B)
	w.out.be32s({0, std::uint32_t(-int(d)), std::uint32_t(dataAt)});
	w.name(d, array.name);
	w.out.be32s({std::uint32_t(index), kind == ArrayKind::Normals ? 0u : 1u, std::uint32_t(array.format)});
	// shift and stride; colours have a stride only, behind it
	const int width = array.format == 4 ? 4 : array.format == 2 || array.format == 3 ? 2 : 1;
	const int colourStride = array.format == 0 ? 2 : 4;
	w.out.be16s({std::uint16_t(kind == ArrayKind::Colours ? colourStride << 8 : array.shift << 8 | width * perEntry),
		std::uint16_t(count)});

	for (int high = 0; bounded && high < 2; ++high) // minimum, then maximum of each component
		for (int c = 0; c < perEntry; ++c) {
			float bound = 0;
			for (std::size_t e = 0; e < count; ++e) {
				const float v = array.values[e * std::size_t(perEntry) + std::size_t(c)];
				bound = e == 0 ? v : high ? std::max(bound, v) : std::min(bound, v);
			}
			w.f32(bound);
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
	w.out.alignTo(32);
	w.out.patch32(d, std::uint32_t(w.at() - d));
}

// --- definitions ---

void WriteNodeTree(Writer& w, const Mdl0Model& model)
{
	for (std::size_t b = 0; b < model.bones.size(); ++b) {
		const int parent = model.bones[b].parent;
		if (parent >= 0 || b == 0) // other roots: no command
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
		w.command(4, {std::uint16_t(call.material), std::uint16_t(call.mesh), 0}); // bone 0
		w.out.u8(0); // priority
	}
	w.out.u8(1);
}

// --- bones ---

void WriteBone(Writer& w, const Mdl0Model& model, std::size_t b, std::size_t firstBone)
{
	const Mdl0Bone& bone = model.bones[b];
	const std::size_t at = w.at();
	w.out.be32s({std::uint32_t(kBoneSize), std::uint32_t(-int(at))});
	w.name(at, bone.name);
	w.out.be32s({std::uint32_t(b), std::uint32_t(bone.node), 0x100, 0, 0}); // index, node, flags: visible, billboard
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
	for (int m = 0; m < 24; ++m)
		w.f32(m % 12 % 5 == 0 ? 1.0f : 0.0f);
	assert(w.at() - at == kBoneSize);
}

// --- materials and shaders ---

void WriteMaterial(Writer& w, const Mdl0Material& material, std::size_t index, std::size_t shader)
{
	const std::size_t m = w.at();
	const std::size_t layers = material.layers.size();
	w.out.be32s({std::uint32_t(kMaterialSize + kLayerSize * layers), std::uint32_t(-int(m))});
	w.name(m, material.name);
	// +0x14: texture generators, light channels, shader stages, indirect textures
	w.out.be32s({std::uint32_t(index), 0, std::uint32_t(material.texGens) << 24 | 0x10100, std::uint32_t(material.cull)});
	w.zeros(0x28 - 0x1C);
	// +0x28 shader, layers and their offset
	w.out.be32s({std::uint32_t(shader - m), std::uint32_t(layers), layers ? std::uint32_t(kMaterialSize) : 0});
	w.zeros(0x1A8 - 0x34);
	w.out.be32s({layers ? (1u << layers) - 1 : 0, 0}); // +0x1A8 texture matrices in use, matrix mode
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
		w.out.be32s(
			{std::uint32_t(k), std::uint32_t(k), std::uint32_t(layer.wrapS), std::uint32_t(layer.wrapT), 1, 1, 0, 0, 0});
	}
}

void WriteShader(Writer& w, const Mdl0Material& material, std::size_t index)
{
	const std::size_t h = w.at();
	w.out.be32s({std::uint32_t(kShaderSize), std::uint32_t(-int(h)), std::uint32_t(index), 0x01000000}); // one stage
	for (std::size_t k = 0; k < 8; ++k) // texture units used
		w.out.u8(k < material.layers.size() ? std::uint8_t(k) : 0xFF);
	w.zeros(h + kShaderSize - w.at());
	// from +0x8C on: the bytes that decide which layer shows
	for (std::size_t i = 0; i < material.shaderSignature.size() && 0x8C + i < kShaderSize; ++i)
		w.out.bytes[h + 0x8C + i] = material.shaderSignature[i];
}

// --- objects ---

void WriteIndex(Writer& w, int width, int index)
{
	if (width == 2)
		w.out.be16(std::uint16_t(index));
	else if (width)
		w.out.u8(std::uint8_t(index));
}

void WriteDisplayList(Writer& w, const Mdl0Mesh& mesh)
{
	std::vector<const Primitive*> pendingNormals;
	const auto flushNormalLoads = [&] {
		for (const Primitive* load : pendingNormals)
			w.command(0x28, {std::uint16_t(load->node), std::uint16_t(0x8400 + 9 * load->slot)});
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
		for (const Corner& corner : primitive.corners) {
			for (int k = 0; k < mesh.mtxCount; ++k)
				w.out.u8(std::uint8_t(3 * corner.slot)); // matrix memory index: 3 rows per slot
			WriteIndex(w, mesh.posSize, corner.pos);
			WriteIndex(w, mesh.nrmSize, corner.nrm);
			WriteIndex(w, mesh.clrSize, corner.clr);
			for (std::size_t t = 0; t < 8; ++t)
				WriteIndex(w, mesh.texSize[t], corner.tex[t]);
		}
	}
	flushNormalLoads();
	w.out.u8(0); // end, then zero padding
	w.out.alignTo(32);
}

void WriteObject(Writer& w, const Mdl0Mesh& mesh, std::size_t index)
{
	const std::size_t d = w.at();

	// vertex descriptor: low word bit 0 position matrix, bits 1..8 texture
	// matrices, then two bits each for position, normal, colour 0, colour 1;
	// high word two bits per texture channel. 1 direct, 2 8-bit, 3 16-bit index
	const auto code = [](int width) { return std::uint32_t(width ? width + 1 : 0); };
	std::uint32_t low = (1u << mesh.mtxCount) - 1;
	low |= code(mesh.posSize) << 9 | code(mesh.nrmSize) << 11 | code(mesh.clrSize) << 13;
	std::uint32_t high = 0, texChannels = 0;
	for (std::size_t t = 0; t < 8; ++t) {
		high |= code(mesh.texSize[t]) << (2 * t);
		texChannels += mesh.texSize[t] ? 1 : 0;
	}
	const std::uint32_t xfCounts = (mesh.clrSize ? 1 : 0) | (mesh.nrmSize ? 1 : 0) << 2 | texChannels << 4;
	const auto [triangles, vertices] = Counts(mesh);

	// size (patched below), to the MDL0, node, descriptor at +0x0C, counts at
	// +0x14; declaration at +0x18 and display list at +0x24: buffer size, size
	// used, offset (patched below); +0x30 vertex format flags
	w.out.be32s({0, std::uint32_t(-int(d)), std::uint32_t(mesh.node), low, high, xfCounts,
		std::uint32_t(kDeclarationSize), 0x80, 0, 0, 0, 0, 0, 0});
	w.name(d, mesh.name); // +0x38
	w.out.be32s({std::uint32_t(index), std::uint32_t(vertices), std::uint32_t(triangles)});
	// +0x48 arrays: position, normal, colours 0 and 1, texture coordinates; fur vectors and positions
	w.out.be16s({std::uint16_t(mesh.vtxArray), std::uint16_t(mesh.nrmArray), std::uint16_t(mesh.clrArray), 0xFFFF});
	for (int uv : mesh.uvArray)
		w.out.be16(std::uint16_t(uv));
	w.out.be16s({0xFFFF, 0xFFFF});
	// matrix table: offset from D, then count and the nodes the loads name, in first-load order
	std::vector<int> nodes;
	for (const Primitive& primitive : mesh.primitives)
		if (primitive.kind == PrimitiveKind::LoadMatrix && std::count(nodes.begin(), nodes.end(), primitive.node) == 0)
			nodes.push_back(primitive.node);
	w.out.be32s({std::uint32_t(w.at() + 4 - d), std::uint32_t(nodes.size())});
	for (int node : nodes)
		w.out.be16(std::uint16_t(node));

	// vertex declaration, searched for from +0x68 by its first command
	w.zeros(std::max<std::size_t>(0x80, (w.at() - d + 31) / 32 * 32) - (w.at() - d));
	const std::size_t declaration = w.at();
	// CP: low and high vertex descriptor; XF 0x1008: colour and texture-coordinate counts
	w.out.be16s({0x0850, std::uint16_t(low >> 16), std::uint16_t(low), 0x0860, std::uint16_t(high >> 16),
		std::uint16_t(high)});
	w.out.u8(0x10);
	w.out.be16s({0, 0x1008, std::uint16_t(xfCounts >> 16), std::uint16_t(xfCounts)});
	w.zeros(declaration + kDeclarationSize - w.at());

	const std::size_t list = w.at();
	WriteDisplayList(w, mesh);
	w.out.patch32(d + 0x20, std::uint32_t(declaration - (d + 0x18)));
	w.out.patch32(d + 0x24, std::uint32_t(w.at() - list));
	w.out.patch32(d + 0x28, std::uint32_t(w.at() - list));
	w.out.patch32(d + 0x2C, std::uint32_t(list - (d + 0x24)));
	w.out.patch32(d, std::uint32_t(w.at() - d));
}

} // namespace

Primitive Quads(const std::vector<int>& indices) { return Of(PrimitiveKind::Quads, indices); }
Primitive Triangles(const std::vector<int>& indices) { return Of(PrimitiveKind::Triangles, indices); }
Primitive Strip(const std::vector<int>& indices) { return Of(PrimitiveKind::Strip, indices); }
Primitive LoadMatrix(int node, int slot) { return {PrimitiveKind::LoadMatrix, {}, node, slot}; }

Bytes BuildMDL0(const Mdl0Model& model)
{
	Writer w;
	// header: size (patched at the end), version, offset to the archive (unknown
	// here), fourteen section slots (user data last), the name
	w.out.text("MDL0");
	w.out.be32s({0, 11, 0});
	w.zeros(4 * 14);
	w.name(0, model.name);

	// info block, then its table of each node's bone (-1 for weighted nodes)
	int nodes = 0;
	for (const Mdl0Bone& bone : model.bones)
		nodes = std::max(nodes, bone.node + 1);
	for (const MixNode& mix : model.nodeMix)
		nodes = std::max(nodes, mix.node + 1);
	std::pair<std::size_t, std::size_t> counts; // faces, vertices
	for (const Mdl0Mesh& mesh : model.meshes)
		counts = {counts.first + Counts(mesh).first, counts.second + Counts(mesh).second};
	const std::size_t info = w.at();
	// size, to the MDL0, scaling rule, texture matrix mode, vertices, faces,
	// nodes, whether normal matrices are needed, the node table's offset
	w.out.be32s({0x40, std::uint32_t(-int(info)), 0, 0, std::uint32_t(counts.second), std::uint32_t(counts.first), 0,
		std::uint32_t(nodes), model.normals.empty() ? 0u : 0x01000000u, 0x40});
	w.zeros(24); // bounds
	w.out.be32(std::uint32_t(nodes));
	for (int n = 0; n < nodes; ++n) {
		const auto last = std::find_if(model.bones.rbegin(), model.bones.rend(), [n](auto& b) { return b.node == n; });
		w.out.be32(std::uint32_t(model.bones.rend() - last - 1)); // -1 for none
	}

	// index groups; empty ones leave their slot 0
	std::vector<DrawList> definitions = {{"NodeTree"}};
	if (!model.nodeMix.empty())
		definitions.push_back({"NodeMix"});
	definitions.insert(definitions.end(), model.drawLists.begin(), model.drawLists.end());
	const auto optional = [&w](std::size_t slot, const auto& entries) {
		return entries.empty() ? std::size_t(0) : w.group(slot, entries);
	};
	const std::size_t definitionGroup = w.group(kDefinitions, definitions);
	const std::size_t boneGroup = w.group(kBones, model.bones);
	const std::vector<VertexArray>* arrays[4] = {&model.positions, &model.normals, &model.colours, &model.texCoords};
	std::size_t arrayGroups[4];
	for (std::size_t kind = 0; kind < 4; ++kind)
		arrayGroups[kind] = optional(kPositions + kind, *arrays[kind]);
	const std::size_t materialGroup = optional(kMaterials, model.materials);
	const std::size_t shaderGroup = optional(kShaders, model.materials);
	const std::size_t objectGroup = optional(kObjects, model.meshes);

	// definitions' byte codes
	for (std::size_t d = 0; d < definitions.size(); ++d) {
		w.entryData(definitionGroup, d);
		if (d == 0)
			WriteNodeTree(w, model);
		else if (d == 1 && !model.nodeMix.empty())
			WriteNodeMix(w, model);
		else
			WriteDrawList(w, definitions[d]);
	}

	w.out.alignTo(4);
	const std::size_t firstBone = w.at();
	for (std::size_t b = 0; b < model.bones.size(); ++b) {
		w.entryData(boneGroup, b);
		WriteBone(w, model, b, firstBone);
	}

	for (std::size_t kind = 0; kind < 4; ++kind)
		for (std::size_t i = 0; i < arrays[kind]->size(); ++i) {
			w.out.alignTo(32);
			w.entryData(arrayGroups[kind], i);
			WriteArray(w, ArrayKind(kind), (*arrays[kind])[i], i);
		}

	// materials, then their shaders (one each)
	std::size_t shaderStart = w.at();
	for (const Mdl0Material& material : model.materials)
		shaderStart += kMaterialSize + kLayerSize * material.layers.size();
	shaderStart = (shaderStart + 31) / 32 * 32;
	for (std::size_t i = 0; i < model.materials.size(); ++i) {
		w.entryData(materialGroup, i);
		WriteMaterial(w, model.materials[i], i, shaderStart + kShaderSize * i);
	}
	for (std::size_t i = 0; i < model.materials.size(); ++i) {
		w.out.alignTo(32); // a no-op behind the first shader
		w.entryData(shaderGroup, i);
		WriteShader(w, model.materials[i], i);
	}
	for (std::size_t i = 0; i < model.meshes.size(); ++i) {
		w.out.alignTo(32);
		w.entryData(objectGroup, i);
		WriteObject(w, model.meshes[i], i);
	}

	w.writeNames();
	w.out.alignTo(32);
	w.out.patch32(4, std::uint32_t(w.at()));
	return w.out.bytes;
}

ModelArchive BuildModelArchive(const Mdl0Model& model)
{
	const std::vector<Folder> folders = {{"3DModels(NW4R)", {{model.name, BuildMDL0(model)}}}};
	return {BuildBRRES(folders), LayoutOf(folders).subFiles[0][0]};
}

} // namespace zentarra::testing
