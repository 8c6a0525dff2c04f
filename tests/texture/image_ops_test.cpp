// Power-of-two rescaling and padding, mirror images, alpha view, palette swatch.
#include "texture/image_ops.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

using Bytes = std::vector<std::uint8_t>;

RgbaImage Make(int width, int height, const std::function<std::array<std::uint8_t, 4>(int, int)>& texel)
{
	RgbaImage image;
	image.width = width;
	image.height = height;
	for (int y = 0; y < height; ++y)
		for (int x = 0; x < width; ++x) {
			const auto t = texel(x, y);
			image.rgba.insert(image.rgba.end(), t.begin(), t.end());
		}
	return image;
}

std::array<std::uint8_t, 4> At(const RgbaImage& image, int x, int y)
{
	const std::size_t at = (std::size_t(y) * std::size_t(image.width) + std::size_t(x)) * 4;
	return {image.rgba[at], image.rgba[at + 1], image.rgba[at + 2], image.rgba[at + 3]};
}

// A distinct colour per texel, so any misplaced texel shows.
std::array<std::uint8_t, 4> Coded(int x, int y)
{
	return {std::uint8_t(x), std::uint8_t(y), std::uint8_t(x * 7 + y * 13), std::uint8_t(255 - x)};
}

TEST(ImageScale, BoxFilterWeightsAndWrapsAroundTheEdges)
{
	// 2 -> 4 across: each output texel covers one input texel's width centred
	// on its own centre, and the footprints at the edges wrap to the far side.
	const RgbaImage in = Make(2, 1, [](int x, int) { return std::array<std::uint8_t, 4>{std::uint8_t(x ? 255 : 0), 0, 0, 255}; });
	const RgbaImage out = ScaleImage(in, 4, 1);
	ASSERT_EQ(out.width, 4);
	ASSERT_EQ(out.height, 1);
	// 0.75 x 0 + 0.25 x 65535 (the wrapped right texel) = 16384 -> 64; 0.75 x 65535 -> 49151 -> 191
	EXPECT_EQ(At(out, 0, 0), (std::array<std::uint8_t, 4>{64, 0, 0, 255}));
	EXPECT_EQ(At(out, 1, 0), (std::array<std::uint8_t, 4>{64, 0, 0, 255}));
	EXPECT_EQ(At(out, 2, 0), (std::array<std::uint8_t, 4>{191, 0, 0, 255}));
	EXPECT_EQ(At(out, 3, 0), (std::array<std::uint8_t, 4>{191, 0, 0, 255}));
}

TEST(ImageScale, ExactHalvingAveragesTwoByTwoRounded)
{
	const RgbaImage in = Make(2, 2, [](int x, int y) {
		return std::array<std::uint8_t, 4>{std::uint8_t(x + y * 2), 255, 0, std::uint8_t(y ? 1 : 0)};
	});
	// 16-bit: (0 + 257 + 514 + 771 + 2) / 4 = 386 -> 1; alpha (0 + 0 + 257 + 257 + 2) / 4 = 129 -> 0
	EXPECT_EQ(At(ScaleImage(in, 1, 1), 0, 0), (std::array<std::uint8_t, 4>{1, 255, 0, 0}));
}

TEST(ImageScale, PowerOf2RescaleKeepsFlatColourAndLeavesPowerOf2Alone)
{
	const RgbaImage flat = Make(48, 20, [](int, int) { return std::array<std::uint8_t, 4>{10, 200, 30, 128}; });
	const RgbaImage scaled = ScaleToPowerOf2(flat);
	EXPECT_EQ(scaled.width, 64);
	EXPECT_EQ(scaled.height, 32);
	for (int y = 0; y < 32; ++y)
		for (int x = 0; x < 64; ++x)
			ASSERT_EQ(At(scaled, x, y), (std::array<std::uint8_t, 4>{10, 200, 30, 128})) << x << "," << y;

	const RgbaImage square = Make(16, 8, Coded);
	EXPECT_EQ(ScaleToPowerOf2(square).rgba, square.rgba);
	EXPECT_TRUE(ScaleImage(RgbaImage{}, 4, 4).rgba.empty());
	EXPECT_TRUE(ScaleImage(square, 0, 4).rgba.empty());
}

TEST(ImagePad, ImageAtTopLeftRestTransparent)
{
	const RgbaImage in = Make(48, 20, Coded);
	const RgbaImage out = PadToPowerOf2(in);
	ASSERT_EQ(out.width, 64);
	ASSERT_EQ(out.height, 32);
	for (int y = 0; y < 32; ++y)
		for (int x = 0; x < 64; ++x) {
			const auto expected = x < 48 && y < 20 ? Coded(x, y) : std::array<std::uint8_t, 4>{0, 0, 0, 0};
			ASSERT_EQ(At(out, x, y), expected) << x << "," << y;
		}
}

TEST(ImageMirror, BothBitsGiveFourQuadrants)
{
	const RgbaImage in = Make(64, 64, Coded);
	const RgbaImage out = MirrorT(MirrorS(in));
	ASSERT_EQ(out.width, 128);
	ASSERT_EQ(out.height, 128);
	for (int y = 0; y < 64; ++y)
		for (int x = 0; x < 64; ++x) {
			ASSERT_EQ(At(out, x, y), Coded(x, y));
			ASSERT_EQ(At(out, 127 - x, y), Coded(x, y));
			ASSERT_EQ(At(out, x, 127 - y), Coded(x, y));
			ASSERT_EQ(At(out, 127 - x, 127 - y), Coded(x, y));
		}
}

TEST(ImageViews, AlphaAsGreyAndPaletteSwatch)
{
	const RgbaImage grey = AlphaAsGrey(Make(3, 2, Coded));
	for (int y = 0; y < 2; ++y)
		for (int x = 0; x < 3; ++x) {
			const std::uint8_t a = Coded(x, y)[3];
			EXPECT_EQ(At(grey, x, y), (std::array<std::uint8_t, 4>{a, a, a, a}));
		}

	Palette palette{};
	for (std::size_t k = 0; k < palette.size(); ++k)
		palette[k] = 0xFF000000u | std::uint32_t(k) << 8 | 7; // R 7, G k, B 0, A 255
	const RgbaImage swatch = PaletteImage(palette, 16);
	ASSERT_EQ(swatch.width, 16);
	ASSERT_EQ(swatch.height, 16);
	for (int x = 0; x < 16; ++x)
		EXPECT_EQ(At(swatch, x, 0), (std::array<std::uint8_t, 4>{7, std::uint8_t(x), 0, 255}));
	for (int y = 1; y < 16; ++y)
		for (int x = 0; x < 16; ++x)
			ASSERT_EQ(At(swatch, x, y), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
	// a count above 256 shows all 256
	EXPECT_EQ(At(PaletteImage(palette, 1000), 15, 15), (std::array<std::uint8_t, 4>{7, 255, 0, 255}));
}

} // namespace
} // namespace zentarra
