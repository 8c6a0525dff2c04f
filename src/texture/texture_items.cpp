#include "texture/texture_items.h"

namespace zentarra {

namespace {

// The file up to the end of the sub-file at `offset` as its size field at +4
// states it, so a count too large reads as damage rather than as the bytes of
// whatever follows; the whole file when the field is implausible.
std::span<const std::uint8_t> UpToSubFileEnd(std::span<const std::uint8_t> file, std::size_t offset)
{
	ByteView view(file);
	const std::uint32_t size = R32(view, offset + 4);
	if (view.damaged() || size < 0x40 || size > file.size() - offset)
		return file;
	return file.first(offset + size);
}

std::string SizeText(const TexImage& rec)
{
	return std::to_string(rec.width) + " x " + std::to_string(rec.height);
}

} // namespace

std::optional<std::uint32_t> LoadPaletteItem(const ItemRecord& palette, ArchiveFiles& files, TexImage& rec,
	std::string* warning)
{
	const std::vector<std::uint8_t>* bytes = files.Get(palette.path);
	if (!bytes)
		return std::nullopt;
	ByteView view(UpToSubFileEnd(*bytes, palette.offset));
	const std::uint32_t count = ReadPalette(view, palette.offset, rec);
	if (view.damaged() && warning)
		*warning = "Warning: the palette \"" + palette.name + "\" is damaged: the file ends inside its colours";
	return count;
}

TextureOpenResult DecodeTextureItem(const ItemRecord& texture, ArchiveFiles& files, TexImage& rec)
{
	const std::vector<std::uint8_t>* bytes = files.Get(texture.path);
	if (!bytes)
		return {false, std::string(kCantOpenEntryFile)};
	ByteView header(*bytes);
	ReadTextureHeader(header, texture.offset, rec);
	if (header.damaged())
		return {false, "Error: the texture \"" + texture.name + "\" is damaged: its header lies outside the file"};

	ByteView view(UpToSubFileEnd(*bytes, texture.offset));
	view.seek(header.tell());

	switch (ReadTexture(view, rec)) {
	case TexStatus::Ok:
		return {true, ""};
	case TexStatus::Truncated:
		return {true, "Warning: the texture \"" + texture.name +
				"\" is damaged: the file ends inside its image, the rest is left transparent"};
	case TexStatus::Unsupported:
		return {true, "Warning: the texture \"" + texture.name + "\" has a format this program can't decode (code " +
				std::to_string(rec.format) + "); it is left transparent"};
	case TexStatus::TooLarge:
		break;
	}
	if (std::size_t(rec.width) * std::size_t(rec.height) > kMaxTexels)
		return {false, "Error: the texture \"" + texture.name + "\" is damaged: its size (" + SizeText(rec) +
				") is above the 8192 x 8192 texels this program accepts"};
	return {false, "Error: the texture \"" + texture.name + "\" is damaged: its size (" + SizeText(rec) +
			") needs more data than the file holds"};
}

TextureOpenResult OpenTextureItem(const OpenArchives& items, const ItemRecord& texture, ArchiveFiles& files,
	const Palette* lastPalette, TexImage& rec)
{
	const std::vector<std::uint8_t>* bytes = files.Get(texture.path);
	if (!bytes)
		return {false, std::string(kCantOpenEntryFile)};
	ByteView header(*bytes);
	std::string paletteWarning;
	if (ReadTextureHeader(header, texture.offset, rec) == 0) {
		const ItemRecord* palette = items.FindItem(texture.name, ItemKind::PLT0, texture.archive);
		if (!(palette && LoadPaletteItem(*palette, files, rec, &paletteWarning))) {
			if (!lastPalette)
				return {false, std::string(kNeedsPalette)};
			rec.palette = *lastPalette;
		}
	}
	TextureOpenResult result = DecodeTextureItem(texture, files, rec);
	if (result.ok && result.message.empty())
		result.message = paletteWarning;
	return result;
}

MaterialTexture OpenMaterialTexture(const OpenArchives& items, const std::string& texName, const std::string& palName,
	int modelArchive, ArchiveFiles& files, const Palette* lastPalette, TexImage& image)
{
	const ItemRecord* texture = items.FindItem(texName, ItemKind::TEX0, modelArchive);
	if (!texture)
		return {nullptr, "no texture \"" + texName + "\" in the open archives"};
	if (!palName.empty()) {
		const ItemRecord* palette = items.FindItem(palName, ItemKind::PLT0, texture->archive);
		if (!palette)
			return {nullptr, "no palette \"" + palName + "\" in the open archives"};
		if (!LoadPaletteItem(*palette, files, image))
			return {nullptr, std::string(kCantOpenEntryFile)};
	}
	const TextureOpenResult decoded = palName.empty() ? OpenTextureItem(items, *texture, files, lastPalette, image)
													  : DecodeTextureItem(*texture, files, image);
	if (!decoded.ok && decoded.message == kNeedsPalette) {
		// no palette anywhere: the indices show as black rather than not at all
		image = TexImage{};
		if (const TextureOpenResult plain = DecodeTextureItem(*texture, files, image); !plain.ok)
			return {nullptr, plain.message};
	} else if (!decoded.ok) {
		return {nullptr, decoded.message};
	}
	return {texture, ""};
}

} // namespace zentarra
