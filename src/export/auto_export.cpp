#include "export/auto_export.h"

#include "export/obj.h"
#include "base/file_io.h"
#include "export/png.h"
#include "export/tga.h"
#include "texture/texture_items.h"

#include <algorithm>

namespace zentarra {

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

		const ItemRecord* texture = items.FindItem(texName, ItemKind::TEX0, modelArchive);
		if (!texture) {
			line.reason = "no texture \"" + texName + "\" in the open archives";
			continue;
		}
		TexImage image;
		const std::string palName = std::size_t(i) < model.palName.size() ? model.palName[std::size_t(i)] : "";
		if (!palName.empty()) {
			const ItemRecord* palette = items.FindItem(palName, ItemKind::PLT0, texture->archive);
			if (!palette) {
				line.reason = "no palette \"" + palName + "\" in the open archives";
				continue;
			}
			if (!LoadPaletteItem(*palette, files, image)) {
				line.reason = std::string(kCantOpenEntryFile);
				continue;
			}
		}
		const TextureOpenResult decoded = palName.empty()
			? OpenTextureItem(items, *texture, files, lastPalette, image)
			: DecodeTextureItem(*texture, files, image);
		if (!decoded.ok && decoded.message == kNeedsPalette) {
			// no palette anywhere: the indices show as black rather than not at all
			image = TexImage{};
			if (const TextureOpenResult plain = DecodeTextureItem(*texture, files, image); !plain.ok) {
				line.reason = plain.message;
				continue;
			}
		} else if (!decoded.ok) {
			line.reason = decoded.message;
			continue;
		}

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
