#include "view/textures.h"

#include "texture/texture_items.h"

#include <algorithm>

namespace zentarra {

bool AutoLoadTex(const BRMDL& model, int mref, const OpenArchives& items, ArchiveFiles& files,
	const Palette* lastPalette, ModelTextures& tx)
{
	if (!model.hasMat)
		return false;
	const std::size_t slots = std::size_t(std::max(model.nMesh, 0));
	tx.images.assign(slots, RgbaImage{});
	std::vector<bool> loaded(slots, false);
	const int materials = std::min({model.nMat, model.nMesh, int(model.texName.size())});
	for (int i = 0; i < materials; ++i) {
		const std::size_t slot = std::size_t(i);
		if (model.texName[slot].empty())
			continue;
		TexImage decoded;
		const std::string palName = slot < model.palName.size() ? model.palName[slot] : "";
		if (!OpenMaterialTexture(items, model.texName[slot], palName, mref, files, lastPalette, decoded).texture)
			continue;
		RgbaImage image = ScaleToPowerOf2(RgbaImage::Of(decoded));
		const int mirror = slot < model.matMirror.size() ? model.matMirror[slot] : 0;
		if (mirror & 0x1)
			image = MirrorS(image);
		if (mirror & 0x2)
			image = MirrorT(image);
		if (image.rgba.empty())
			continue;
		tx.images[slot] = std::move(image);
		loaded[slot] = true;
	}
	tx.meshTex.assign(slots, -1);
	for (std::size_t m = 0; m < slots && m < model.meshMat.size(); ++m) {
		const int material = model.meshMat[m];
		if (material >= 0 && std::size_t(material) < slots && loaded[std::size_t(material)])
			tx.meshTex[m] = material;
	}
	tx.loaded = 1;
	++tx.generation;
	return true;
}

void ShowOnEveryMesh(const TexImage& texture, int nMesh, ModelTextures& tx)
{
	const std::size_t slots = std::size_t(std::max(nMesh, 1));
	tx.images.assign(slots, RgbaImage{});
	tx.images[0] = ScaleToPowerOf2(RgbaImage::Of(texture));
	tx.meshTex.assign(std::size_t(std::max(nMesh, 0)), 0);
	tx.loaded = 1;
	++tx.generation;
}

void ShowFlatTexture(const TexImage& texture, std::string_view name, TextureDisplay& TD)
{
	const RgbaImage image = RgbaImage::Of(texture);
	TD.pixels = image.rgba;
	TD.tex[0] = PadToPowerOf2(image);
	TD.tex[1] = AlphaAsGrey(TD.tex[0]);
	TD.width = image.width;
	TD.height = image.height;
	TD.potWidth = TD.tex[0].width;
	TD.potHeight = TD.tex[0].height;
	TD.name = name;
	TD.loaded = 1;
	++TD.texGeneration;
}

void ShowPalette(const Palette& palette, std::uint32_t count, TextureDisplay& TD)
{
	TD.palette = palette;
	TD.palTex[0] = PaletteImage(palette, count);
	TD.palTex[1] = AlphaAsGrey(TD.palTex[0]);
	TD.palLoaded = 1;
	++TD.palGeneration;
}

} // namespace zentarra
