#include "support/tex0_writer.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace zentarra::testing {

namespace {

std::uint8_t Channel(const Bytes& rgba, int width, int x, int y, int c)
{
	return rgba[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4 + std::size_t(c)];
}

std::array<int, 3> Expand565(std::uint16_t c)
{
	const int r = c >> 11, g = (c >> 5) & 63, b = c & 31;
	return {(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)};
}

int Luma(std::uint16_t c)
{
	const std::array<int, 3> e = Expand565(c);
	return 2 * e[0] + 4 * e[1] + e[2];
}

// One 4 x 4 sub-block at (x0, y0): two colours and 32 index bits.
void EncodeCmprSubBlock(ByteSink& out, int width, int height, const Bytes& rgba, int x0, int y0)
{
	const auto channel = [&](int x, int y, int c) { return Channel(rgba, width, x, y, c); };
	std::uint16_t brightest = 0, darkest = 0;
	bool anyOpaque = false, anyClear = false;
	for (int y = y0; y < std::min(y0 + 4, height); ++y)
		for (int x = x0; x < std::min(x0 + 4, width); ++x) {
			anyClear |= channel(x, y, 3) < 128;
			if (channel(x, y, 3) < 128)
				continue;
			const std::uint16_t c = ToRGB565(channel(x, y, 0), channel(x, y, 1), channel(x, y, 2));
			brightest = !anyOpaque || Luma(c) > Luma(brightest) ? c : brightest;
			darkest = !anyOpaque || Luma(c) < Luma(darkest) ? c : darkest;
			anyOpaque = true;
		}

	// c0 > c1 selects four colours, c0 <= c1 three and transparent
	std::uint16_t c0 = std::max(brightest, darkest), c1 = std::min(brightest, darkest);
	if (anyClear)
		std::swap(c0, c1);
	const std::array<int, 3> e0 = Expand565(c0), e1 = Expand565(c1);
	std::array<std::array<int, 3>, 4> colours{e0, e1, {}, {}};
	for (std::size_t k = 0; k < 3; ++k) {
		colours[2][k] = c0 > c1 ? (2 * e0[k] + e1[k]) / 3 : (e0[k] + e1[k]) / 2;
		colours[3][k] = (e0[k] + 2 * e1[k]) / 3;
	}
	const int choices = c0 > c1 ? 4 : 3;

	out.be16s({c0, c1});
	for (int y = y0; y < y0 + 4; ++y) {
		std::uint8_t bits = 0;
		for (int x = x0; x < x0 + 4; ++x) {
			int index = 0, best = 1 << 30;
			const bool inside = x < width && y < height;
			if (inside && channel(x, y, 3) < 128 && choices == 3)
				index = 3;
			else
				for (int i = 0; inside && i < choices; ++i) {
					int distance = 0;
					for (int k = 0; k < 3; ++k) {
						const int d = colours[std::size_t(i)][std::size_t(k)] - channel(x, y, k);
						distance += d * d;
					}
					if (distance < best) {
						best = distance;
						index = i;
					}
				}
			bits = std::uint8_t(bits << 2 | index);
		}
		out.u8(bits);
	}
}

} // namespace

Bytes BuildTEX0(std::uint32_t format, int width, int height, const Bytes& texels)
{
	ByteSink out;
	out.text("TEX0");
	// size, version 3, offsets to the archive (not read) and the texels, name
	// (not read), flags, width, height, format, one image
	out.be32s({std::uint32_t(0x40 + texels.size()), 3, 0, 0x40, 0, 0});
	out.be16s({std::uint16_t(width), std::uint16_t(height)});
	out.be32s({format, 1});
	out.alignTo(0x40);
	out.append(texels);
	return out.bytes;
}

Bytes BuildPLT0(std::uint32_t paletteFormat, const std::vector<std::uint16_t>& entries)
{
	ByteSink out;
	out.text("PLT0");
	out.be32s({std::uint32_t(0x40 + entries.size() * 2), 3, 0, 0x40, 0, paletteFormat});
	out.be16(std::uint16_t(entries.size()));
	out.alignTo(0x40);
	for (const std::uint16_t entry : entries)
		out.be16(entry);
	return out.bytes;
}

Bytes EncodeTexels(std::uint32_t format, int width, int height, const std::function<std::uint32_t(int, int)>& texel)
{
	// 4 bits: I4, CI4 in 8 x 8 blocks; 8 bits: I8, IA4, CI8 in 8 x 4; 16 bits: the rest in 4 x 4
	const int bits = format == 0 || format == 8 ? 4 : format == 1 || format == 2 || format == 9 ? 8 : 16;
	const int blockWidth = bits == 16 ? 4 : 8, blockHeight = bits == 4 ? 8 : 4;
	ByteSink out;
	for (int by = 0; by < height; by += blockHeight)
		for (int bx = 0; bx < width; bx += blockWidth) {
			std::uint32_t pending = 0;
			int pendingBits = 0;
			for (int y = by; y < by + blockHeight; ++y)
				for (int x = bx; x < bx + blockWidth; ++x) {
					const std::uint32_t value = x < width && y < height ? texel(x, y) : 0;
					pending = pending << bits | (value & ((1u << bits) - 1));
					pendingBits += bits;
					for (; pendingBits >= 8; pendingBits -= 8)
						out.u8(std::uint8_t(pending >> (pendingBits - 8)));
				}
		}
	return out.bytes;
}

Bytes EncodeRGBA8(int width, int height, const Bytes& rgba)
{
	ByteSink out;
	for (int by = 0; by < height; by += 4)
		for (int bx = 0; bx < width; bx += 4)
			for (const std::array<int, 2> pair : {std::array{3, 0}, std::array{1, 2}}) // A R, then G B
				for (int y = by; y < by + 4; ++y)
					for (int x = bx; x < bx + 4; ++x)
						for (const int c : pair)
							out.u8(x < width && y < height ? Channel(rgba, width, x, y, c) : 0);
	return out.bytes;
}

Bytes EncodeCMPR(int width, int height, const Bytes& rgba)
{
	ByteSink out;
	for (int by = 0; by < height; by += 8)
		for (int bx = 0; bx < width; bx += 8)
			for (const std::array<int, 2> sub : {std::array{0, 0}, std::array{4, 0}, std::array{0, 4}, std::array{4, 4}})
				EncodeCmprSubBlock(out, width, height, rgba, bx + sub[0], by + sub[1]);
	return out.bytes;
}

std::uint16_t ToRGB565(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
	return std::uint16_t((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

std::uint16_t ToRGB5A3(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a)
{
	if (a >= 0xE0)
		return std::uint16_t(0x8000 | (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
	return std::uint16_t((a >> 5) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | (b >> 4));
}

} // namespace zentarra::testing
