// Exporting the textures a model's materials name, as TGA files beside the
// model's own files (the names the MTL and MD5 files refer to).
#pragma once

#include "archive/archive_files.h"
#include "archive/items.h"
#include "model/model.h"
#include "texture/tex0.h"

#include <string>
#include <string_view>
#include <vector>

namespace zentarra {

struct TextureExport {
	enum class Outcome {
		Written,
		KeptExisting, // the file existed and overwriting was off
		Skipped,      // texture or palette missing, or the texture could not be decoded
		Failed,       // the file could not be written
	};
	int material = 0;
	std::string texture; // the material's texture name
	std::string path;    // the file written or kept; empty when skipped
	Outcome outcome = Outcome::Skipped;
	std::string reason;  // why it was skipped or failed
	std::vector<std::uint8_t> bytes; // the TGA file, while planned and not yet written
};

// The texture of material i, found and decoded as AutoExport finds it; on
// failure, the reason it would be skipped.
struct MaterialTexture {
	bool ok = false;
	std::string reason;
	const ItemRecord* texture = nullptr; // the TEX0 entry, when ok
	TexImage image;
};
MaterialTexture DecodeMaterialTexture(const BRMDL& model, int material, int modelArchive, const OpenArchives& items,
	ArchiveFiles& files, const Palette* lastPalette = nullptr);

// For each material i below both the material and the mesh count that names
// a texture: finds the TEX0 entry of that name from the archive with id
// `modelArchive` on, and the material's palette from the texture's archive
// on, decodes it and writes folder + name + ".tga" (folder ends with its
// separator). A material naming a missing texture or palette is skipped.
// A colour-indexed texture whose material names no palette takes the PLT0 of
// its own name, else `lastPalette` (null when none), else stays black.
// Nothing happens for a model without materials.
std::vector<TextureExport> AutoExport(const BRMDL& model, int modelArchive, const OpenArchives& items,
	ArchiveFiles& files, std::string_view folder, int overwrite, const Palette* lastPalette = nullptr);

// AutoExport in two steps, so the decoding can run apart from the writing:
// the first finds, decodes and encodes every texture, leaving each line to
// be written with its path and bytes (outcome Written) or Skipped; the
// second writes the lines in order with the overwrite rule and sets their
// final outcome.
std::vector<TextureExport> PlanAutoExport(const BRMDL& model, int modelArchive, const OpenArchives& items,
	ArchiveFiles& files, std::string_view folder, const Palette* lastPalette = nullptr);
void WritePlannedTextures(std::vector<TextureExport>& lines, int overwrite);

} // namespace zentarra
