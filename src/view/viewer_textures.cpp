// The viewer's texture commands: the model's textures, the texture and
// palette views, and the texture exports that ask for a file name.
#include "view/viewer.h"

#include "base/file_io.h"
#include "export/obj.h"
#include "export/png.h"
#include "export/tga.h"
#include "texture/texture_items.h"
#include "view/input.h"

namespace zentarra {

inline constexpr std::string_view kNoModelForTexture = "Error: no model has been loaded";

const Palette* Viewer::LastPalette() const
{
	return state_.TD.palLoaded ? &state_.TD.palette : nullptr;
}

Refresh Viewer::AutoLoadTex()
{
	ArchiveFiles files;
	zentarra::AutoLoadTex(state_.model.MD, state_.model.mref, items_, files, LastPalette(), state_.tx);
	return kTextureImages | kRedraw;
}

const ItemRecord* Viewer::TextureEntry(int itemId, ItemKind kind) const
{
	const ItemRecord* item = items_.GetItem(itemId);
	return item && item->kind == kind ? item : nullptr;
}

bool Viewer::DecodeTexture(const ItemRecord& item, ArchiveFiles& files, TexImage& rec)
{
	const TextureOpenResult result = OpenTextureItem(items_, item, files, LastPalette(), rec);
	if (!result.ok) {
		Message(result.message, result.message == kNeedsPalette ? MessageIcon::Error : MessageIcon::Warning);
		return false;
	}
	if (!result.message.empty())
		Message(result.message, MessageIcon::Warning);
	return true;
}

Refresh Viewer::LoadTexOnModel(int itemId)
{
	const ItemRecord* item = TextureEntry(itemId, ItemKind::TEX0);
	if (!item)
		return kRefreshNone;
	if (state_.model.MD.nMesh == 0) {
		Message(kNoModelForTexture, MessageIcon::Warning);
		return kRefreshNone;
	}
	ArchiveFiles files;
	TexImage rec;
	if (!DecodeTexture(*item, files, rec))
		return kRefreshNone;
	ShowOnEveryMesh(rec, state_.model.MD.nMesh, state_.tx);
	state_.MV.flags |= kTextures;
	return SetView(state_, kModelView) | kTextureImages;
}

Refresh Viewer::LoadFlatTex(int itemId)
{
	const ItemRecord* item = TextureEntry(itemId, ItemKind::TEX0);
	if (!item)
		return kRefreshNone;
	Title(1);
	ArchiveFiles files;
	TexImage rec;
	const bool decoded = DecodeTexture(*item, files, rec);
	if (decoded) {
		ShowFlatTexture(rec, item->name, state_.TD);
		ResetTextureView();
		state_.textureMenuEnabled = true;
	}
	Title(0);
	if (!decoded)
		return kTitle;
	return SetView(state_, kTextureView) | kTextureImages | kTitle;
}

Refresh Viewer::LoadPalette(int itemId)
{
	const ItemRecord* item = TextureEntry(itemId, ItemKind::PLT0);
	if (!item)
		return kRefreshNone;
	ArchiveFiles files;
	if (!files.Get(item->path)) {
		Message(kCantOpenEntryFile, MessageIcon::Warning);
		return kRefreshNone;
	}
	Title(1);
	TexImage work;
	std::string warning;
	const std::optional<std::uint32_t> count = LoadPaletteItem(*item, files, work, &warning);
	if (!warning.empty())
		Message(warning, MessageIcon::Warning);
	ShowPalette(work.palette, count.value_or(0), state_.TD);
	ResetTextureView();
	state_.textureMenuEnabled = true;
	Title(0);
	return SetView(state_, kPaletteView) | kTextureImages | kTitle;
}

void Viewer::ResetTextureView()
{
	state_.TV.zoom = 1.0f;
	state_.TV.panX = state_.TV.panY = 0;
}

Refresh Viewer::ExportTextureItem(int itemId, int format)
{
	const ItemRecord* item = TextureEntry(itemId, ItemKind::TEX0);
	if (!item)
		return kRefreshNone;
	ArchiveFiles files;
	TexImage rec;
	if (!DecodeTexture(*item, files, rec))
		return kRefreshNone;
	return ExportImage(rec.width, rec.height, rec.data, item->name, format);
}

Refresh Viewer::ExportShownTexture(int format)
{
	Refresh refresh = SetView(state_, kTextureView);
	const TextureDisplay& TD = state_.TD;
	if (TD.loaded)
		refresh |= ExportImage(TD.width, TD.height, TD.pixels, TD.name, format);
	return refresh;
}

Refresh Viewer::ExportImage(int width, int height, std::span<const std::uint8_t> rgba, const std::string& name,
	int format)
{
	const std::string_view extension = format == 0 ? "png" : "tga";
	const std::optional<std::string> path = GetSaveFile(name, extension);
	if (!path)
		return kRefreshNone;
	Title(2);
	std::vector<std::uint8_t> bytes;
	const bool encoded = format == 0 ? WritePNG(bytes, width, height, rgba) : WriteTGA(bytes, width, height, rgba);
	if (!encoded || !WriteFileAtomically(*path, bytes))
		Message(kCantWriteFile, MessageIcon::Warning, MessageOwner::ActiveWindow);
	Title(0);
	return kTitle;
}

} // namespace zentarra
