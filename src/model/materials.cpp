#include "model/materials.h"

#include "model/mdl0_sections.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace zentarra {

namespace {

using mdl0::DamageNotes;
using mdl0::Hex;
using mdl0::R8;

constexpr std::size_t kDrawCommandSize = 8;    // opcode 4, material, mesh, bone (16-bit), priority
constexpr std::size_t kMaterialSize = 0x1B8;   // through the T scale at +0x1B4
constexpr std::size_t kLayerFields = 0x20;     // through the T wrap mode at +0x1C
constexpr std::uint32_t kMirroredRepeat = 2;

// Runs the draw lists ("Draw…" definitions) from the last entry to the first,
// so a mesh named in two lists keeps the material of the list stored first;
// within a list the later command wins.
void ApplyDrawLists(ByteView& view, std::size_t offset, std::size_t nMat, std::vector<int>& meshMat,
	DamageNotes& notes)
{
	const std::uint32_t definitions = R32(view, offset + mdl0::kDefinitionsSlot);
	if (definitions == 0)
		return;
	const std::size_t group = offset + definitions;
	const std::size_t count = mdl0::GroupEntries(view, group, "definitions group", notes);
	// Each command fills 8 bytes of its own in a sound file; lists sharing
	// their byte code cannot multiply the work beyond that.
	std::size_t budget = view.size() / kDrawCommandSize;
	for (std::size_t i = count; i-- > 0;) {
		const std::string name = mdl0::EntryName(view, group, i, notes);
		if (!name.starts_with("Draw"))
			continue;
		for (std::size_t at = mdl0::EntryData(view, group, i);; at += kDrawCommandSize) {
			if (view.contains(at, 1) && R8(view, at) != 4)
				break;
			if (!view.contains(at, kDrawCommandSize)) {
				notes.Note("the draw list \"" + name + "\" runs into the end of the file");
				break;
			}
			if (budget == 0) {
				notes.Note("the draw lists repeat each other's commands; the rest was left out");
				return;
			}
			--budget;
			// +1 material index, +3 mesh index, +5 bone index and priority (not used)
			const std::uint16_t material = R16(view, at + 1);
			const std::uint16_t mesh = R16(view, at + 3);
			if (mesh >= meshMat.size())
				notes.Note("the draw list \"" + name + "\" names mesh " + std::to_string(mesh) + ", but the model has " +
					std::to_string(meshMat.size()) + " meshes; the command was left out");
			else if (material >= nMat && nMat == 0)
				continue; // without materials every mesh shows material 0 anyway
			else if (material >= nMat)
				notes.Note("the draw list \"" + name + "\" names material " + std::to_string(material) +
					", but the model has " + std::to_string(nMat) + " materials; the command was left out");
			else
				meshMat[mesh] = material;
		}
	}
}

// Which texture layer (0, 52 or 104 bytes from the first) holds the texture to
// show, told by the signature of the material's shader at `shader`.
std::size_t ChooseTextureLayer(ByteView& view, std::size_t shader, std::uint8_t t, std::uint8_t cull)
{
	switch (R16(view, shader + 0x8C)) {
	case 0x3C00:
		return R16(view, shader + 0x92) == 0xAECF ? 52 : 0;
	case 0x3C03: {
		const std::uint16_t value = R16(view, shader + 0x92);
		return value == 0xFFFE || value == 0xFFF8 || value == 0x2FF8 ? 52 : 0;
	}
	case 0x3C90:
		return R16(view, shader + 0x92) == 0xAFF8 ? 52 : 0;
	case 0x3C93:
		return R8(view, shader + 0x97) == 8 ? 52 : 0; // a single byte
	case 0x3D20:
		return R16(view, shader + 0x91) == 0x48AF ? 104 : 0; // odd offset: straddles two fields
	case 0x3D23: {
		const std::uint16_t value = R16(view, shader + 0x92);
		return value == 0x648F || value == 0xFFF8 ? 104 : 0;
	}
	case 0x0520:
		return R16(view, shader + 0x92) == 0x428F ? 104 : 0;
	case 0x0400:
		return t == 4 || (t == 5 && cull == 2) ? 52 : 0;
	default:
		return 0;
	}
}

// A stored scale of exactly 0 means "not scaled"; a mirrored texture is
// uploaded joined with its mirror image, so its coordinates cover half as much.
float TextureScale(float stored, bool mirrored)
{
	const float scale = stored == 0.0f ? 1.0f : stored;
	return mirrored ? scale * 0.5f : scale;
}

} // namespace

