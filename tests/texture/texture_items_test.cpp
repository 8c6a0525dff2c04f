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
	// the texture's own archive first, though another was opened before it
	Opened own;
	own.Add("other.brres", BuildBRRES({{"Palettes(NW4R)", {{"sign", Grey(100)}}}}));
	own.Add("own.brres",
		BuildBRRES({{"Textures(NW4R)", {{"sign", Ci8Texture()}}}, {"Palettes(NW4R)", {{"sign", Grey(1)}}}}));
	EXPECT_EQ(own.Reds("own.brres"), "1 31 71");
	// archives opened before it after those opened later
	Opened wrapped;
	wrapped.Add("other.brres", BuildBRRES({{"Palettes(NW4R)", {{"sign", Grey(100)}}}}));
	wrapped.Add("bare.brres", textures);
	EXPECT_EQ(wrapped.Reds("bare.brres"), "100 130 170");

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
	std::vector<std::uint16_t> entries(300, 0xFFFF);
	Bytes longPalette = testing::BuildPLT0(kPaletteIA8, entries);
	longPalette.resize(0x40 + 40); // claims 300 entries, holds 20
	Opened opened;
	opened.Add("bad.brres", BuildBRRES({{"Textures(NW4R)",
										   {{"huge", BuildTEX0(kTexI8, 60000, 60000, Bytes(32, 7))},
											   {"wide", BuildTEX0(kTexI8, 2000, 2000, Bytes(32, 7))},
											   {"cut", BuildTEX0(kTexI8, 16, 16, Bytes(100, 9))}, // 256 bytes needed
											   {"sign", Ci8Texture()}}},
									{"Palettes(NW4R)", {{"sign", longPalette}}}}));
	// backed by its data, but above the largest size accepted at all
	const Bytes big = BuildTEX0(kTexI4, 8200, 8200, Bytes(8200 * 8200 / 2));
	opened.Add("big.brres", BuildBRRES({{"Textures(NW4R)", {{"big", big}}}}));
	const std::string error = "Error: the texture ", above = "is above the 8192 x 8192 texels this program accepts";
	const struct {
		const char* path;
		const char* name;
		bool ok;
		std::string message;
		std::size_t dataSize;
	} cases[] = {
		{"bad.brres", "huge", false, error + "\"huge\" is damaged: its size (60000 x 60000) " + above, 0},
		{"bad.brres", "wide", false, error + "\"wide\" is damaged: its size (2000 x 2000) needs more data than the file holds",
			0},
		{"big.brres", "big", false, error + "\"big\" is damaged: its size (8200 x 8200) " + above, 0},
		{"bad.brres", "cut", true, "damaged", 16 * 16 * 4},
	};
	for (const auto& c : cases) {
		TexImage image;
		const TextureOpenResult result = DecodeTextureItem(opened.Texture(c.path, c.name), opened.files, image);
		EXPECT_EQ(result.ok, c.ok) << c.name;
		EXPECT_NE(result.message.find(c.message), std::string::npos) << result.message;
		EXPECT_EQ(image.data.size(), c.dataSize) << c.name;
	}
	TexImage image;
	const TextureOpenResult damaged =
		OpenTextureItem(opened.items, opened.Texture("bad.brres", "sign"), opened.files, nullptr, image);
	EXPECT_TRUE(damaged.ok);
	EXPECT_NE(damaged.message.find("palette \"sign\" is damaged"), std::string::npos) << damaged.message;
	EXPECT_EQ(image.data[28], 255); // entry 7 is among those the file holds

	ItemRecord moved = opened.Texture("bad.brres", "sign");
	moved.path = "/nonexistent/own.brres";
	EXPECT_EQ(OpenTextureItem(opened.items, moved, opened.files, nullptr, image).message, kCantOpenEntryFile);
}

} // namespace
} // namespace zentarra
