// Decoding a TEX0 or PLT0 entry of the open archives, with the palette search
// that colour-indexed textures need.
#pragma once

#include "archive/archive_files.h"
#include "archive/items.h"
#include "texture/tex0.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zentarra {

inline constexpr std::string_view kNeedsPalette = "Error: this texture requires a palette and no palette has been loaded.";

struct TextureOpenResult {
	bool ok = false;
	std::string message; // on failure the error to show; on success a warning, or empty
};

// Reads the PLT0 entry into rec.palette (see ReadPalette). The entry count
// as stored, or nothing when the entry's archive cannot be read.
std::optional<std::uint32_t> LoadPaletteItem(const ItemRecord& palette, ArchiveFiles& files, TexImage& rec,
	std::string* warning = nullptr);

// Decodes the TEX0 entry into rec with the palette rec already holds.
// Fails when the archive cannot be read or the image is refused as too
// large for its data; a truncated image or an undecodable format succeeds
// with a warning.
TextureOpenResult DecodeTextureItem(const ItemRecord& texture, ArchiveFiles& files, TexImage& rec);

// DecodeTextureItem with the palette a CI4 or CI8 texture needs: the PLT0
// entry of the texture's own name, searched from the texture's archive on;
// else `lastPalette`, the palette the user last loaded (null when none); else
// the failure kNeedsPalette.
TextureOpenResult OpenTextureItem(const OpenArchives& items, const ItemRecord& texture, ArchiveFiles& files,
	const Palette* lastPalette, TexImage& rec);

// The texture a model's material names, decoded as the viewer shows it and
// the exports write it: the TEX0 entry of that name from the archive with id
// `modelArchive` on; the material's palette from the texture's archive on;
// a colour-indexed texture whose material names no palette takes the PLT0 of
// its own name, else `lastPalette` (null when none), else stays black.
// `texture` is the entry decoded, or null with `reason` saying why not.
struct MaterialTexture {
	const ItemRecord* texture = nullptr;
	std::string reason;
};
MaterialTexture OpenMaterialTexture(const OpenArchives& items, const std::string& texName, const std::string& palName,
	int modelArchive, ArchiveFiles& files, const Palette* lastPalette, TexImage& image);

} // namespace zentarra
