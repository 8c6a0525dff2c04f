// A model's textures and palettes found in the open archives, then padded or
// rescaled to powers of two and mirrored; the alpha view and palette swatch.
#include "texture/texture_items.h"
#include "archive/brres_directory.h"
#include "support/tex0_writer.h"
#include "texture/image_ops.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

using testing::Bytes;
using testing::BuildBRRES;
using testing::BuildTEX0;
using Texel = std::array<std::uint8_t, 4>;

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

RgbaImage Make(int width, int height, const std::function<Texel(int, int)>& texel)
{
	RgbaImage image{width, height, {}};
	for (int y = 0; y < height; ++y)
		for (int x = 0; x < width; ++x) {
			const Texel t = texel(x, y);
			image.rgba.insert(image.rgba.end(), t.begin(), t.end());
		}
	return image;
}

// A distinct colour per texel, so any misplaced texel shows.
Texel Coded(int x, int y)
{
	return {std::uint8_t(x), std::uint8_t(y), std::uint8_t(x * 7 + y * 13), std::uint8_t(255 - x)};
}

// The image `texel(x, y)` describes, at that size.
void ExpectImage(const RgbaImage& image, int width, int height, const std::function<Texel(int, int)>& texel)
{
	ASSERT_EQ(image.width, width);
	ASSERT_EQ(image.height, height);
	EXPECT_TRUE(image.rgba == Make(width, height, texel).rgba);
}

TEST(ImageScale, BoxFilterWeightsWrapsAroundTheEdgesAndRounds)
{
	// 2 -> 4 across: each output texel covers one input texel's width centred on
	// its own, and the footprints at the edges wrap to the far side: 0.75 x 0 +
	// 0.25 x 65535 = 16384 -> 64; 0.75 x 65535 -> 49151 -> 191
	const RgbaImage wide =
		ScaleImage(Make(2, 1, [](int x, int) { return Texel{std::uint8_t(x ? 255 : 0), 0, 0, 255}; }), 4, 1);
	ExpectImage(wide, 4, 1, [](int x, int) { return Texel{std::uint8_t(x < 2 ? 64 : 191), 0, 0, 255}; });
	// 16-bit: (0 + 257 + 514 + 771 + 2) / 4 = 386 -> 1; alpha (0 + 0 + 257 + 257 + 2) / 4 = 129 -> 0
	const RgbaImage half =
		ScaleImage(Make(2, 2, [](int x, int y) { return Texel{std::uint8_t(x + y * 2), 255, 0, std::uint8_t(y)}; }), 1, 1);
	ExpectImage(half, 1, 1, [](int, int) { return Texel{1, 255, 0, 0}; });

	const auto flat = [](int, int) { return Texel{10, 200, 30, 128}; };
	ExpectImage(ScaleToPowerOf2(Make(48, 20, flat)), 64, 32, flat);
	ExpectImage(ScaleToPowerOf2(Make(16, 8, Coded)), 16, 8, Coded);
	EXPECT_TRUE(ScaleImage(RgbaImage{}, 4, 4).rgba.empty());
	EXPECT_TRUE(ScaleImage(Make(16, 8, Coded), 0, 4).rgba.empty());
}

TEST(ImageMirror, PaddedAtTopLeftMirroredIntoFourQuadrantsAlphaAsGreyAndPaletteSwatch)
{
	ExpectImage(PadToPowerOf2(Make(48, 20, Coded)), 64, 32,
		[](int x, int y) { return x < 48 && y < 20 ? Coded(x, y) : Texel{0, 0, 0, 0}; });
	ExpectImage(MirrorT(MirrorS(Make(64, 64, Coded))), 128, 128,
		[](int x, int y) { return Coded(x < 64 ? x : 127 - x, y < 64 ? y : 127 - y); });
	ExpectImage(AlphaAsGrey(Make(3, 2, Coded)), 3, 2, [](int x, int y) {
		const std::uint8_t a = Coded(x, y)[3];
		return Texel{a, a, a, a};
	});

	Palette palette{};
	for (std::size_t k = 0; k < palette.size(); ++k)
		palette[k] = 0xFF000000u | std::uint32_t(k) << 8 | 7; // R 7, G k, B 0, A 255
	// the first `count` entries, 16 a row; a count above 256 shows all 256
	for (const std::uint32_t count : {16u, 1000u})
		ExpectImage(PaletteImage(palette, count), 16, 16, [count](int x, int y) {
			return std::uint32_t(y * 16 + x) < count ? Texel{7, std::uint8_t(y * 16 + x), 0, 255} : Texel{0, 0, 0, 0};
		});
}

} // namespace
} // namespace zentarra
