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

		TexImage image;
		const std::string palName = std::size_t(i) < model.palName.size() ? model.palName[std::size_t(i)] : "";
		const MaterialTexture found =
			OpenMaterialTexture(items, texName, palName, modelArchive, files, lastPalette, image);
		if (!found.texture) {
			line.reason = found.reason;
			continue;
		}
		const ItemRecord* texture = found.texture;

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
