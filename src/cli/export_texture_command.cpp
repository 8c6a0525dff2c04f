#include "cli/export_texture_command.h"

#include "base/file_io.h"
#include "cli/archive_entries.h"
#include "export/obj.h"
#include "export/png.h"
#include "export/tga.h"
#include "texture/texture_items.h"

namespace zentarra::cli {

namespace {

int Fail(std::string_view message, std::ostream& err)
{
	err << message << '\n';
	return 1;
}

} // namespace

int RunExportTexture(const ExportTextureOptions& options, std::ostream& err)
{
	OpenedArchive archive = OpenArchive(options.archive);
	if (!archive.error.empty())
		return Fail(archive.error, err);
	const std::vector<Entry> textures = Entries(archive.items, ItemKind::TEX0);
	const FoundEntry texture = FindEntry(textures, options.texture, "texture");
	if (!texture.entry)
		return Fail(texture.error, err);
	const std::vector<Entry> palettes = Entries(archive.items, ItemKind::PLT0);
	FoundEntry palette;
	if (!options.palette.empty()) {
		palette = FindEntry(palettes, options.palette, "palette");
		if (!palette.entry)
			return Fail(palette.error, err);
	}

	ArchiveFiles files;
	files.Put(archive.path, std::move(archive.bytes));
	TexImage image;
	TextureOpenResult opened;
	if (palette.entry) {
		// a palette the user names wins over the one of the texture's own name
		std::string warning;
		if (!LoadPaletteItem(palette.entry->item, files, image, &warning))
			return Fail(kCantOpenEntryFile, err);
		if (!warning.empty())
			err << warning << '\n';
		opened = DecodeTextureItem(texture.entry->item, files, image);
	} else {
		opened = OpenTextureItem(archive.items, texture.entry->item, files, nullptr, image);
	}
	if (!opened.ok)
		return Fail(opened.message, err);
	if (!opened.message.empty())
		err << opened.message << '\n';

	std::vector<std::uint8_t> bytes;
	const bool encoded = options.format == "png" ? WritePNG(bytes, image.width, image.height, image.data)
												 : WriteTGA(bytes, image.width, image.height, image.data);
	if (!encoded)
		return Fail("Error: the texture \"" + texture.entry->item.name + "\" has no image to write", err);
	if (!WriteFileAtomically(options.output, bytes))
		return Fail(kCantWriteFile, err);
	return 0;
}

} // namespace zentarra::cli
