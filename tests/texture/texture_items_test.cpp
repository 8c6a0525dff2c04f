// Opening texture entries: the palette search of colour-indexed textures,
// and what damaged entries report.
#include "texture/texture_items.h"

#include "archive/brres_directory.h"
#include "support/tex0_writer.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

using testing::Bytes;
using testing::BuildBRRES;
using testing::BuildTEX0;

// A 4 x 2 CI8 texture of indices 0..7.
Bytes Ci8Texture()
{
	const auto index = [](int x, int y) { return std::uint32_t(x + y * 4); };
	return BuildTEX0(kTexCI8, 4, 2, testing::EncodeTexels(kTexCI8, 4, 2, index));
}

// A palette whose entry i is the IA8 grey i*10 + base, opaque.
Bytes Grey(int base)
{
	std::vector<std::uint16_t> entries;
	for (int i = 0; i < 8; ++i)
		entries.push_back(std::uint16_t((i * 10 + base) << 8 | 0xFF));
	return testing::BuildPLT0(kPaletteIA8, entries);
}

// Archive files held in memory, listed as the viewer lists them.
struct Opened {
	OpenArchives items;
	ArchiveFiles files;

	void Add(const std::string& path, Bytes bytes)
	{
		ByteView view(bytes);
		ReadBRRES(view, path, items, nullptr);
		files.Put(path, std::move(bytes));
	}
	ItemRecord Texture(const std::string& path, const std::string& name) const
	{
		for (const ItemRecord& item : items.items())
			if (item.path == path && item.name == name && item.kind == ItemKind::TEX0)
				return item;
		throw std::runtime_error("no texture " + name);
	}
	// The red channel of texels 0, 3 and 7 of the opened texture, or its message.
	std::string Reds(const std::string& path, const Palette* last = nullptr)
	{
		TexImage image;
		const TextureOpenResult result = OpenTextureItem(items, Texture(path, "sign"), files, last, image);
		if (!result.ok)
			return result.message;
		return std::to_string(image.data[0]) + " " + std::to_string(image.data[12]) + " " + std::to_string(image.data[28]);
	}
};

TEST(OpenTextureItem, PaletteSearchOrder)
{
	const Bytes textures = BuildBRRES({{"Textures(NW4R)", {{"sign", Ci8Texture()}}}});
	// the texture's own archive first, though another was opened before it; for
	// one without, archives opened before it after those opened later
	Opened opened;
	opened.Add("other.brres", BuildBRRES({{"Palettes(NW4R)", {{"sign", Grey(100)}}}}));
	opened.Add("own.brres",
		BuildBRRES({{"Textures(NW4R)", {{"sign", Ci8Texture()}}}, {"Palettes(NW4R)", {{"sign", Grey(1)}}}}));
	opened.Add("bare.brres", textures);
	EXPECT_EQ(opened.Reds("own.brres"), "1 31 71");
	EXPECT_EQ(opened.Reds("bare.brres"), "100 130 170");

	// none anywhere: the palette loaded last, from whatever archive, or a refusal
	Opened bare;
	bare.Add("bare.brres", textures);
	EXPECT_EQ(bare.Reds("bare.brres"), kNeedsPalette);
	Palette last{};
	last[3] = 0xFF0000AA;
	EXPECT_EQ(bare.Reds("bare.brres", &last), "0 170 0");
	// a same-name palette in an archive opened later wins over the last loaded
	bare.Add("later.brres", BuildBRRES({{"Palettes(NW4R)", {{"sign", Grey(5)}}}}));
	EXPECT_EQ(bare.Reds("bare.brres", &last), "5 35 75");
}

TEST(OpenTextureItem, UnreadableArchivesAndDamagedEntries)
{
	Bytes longPalette = testing::BuildPLT0(kPaletteIA8, std::vector<std::uint16_t>(300, 0xFFFF));
	longPalette.resize(0x40 + 40); // claims 300 entries, holds 20
	// backed by its data, but above the largest size accepted at all
	const Bytes big = BuildTEX0(kTexI4, 8200, 8200, Bytes(8200 * 8200 / 2));
	Opened opened;
	const Bytes wide = BuildTEX0(kTexI8, 2000, 2000, Bytes(32)), cut = BuildTEX0(kTexI8, 16, 16, Bytes(100, 9));
	const testing::Folder folder = {"Textures(NW4R)", {{"big", big}, {"wide", wide}, {"cut", cut}, {"sign", Ci8Texture()}}};
	opened.Add("bad.brres", BuildBRRES({folder, {"Palettes(NW4R)", {{"sign", longPalette}}}}));
	const std::string error = "Error: the texture ";
	const std::tuple<const char*, bool, std::string, std::size_t> cases[] = {// name, ok, message part, texel bytes
		{"big", false, error + "\"big\" is damaged: its size (8200 x 8200) is above the 8192 x 8192 texels", 0},
		{"wide", false, error + "\"wide\" is damaged: its size (2000 x 2000) needs more data than the file holds", 0},
		{"cut", true, "the file ends inside its image", 16 * 16 * 4}}; // 256 bytes needed
	for (const auto& [name, ok, message, size] : cases) {
		TexImage image;
		const TextureOpenResult result = DecodeTextureItem(opened.Texture("bad.brres", name), opened.files, image);
		EXPECT_EQ(result.ok, ok) << name;
		EXPECT_NE(result.message.find(message), std::string::npos) << result.message;
		EXPECT_EQ(image.data.size(), size) << name;
	}
	TexImage image;
	const TextureOpenResult damaged =
		OpenTextureItem(opened.items, opened.Texture("bad.brres", "sign"), opened.files, nullptr, image);
	EXPECT_TRUE(damaged.ok);
	EXPECT_NE(damaged.message.find("palette \"sign\" is damaged"), std::string::npos) << damaged.message;
	EXPECT_EQ(image.data[28], 255); // entry 7 is among those the file holds
}

} // namespace
} // namespace zentarra
