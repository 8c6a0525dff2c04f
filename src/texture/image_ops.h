// Operations on decoded RGBA images for display and export: power-of-two
// rescaling and padding (graphics cards of the viewer's generation need
// power-of-two textures), the mirrored-repeat images, the alpha view and the
// palette swatch.
//
// Images are 8-bit R, G, B, A, rows top first without padding, as the decoder
// writes them.
#pragma once

#include "texture/tex0.h"

#include <cstdint>
#include <span>
#include <vector>

namespace zentarra {

struct RgbaImage {
	int width = 0;
	int height = 0;
	std::vector<std::uint8_t> rgba; // width * height * 4 bytes

	static RgbaImage Of(const TexImage& texture);
};

// Rescales with the box filter of the classic GL utility library's image
// scaler, bit for bit: channels widened to 16 bits (v * 257), each output
// texel the area-weighted mean of the input texels under its footprint (at
// least one input texel wide, wrapping around the edges), rounded, then
// narrowed back (>> 8); an exact halving averages 2 x 2 texels. An empty input
// or output size gives an empty image.
RgbaImage ScaleImage(const RgbaImage& in, int outWidth, int outHeight);

// The image rescaled to the smallest powers of two not below its sides; the
// image itself when both already are.
RgbaImage ScaleToPowerOf2(const RgbaImage& in);

// The image at the top left of the smallest power-of-two image not smaller,
// the rest transparent black.
RgbaImage PadToPowerOf2(const RgbaImage& in);

// Twice as wide: the image, then the image mirrored left to right.
RgbaImage MirrorS(const RgbaImage& in);

// Twice as high: the image, then below it the image mirrored top to bottom.
RgbaImage MirrorT(const RgbaImage& in);

// Red, green and blue set to each texel's alpha; alpha kept.
RgbaImage AlphaAsGrey(const RgbaImage& in);

// The first `count` palette entries (at most 256) as a 16 x 16 image, entry k
// at row k / 16, column k % 16; the other texels transparent black.
RgbaImage PaletteImage(const Palette& palette, std::uint32_t count);

} // namespace zentarra
