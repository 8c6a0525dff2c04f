// Power-of-two rescaling and padding, mirror images, alpha view, palette swatch.
#include "texture/image_ops.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Texel = std::array<std::uint8_t, 4>;

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