bool ReadMaterials(ByteView& file, std::size_t offset, std::uint32_t version, BRMDL& model, std::string& damage)
{
	ByteView view(file.bytes()); // a view of its own: its reads say nothing of earlier stages
	DamageNotes notes;
	const std::size_t nMesh = model.nMesh > 0 ? std::size_t(model.nMesh) : 0;
	model.meshMat.assign(nMesh, 0);
	model.meshCull.assign(nMesh, 0);
	model.hasMat = 0;
	model.nMat = 0;
	model.texName.clear();
	model.palName.clear();
	model.matMirror.clear();

	// the group's size comes first: draw-list commands are checked against it
	const std::size_t slot = (version == 8 || version == 9) ? 0x28 : 0x30;
	const std::uint32_t materials = R32(view, offset + slot);
	const std::size_t group = offset + materials;
	const std::size_t nMat = materials != 0 ? mdl0::GroupEntries(view, group, "materials group", notes) : 0;
	if (materials != 0 && nMat == 0 && nMesh > 0)
		notes.Note("the materials group holds no material; the meshes were left without one");

	ApplyDrawLists(view, offset, nMat, model.meshMat, notes);
	if (nMat == 0) {
		// no material to scale by: the coordinates stay as read
		return notes.Report(file, damage);
	}

	model.hasMat = 1;
	model.nMat = int(nMat);
	model.texName.assign(nMat, {});
	model.palName.assign(nMat, {});
	model.matMirror.assign(nMat, 0);
	std::vector<std::array<float, 2>> scales(nMat, {1.0f, 1.0f}); // S, T
	std::vector<int> culls(nMat, 0);

	for (std::size_t m = 0; m < nMat; ++m) {
		const std::size_t material = mdl0::EntryData(view, group, m);
		if (!view.contains(material, kMaterialSize)) {
			notes.Note("material " + std::to_string(m) + " lies outside the file (" + Hex(material) +
				"); its meshes were left without texture");
			continue;
		}
		// +0x14 texture-coordinate generators, +0x1B cull mode (low byte of +0x18)
		const std::uint8_t t = R8(view, material + 0x14);
		const std::uint8_t cull = R8(view, material + 0x1B);
		culls[m] = cull;
		if (t == 0)
			continue;

		// +0x28 shader, +0x30 texture layers, both relative to the material
		const std::size_t shader = material + R32(view, material + 0x28);
		if (!view.contains(shader + 0x8C, 0x0C))
			notes.Note("the shader of material " + std::to_string(m) + " lies outside the file (" + Hex(shader) +
				"); its first texture layer was taken");
		const std::size_t layer =
			material + R32(view, material + 0x30) + ChooseTextureLayer(view, shader, t, cull);
		if (!view.contains(layer, kLayerFields)) {
			notes.Note("the texture layer of material " + std::to_string(m) + " lies outside the file (" +
				Hex(layer) + "); its meshes were left without texture");
			continue;
		}
		// +0 texture name, +4 palette name (0 = none), both relative to the layer
		model.texName[m] = mdl0::NameAt(view, layer + R32(view, layer), notes);
		if (const std::uint32_t palette = R32(view, layer + 4); palette != 0)
			model.palName[m] = mdl0::NameAt(view, layer + palette, notes);
		// +0x18, +0x1C wrap modes along S and T
		const bool mirrorS = R32(view, layer + 0x18) == kMirroredRepeat;
		const bool mirrorT = R32(view, layer + 0x1C) == kMirroredRepeat;
		model.matMirror[m] = (mirrorS ? 1 : 0) | (mirrorT ? 2 : 0);
		// the first texture matrix's scales, whichever layer was chosen
		scales[m] = {TextureScale(RFloat(view, material + 0x1B0), mirrorS),
			TextureScale(RFloat(view, material + 0x1B4), mirrorT)};
	}

	// every mesh takes its material's cull byte and scales
	for (std::size_t i = 0; i < nMesh; ++i)
		model.meshCull[i] = culls[model.meshMat[i]];
	const std::size_t meshes = std::min(nMesh, model.meshTris.size());
	for (std::size_t i = 0; i < meshes; ++i) {
		const std::array<float, 2>& scale = scales[model.meshMat[i]];
		for (Triangle& triangle : model.meshTris[i])
			for (Vertex& corner : triangle.v) {
				corner.uv[0] *= scale[0];
				corner.uv[1] *= scale[1];
			}
	}

	return notes.Report(file, damage);
}

} // namespace zentarra
