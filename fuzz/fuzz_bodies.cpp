#include "fuzz_bodies.h"

#include "anim/pose.h"
#include "anim/skinning.h"
#include "archive/archive_files.h"
#include "archive/brres_directory.h"
#include "archive/open_files.h"
#include "export/md5.h"
#include "export/obj.h"
#include "export/psk.h"
#include "export/png.h"
#include "export/tga.h"
#include "model/mdl0_reader.h"
#include "texture/image_ops.h"
#include "texture/texture_items.h"

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

namespace zentarra::fuzz {

namespace {

// More entries than this per input only repeat the same paths slower.
constexpr int kEntriesPerInput = 8;

// PNG's level 9 compression of a large image takes longer than a fuzzer
// should spend on one input; the encoder is the same for every size.
constexpr std::size_t kMaxPngTexels = 256 * 256;

struct Scanned {
	std::span<const std::uint8_t> bytes;
	OpenArchives items;
};

Scanned Scan(const std::uint8_t* data, std::size_t size)
{
	Scanned scanned{{data, size}, {}};
	ByteView view(scanned.bytes);
	ReadBRRES(view, "fuzz.brres", scanned.items, nullptr);
	return scanned;
}

template <typename Visit>
void ForEachEntry(const OpenArchives& items, ItemKind kind, Visit visit)
{
	int visited = 0;
	for (const ItemRecord& item : items.items())
		if (item.kind == kind && visited++ < kEntriesPerInput)
			visit(item);
}

// Keeps what the bodies compute from being optimised away, and makes the
// sanitizers see every value used.
volatile float sink;

} // namespace

void FuzzArchive(const std::uint8_t* data, std::size_t size)
{
	Scanned scanned = Scan(data, size);
	OpenArchives& items = scanned.items;
	// a lookup per material, as model loading does; one per item would make a
	// file of many thousand items (the scan takes them in linear time) quadratic
	const std::size_t lookups = std::min<std::size_t>(items.items().size(), 64);
	for (std::size_t i = 0; i < lookups; ++i) {
		const ItemRecord& item = items.items()[items.items().size() - 1 - i];
		items.FindItem(item.name, item.kind, item.archive);
	}
	if (const ItemRecord* last = items.GetLastItem())
		items.DeleteItemsFromFile(last->archive);
	items.ResetIds();
}

void FuzzModel(const std::uint8_t* data, std::size_t size)
{
	const Scanned scanned = Scan(data, size);
	auto model = std::make_unique<LoadedModel>();
	ForEachEntry(scanned.items, ItemKind::MDL0, [&](const ItemRecord& item) {
		ByteView view(scanned.bytes);
		if (!ReadModel(view, item.offset, item.name, *model).ok)
			return;
		RecalculateModel(model->MD, model->nodelist, model->anim);
		sink = CalcRadMax(model->MD);
		sink = float(ExportToOBJ(model->MD, model->names, item.name, true).size());
		sink = float(ExportToPSK(*model, false).bytes.size());
		sink = float(ExportToMD5(*model, true).size());
		sink = float(MtlText(model->MD).size());
	});
}

void FuzzTexture(const std::uint8_t* data, std::size_t size)
{
	const Scanned scanned = Scan(data, size);
	ArchiveFiles files;
	files.Put("fuzz.brres", std::vector<std::uint8_t>(data, data + size));
	Palette lastPalette{};
	bool paletteLoaded = false;
	ForEachEntry(scanned.items, ItemKind::PLT0, [&](const ItemRecord& item) {
		TexImage record;
		if (const auto count = LoadPaletteItem(item, files, record)) {
			lastPalette = record.palette;
			paletteLoaded = true;
			sink = float(PaletteImage(record.palette, *count).rgba.size());
		}
	});
	ForEachEntry(scanned.items, ItemKind::TEX0, [&](const ItemRecord& item) {
		TexImage image;
		if (!OpenTextureItem(scanned.items, item, files, paletteLoaded ? &lastPalette : nullptr, image).ok)
			return;
		std::vector<std::uint8_t> out;
		WriteTGA(out, image.width, image.height, image.data);
		const std::size_t texels = std::size_t(image.width) * std::size_t(image.height);
		if (texels <= kMaxPngTexels) {
			WritePNG(out, image.width, image.height, image.data);
			const RgbaImage rgba = RgbaImage::Of(image);
			sink = float(MirrorT(MirrorS(ScaleToPowerOf2(rgba))).rgba.size());
			sink = float(AlphaAsGrey(PadToPowerOf2(rgba)).rgba.size());
		}
		sink = float(out.size());
	});
}

void FuzzContainers(const std::uint8_t* data, std::size_t size)
{
	const std::span<const std::uint8_t> bytes(data, size);
	OpenArchives items;
	OpenArchiveBytes({bytes.begin(), bytes.end()}, "fuzz.szs", "", items, nullptr, {});
	for (const ItemRecord& item : items.items())
		sink = float(item.offset + item.inner.size());
	std::vector<std::string> warnings;
	for (const UnpackedFile& file : UnpackContainer(bytes, "fuzz", warnings))
		sink = float(file.bytes.size() + file.path.size());
}

} // namespace zentarra::fuzz
