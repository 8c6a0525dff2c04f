#include "export/auto_export.h"

#include "export/obj.h"
#include "base/file_io.h"
#include "export/png.h"
#include "export/tga.h"
#include "texture/texture_items.h"

#include <algorithm>

namespace zentarra {

MaterialTexture DecodeMaterialTexture(const BRMDL& model, int material, int modelArchive, const OpenArchives& items,
	ArchiveFiles& files, const Palette* lastPalette)
{
	MaterialTexture out;
	const std::size_t i = std::size_t(material);
	const std::string texName = i < model.texName.size() ? model.texName[i] : "";
	if (texName.empty()) {
		out.reason = "the material names no texture";
		return out;
	}
	const ItemRecord* texture = items.FindItem(texName, ItemKind::TEX0, modelArchive);
	if (!texture) {
		out.reason = "no texture \"" + texName + "\" in the open archives";
		return out;
	}
	TexImage& image = out.image;
	const std::string palName = i < model.palName.size() ? model.palName[i] : "";
	if (!palName.empty()) {
		const ItemRecord* palette = items.FindItem(palName, ItemKind::PLT0, texture->archive);
		if (!palette) {
			out.reason = "no palette \"" + palName + "\" in the open archives";
			return out;
		}
		if (!LoadPaletteItem(*palette, files, image)) {
			out.reason = std::string(kCantOpenEntryFile);
			return out;
		}
	}
	const TextureOpenResult decoded = palName.empty()
		? OpenTextureItem(items, *texture, files, lastPalette, image)
		: DecodeTextureItem(*texture, files, image);
	if (!decoded.ok && decoded.message == kNeedsPalette) {
		// no palette anywhere: the indices show as black rather than not at all
		image = TexImage{};
		if (const TextureOpenResult plain = DecodeTextureItem(*texture, files, image); !plain.ok) {
			out.reason = plain.message;
			return out;
		}
	} else if (!decoded.ok) {
		out.reason = decoded.message;
		return out;
	}
	out.ok = true;
	out.texture = texture;
	return out;
}

std::vector<TextureExport> PlanAutoExport(const BRMDL& model, int modelArchive, const OpenArchives& items,
	ArchiveFiles& files, std::string_view folder, const Palette* lastPalette)
{
	std::vector<TextureExport> report;
	if (!model.hasMat)
		return report;
	const int materials = std::min({model.nMat, model.nMesh, int(model.texName.size())});
	for (int i = 0; i < materials; ++i) {
		const std::string& texName = model.texName[std::size_t(i)];
		if (texName.empty())
			continue;
		TextureExport& line = report.emplace_back();
		line.material = i;
		line.texture = texName;

		MaterialTexture found = DecodeMaterialTexture(model, i, modelArchive, items, files, lastPalette);
		if (!found.ok) {
			line.reason = std::move(found.reason);
			continue;
		}
		const ItemRecord* texture = found.texture;
		const TexImage& image = found.image;
		line.path = AutoExportPath(folder, texture->name, ".tga").string();
		if (!WriteTGA(line.bytes, image.width, image.height, image.data)) {
			line.reason = "the texture \"" + texName + "\" has no image to write";
			continue;
		}
		line.outcome = TextureExport::Outcome::Written;
	}
	return report;
}

void WritePlannedTextures(std::vector<TextureExport>& lines, int overwrite)
{
	for (TextureExport& line : lines) {
		if (line.outcome != TextureExport::Outcome::Written)
			continue;
		if (KeepExistingFile(line.path, overwrite)) {
			line.outcome = TextureExport::Outcome::KeptExisting;
		} else if (!WriteFileAtomically(line.path, line.bytes)) {
			line.outcome = TextureExport::Outcome::Failed;
			line.reason = std::string(kCantWriteFile);
		}
		line.bytes = {};
	}
}

std::vector<TextureExport> AutoExport(const BRMDL& model, int modelArchive, const OpenArchives& items,
	ArchiveFiles& files, std::string_view folder, int overwrite, const Palette* lastPalette)
{
	std::vector<TextureExport> lines = PlanAutoExport(model, modelArchive, items, files, folder, lastPalette);
	WritePlannedTextures(lines, overwrite);
	return lines;
}

} // namespace zentarra
