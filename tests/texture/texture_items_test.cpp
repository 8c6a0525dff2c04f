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
using testing::BuildPLT0;
using testing::BuildTEX0;
using testing::EncodeTexels;

// A 4 x 2 CI8 texture of indices 0..7.
Bytes Ci8Texture()
{
	return BuildTEX0(kTexCI8, 4, 2, EncodeTexels(kTexCI8, 4, 2, [](int x, int y) { return std::uint32_t(x + y * 4); }));
}

// A palette whose entry i is the IA8 grey i*10 + base, opaque.
Bytes Grey(int base)
{
	std::vector<std::uint16_t> entries;
	for (int i = 0; i < 8; ++i)
		entries.push_back(std::uint16_t((i * 10 + base) << 8 | 0xFF));
	return BuildPLT0(kPaletteIA8, entries);
}

struct Opened {
	OpenArchives items;
	ArchiveFiles files;

	// Adds an archive file held in memory under that path.
	void Add(const std::string& path, Bytes bytes)
	{
		ByteView view(bytes);
		ReadBRRES(view, path, items, nullptr);
		files.Put(path, std::move(bytes));
	}
	const ItemRecord& Entry(const std::string& path, const std::string& name, ItemKind kind) const
	{
		for (const ItemRecord& item : items.items())
			if (item.path == path && item.name == name && item.kind == kind)
				return item;
		throw std::runtime_error("no entry " + name);
	}
};

std::uint8_t FirstRed(const TexImage& image, int texel)
{
	return image.data.at(std::size_t(texel) * 4);
}

TEST(OpenTextureItem, PaletteOfTheSameNameFromTheTexturesArchiveFirst)
{
	Opened opened;
	opened.Add("other.brres", BuildBRRES({{"Palettes(NW4R)", {{"sign", Grey(100)}}}}));
	opened.Add("own.brres", BuildBRRES({{"Textures(NW4R)", {{"sign", Ci8Texture()}}}, {"Palettes(NW4R)", {{"sign", Grey(1)}}}}));
	TexImage image;
	const TextureOpenResult result =
		OpenTextureItem(opened.items, opened.Entry("own.brres", "sign", ItemKind::TEX0), opened.files, nullptr, image);
	ASSERT_TRUE(result.ok) << result.message;
	EXPECT_TRUE(result.message.empty());
	EXPECT_EQ(FirstRed(image, 0), 1);
	EXPECT_EQ(FirstRed(image, 7), 71);
}

TEST(OpenTextureItem, PaletteFromAnotherArchiveThenTheLastLoaded)
{
	Opened opened;
	opened.Add("own.brres", BuildBRRES({{"Textures(NW4R)", {{"sign", Ci8Texture()}}}}));
	const ItemRecord texture = opened.Entry("own.brres", "sign", ItemKind::TEX0);

	// no palette anywhere and none loaded: refused
	TexImage image;
	TextureOpenResult result = OpenTextureItem(opened.items, texture, opened.files, nullptr, image);
	EXPECT_FALSE(result.ok);
	EXPECT_EQ(result.message, kNeedsPalette);

	// the palette the user loaded last, from whatever archive
	Palette last{};
	last[3] = 0xFF0000AA;
	image = {};
	result = OpenTextureItem(opened.items, texture, opened.files, &last, image);
	ASSERT_TRUE(result.ok) << result.message;
	EXPECT_EQ(FirstRed(image, 3), 0xAA);

	// a same-name palette in an archive opened later wins over the last loaded
	opened.Add("later.brres", BuildBRRES({{"Palettes(NW4R)", {{"sign", Grey(5)}}}}));
	image = {};
	result = OpenTextureItem(opened.items, texture, opened.files, &last, image);
	ASSERT_TRUE(result.ok) << result.message;
	EXPECT_EQ(FirstRed(image, 3), 35);
}

TEST(OpenTextureItem, UnreadableArchivesAndDamagedEntries)
{
	Opened opened;
	opened.Add("own.brres", BuildBRRES({{"Textures(NW4R)", {{"sign", Ci8Texture()}}}}));
	ItemRecord moved = opened.Entry("own.brres", "sign", ItemKind::TEX0);
	moved.path = "/nonexistent/own.brres";
	TexImage image;
	EXPECT_EQ(OpenTextureItem(opened.items, moved, opened.files, nullptr, image).message, kCantOpenEntryFile);

	// 60000 x 60000 of I8 backed by 32 bytes: refused before allocating
	Bytes huge = BuildTEX0(kTexI8, 60000, 60000, Bytes(32, 7));
	Bytes truncated = BuildTEX0(kTexI8, 16, 16, Bytes(100, 9)); // 256 bytes needed
	std::vector<std::uint16_t> entries(300, 0xFFFF);
	Bytes longPalette = BuildPLT0(kPaletteIA8, entries);
	longPalette.resize(0x40 + 40); // claims 300 entries, holds 20
	Opened damaged;
	damaged.Add("bad.brres", BuildBRRES({{"Textures(NW4R)", {{"huge", huge}, {"wide", BuildTEX0(kTexI8, 2000, 2000, Bytes(32, 7))}, {"cut", truncated}, {"sign", Ci8Texture()}}},
									   {"Palettes(NW4R)", {{"sign", longPalette}}}}));

	image = {};
	TextureOpenResult result =
		DecodeTextureItem(damaged.Entry("bad.brres", "huge", ItemKind::TEX0), damaged.files, image);
	EXPECT_FALSE(result.ok);
	EXPECT_EQ(result.message, "Error: the texture \"huge\" is damaged: its size (60000 x 60000) is above the 8192 x 8192 texels this program accepts");
	EXPECT_TRUE(image.data.empty());
	image = {};
	result = DecodeTextureItem(damaged.Entry("bad.brres", "wide", ItemKind::TEX0), damaged.files, image);
	EXPECT_FALSE(result.ok);
	EXPECT_EQ(result.message, "Error: the texture \"wide\" is damaged: its size (2000 x 2000) needs more data than the file holds");

	// backed by its data, but above the largest size accepted at all
	Opened big;
	big.Add("big.brres", BuildBRRES({{"Textures(NW4R)", {{"big", BuildTEX0(kTexI4, 8200, 8200, Bytes(8200 * 8200 / 2))}}}}));
	image = {};
	result = DecodeTextureItem(big.Entry("big.brres", "big", ItemKind::TEX0), big.files, image);
	EXPECT_FALSE(result.ok);
	EXPECT_EQ(result.message, "Error: the texture \"big\" is damaged: its size (8200 x 8200) is above the 8192 x 8192 texels this program accepts");
	EXPECT_TRUE(image.data.empty());

	image = {};
	result = DecodeTextureItem(damaged.Entry("bad.brres", "cut", ItemKind::TEX0), damaged.files, image);
	EXPECT_TRUE(result.ok);
	EXPECT_NE(result.message.find("damaged"), std::string::npos);
	EXPECT_EQ(image.data.size(), 16u * 16u * 4u);

	image = {};
	result = OpenTextureItem(damaged.items, damaged.Entry("bad.brres", "sign", ItemKind::TEX0), damaged.files, nullptr, image);
	EXPECT_TRUE(result.ok);
	EXPECT_NE(result.message.find("palette \"sign\" is damaged"), std::string::npos) << result.message;
	EXPECT_EQ(FirstRed(image, 7), 255);
}

} // namespace
} // namespace zentarra
