// Test-only writer of TEX0 textures and PLT0 palettes, with encoders that
// lay texels out in the console's blocks.
#pragma once

#include "support/brres_writer.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace zentarra::testing {

// A TEX0 sub-file: 0x40-byte header (magic, size, version 3, width at +0x1C,
// height at +0x1E, format at +0x20, one image) and the texel data.
Bytes BuildTEX0(std::uint32_t format, int width, int height, const Bytes& texels);

// A PLT0 sub-file: 0x40-byte header (format at +0x18, count at +0x1C) and the
// 16-bit entries.
Bytes BuildPLT0(std::uint32_t paletteFormat, const std::vector<std::uint16_t>& entries);

// Texel data of a format whose texels are plain 4-, 8- or 16-bit values (I4,
// I8, IA4, IA8, RGB565, RGB5A3, CI4, CI8): `texel(x, y)` gives the stored bits;
// texels of partial blocks outside the image are 0.
Bytes EncodeTexels(std::uint32_t format, int width, int height, const std::function<std::uint32_t(int, int)>& texel);

// RGBA8 texel data of an RGBA image (width * height * 4 bytes, top row first).
Bytes EncodeRGBA8(int width, int height, const Bytes& rgba);

// CMPR texel data approximating an RGBA image: per 4 x 4 sub-block the
// brightest and darkest colours as end points; a sub-block with a texel of
// alpha below 128 uses the three-colour mode with index 3 transparent.
Bytes EncodeCMPR(int width, int height, const Bytes& rgba);

// The 16-bit encodings of one colour.
std::uint16_t ToRGB565(std::uint8_t r, std::uint8_t g, std::uint8_t b);
std::uint16_t ToRGB5A3(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a);

} // namespace zentarra::testing
