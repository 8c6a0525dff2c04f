#include "texture/tex0.h"

#include <algorithm>
#include <bit>
#include <cassert>

namespace zentarra {
namespace {

// Offsets that would wrap around land past any file instead.
std::size_t At(std::size_t base, std::size_t field)
{
	return base > SIZE_MAX - field ? SIZE_MAX : base + field;
}

// bit replication: the top bits repeat into the low bits, so all ones stay 255
//   4 bits abcd  -> abcdabcd
//   5 bits abcde -> abcdeabc
//   6 bits abcdef -> abcdefab
//   3 bits abc   -> abcabcab
constexpr int Expand4(unsigned v) { return int(v * 17); }
constexpr int Expand5(unsigned v) { return int(v << 3 | v >> 2); }
constexpr int Expand6(unsigned v) { return int(v << 2 | v >> 4); }
constexpr int Expand3(unsigned v) { return int(v << 5 | v << 2 | v >> 1); }
static_assert(Expand3(7) == 255 && Expand3(1) == 36 && Expand5(31) == 255 && Expand6(63) == 255);

constexpr std::uint32_t Pack(int r, int g, int b, int a)
{
	return std::uint32_t(r) | std::uint32_t(g) << 8 | std::uint32_t(b) << 16 | std::uint32_t(a) << 24;
}

constexpr std::uint32_t Rgb565(unsigned v)
{
	return Pack(Expand5(v >> 11 & 31), Expand6(v >> 5 & 63), Expand5(v & 31), 255);
}

constexpr std::uint32_t Rgb5A3(unsigned v)
{
	if (v & 0x8000)
		return Pack(Expand5(v >> 10 & 31), Expand5(v >> 5 & 31), Expand5(v & 31), 255);
	return Pack(Expand4(v >> 8 & 15), Expand4(v >> 4 & 15), Expand4(v & 15), Expand3(v >> 12 & 7));
}

constexpr std::uint32_t Intensity(int i, int a) { return Pack(i, i, i, a); }

unsigned Be16(const std::uint8_t* p) { return unsigned(p[0]) << 8 | p[1]; }

// CMPR weights of the colour indices 2 and 3: the floats nearest 2/3 and 1/3.
constexpr float kTwoThirds = std::bit_cast<float>(0x3F2AAAABu);
constexpr float kOneThird = std::bit_cast<float>(0x3EAAAAABu);

// e0*f + e1*(1-f), truncated. In double every product and the sum are exact
// (f has 24 significant bits, 1-f 25, the channels 8), so this truncates the
// true value: 255*kOneThird gives 85, and 255*(1-kOneThird) 169, not 170.
int CmprBlend(int e0, int e1, float f)
{
	const double w = double(f);
	return static_cast<int>(double(e0) * w + double(e1) * (1.0 - w));
}

struct Layout {
	int blockWidth = 0;
	int blockHeight = 0;
	std::size_t blockBytes = 0; // 0: the format is not decoded
};

Layout LayoutOf(std::uint32_t format)
{
	switch (format) {
	case kTexI4:
	case kTexCI4:
	case kTexCMPR:
		return {8, 8, 32};
	case kTexI8:
	case kTexIA4:
	case kTexCI8:
		return {8, 4, 32};
	case kTexIA8:
	case kTexRGB565:
	case kTexRGB5A3:
		return {4, 4, 32};
	case kTexRGBA8:
		return {4, 4, 64};
	default:
		return {};
	}
}

// The caller's RGBA image; texels of a partial edge block outside it are dropped.
struct Sink {
	std::span<std::uint8_t> rgba;
	int width;
	int height;

	void Put(int x, int y, std::uint32_t colour) const
	{
		if (x >= width || y >= height)
			return;
		std::uint8_t* p = rgba.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
		p[0] = std::uint8_t(colour);
		p[1] = std::uint8_t(colour >> 8);
		p[2] = std::uint8_t(colour >> 16);
		p[3] = std::uint8_t(colour >> 24);
	}
};

void DecodeCmprSubBlock(const Sink& out, int x0, int y0, const std::uint8_t* p)
{
	const unsigned c0 = Be16(p);
	const unsigned c1 = Be16(p + 2);
	const std::uint32_t e0 = Rgb565(c0);
	const std::uint32_t e1 = Rgb565(c1);
	const bool fourColours = c0 > c1;
	std::uint32_t colours[4];
	const float weights[4] = {1.0f, 0.0f, fourColours ? kTwoThirds : 0.5f, kOneThird};
	for (int i = 0; i < 4; ++i) {
		int channel[3];
		for (int c = 0; c < 3; ++c)
			channel[c] = CmprBlend(int(e0 >> (8 * c) & 255), int(e1 >> (8 * c) & 255), weights[i]);
		// the transparent index keeps its blended colour; only alpha drops
		const int alpha = (i == 3 && !fourColours) ? 0 : 255;
		colours[i] = Pack(channel[0], channel[1], channel[2], alpha);
	}
	for (int row = 0; row < 4; ++row) {
		const unsigned bits = p[4 + row];
		for (int col = 0; col < 4; ++col)
			out.Put(x0 + col, y0 + row, colours[bits >> (6 - 2 * col) & 3]);
	}
}

// One whole block whose top-left texel is (x0, y0); p holds its bytes.
void DecodeBlock(const Sink& out, std::uint32_t format, int x0, int y0, const std::uint8_t* p, const Palette& palette)
{
	switch (format) {
	case kTexI4:
	case kTexCI4:
		for (int i = 0; i < 64; i += 2) {
			const unsigned hi = p[i / 2] >> 4;
			const unsigned lo = p[i / 2] & 15;
			const int x = x0 + i % 8;
			const int y = y0 + i / 8;
			// each nibble is clipped on its own: texel 5 of a 5-wide image is dropped
			if (format == kTexI4) {
				out.Put(x, y, Intensity(Expand4(hi), Expand4(hi)));
				out.Put(x + 1, y, Intensity(Expand4(lo), Expand4(lo)));
			} else {
				out.Put(x, y, palette[hi]);
				out.Put(x + 1, y, palette[lo]);
			}
		}
		break;
	case kTexI8:
	case kTexIA4:
	case kTexCI8:
		for (int i = 0; i < 32; ++i) {
			const unsigned v = p[i];
			std::uint32_t colour = palette[v];
			if (format == kTexI8)
				colour = Intensity(int(v), int(v));
			else if (format == kTexIA4)
				colour = Intensity(Expand4(v & 15), Expand4(v >> 4)); // low nibble intensity, high alpha
			out.Put(x0 + i % 8, y0 + i / 8, colour);
		}
		break;
	case kTexIA8:
	case kTexRGB565:
	case kTexRGB5A3:
		for (int i = 0; i < 16; ++i) {
			const unsigned v = Be16(p + 2 * i);
			std::uint32_t colour = format == kTexRGB565 ? Rgb565(v) : Rgb5A3(v);
			if (format == kTexIA8)
				colour = Intensity(int(v & 255), int(v >> 8)); // alpha byte first
			out.Put(x0 + i % 4, y0 + i / 4, colour);
		}
		break;
	case kTexRGBA8:
		// 16 (alpha, red) pairs, then 16 (green, blue) pairs, both in texel order
		for (int i = 0; i < 16; ++i)
			out.Put(x0 + i % 4, y0 + i / 4, Pack(p[2 * i + 1], p[32 + 2 * i], p[33 + 2 * i], p[2 * i]));
		break;
	case kTexCMPR:
		for (int s = 0; s < 4; ++s)
			DecodeCmprSubBlock(out, x0 + s % 2 * 4, y0 + s / 2 * 4, p + 8 * s);
		break;
	default:
		break;
	}
}

std::size_t BlockCount(int size, int blockSize)
{
	return (std::size_t(size) + std::size_t(blockSize) - 1) / std::size_t(blockSize);
}

} // namespace

std::size_t TexelDataSize(std::uint32_t format, int width, int height)
{
	const Layout layout = LayoutOf(format);
	if (layout.blockBytes == 0 || width <= 0 || height <= 0)
		return 0;
	return BlockCount(width, layout.blockWidth) * BlockCount(height, layout.blockHeight) * layout.blockBytes;
}

TexStatus DecodeTexels(std::span<std::uint8_t> rgba, std::span<const std::uint8_t> texels, std::uint32_t format,
	int width, int height, const Palette& palette)
{
	const Layout layout = LayoutOf(format);
	if (layout.blockBytes == 0)
		return TexStatus::Unsupported;
	if (width <= 0 || height <= 0)
		return TexStatus::Ok;
	assert(rgba.size() / 4 / std::size_t(width) >= std::size_t(height));
	if (rgba.size() / 4 / std::size_t(width) < std::size_t(height))
		return TexStatus::TooLarge;

	const Sink out{rgba, width, height};
	std::size_t at = 0;
	for (int y = 0; y < height; y += layout.blockHeight) {
		for (int x = 0; x < width; x += layout.blockWidth) {
			// check a block's bytes once; the block the data ends in stays zero
			if (texels.size() - at < layout.blockBytes)
				return TexStatus::Truncated;
			DecodeBlock(out, format, x, y, texels.data() + at, palette);
			at += layout.blockBytes;
		}
	}
	return TexStatus::Ok;
}

int ReadTextureHeader(ByteView& file, std::size_t offset, TexImage& rec)
{
	rec.size = R32(file, At(offset, 0x04));
	rec.width = R16(file, At(offset, 0x1C));
	rec.height = R16next(file);
	rec.format = R32next(file);
	file.seek(At(offset, 0x40));
	return (rec.format == kTexCI4 || rec.format == kTexCI8) ? 0 : 1;
}

std::uint32_t DecodePaletteEntry(std::uint32_t paletteFormat, std::uint16_t entry)
{
	if (paletteFormat == kPaletteIA8)
		return Intensity(entry >> 8, entry & 255); // intensity byte first, unlike IA8 texels
	if (paletteFormat == kPaletteRGB565)
		return Rgb565(entry);
	return Rgb5A3(entry);
}

std::uint32_t ReadPalette(ByteView& file, std::size_t offset, TexImage& rec)
{
	const std::uint32_t paletteFormat = R32(file, At(offset, 0x18));
	const std::uint32_t count = R16next(file);
	file.seek(At(offset, 0x40));
	const std::size_t stored = std::min<std::size_t>(count, rec.palette.size());
	for (std::size_t i = 0; i < stored; ++i) {
		// entries the file does not hold keep their colours
		if (!file.contains(file.tell(), 2)) {
			file.markDamaged();
			break;
		}
		rec.palette[i] = DecodePaletteEntry(paletteFormat, R16next(file));
	}
	return count;
}

TexStatus ReadTexture(ByteView& file, TexImage& rec)
{
	rec.data.clear();
	if (rec.width <= 0 || rec.height <= 0)
		return LayoutOf(rec.format).blockBytes ? TexStatus::Ok : TexStatus::Unsupported;

	const std::size_t start = file.tell();
	const std::size_t texelCount = std::size_t(rec.width) * std::size_t(rec.height);
	const std::size_t needed = TexelDataSize(rec.format, rec.width, rec.height);
	if (texelCount > kMaxTexelsWithoutData && (needed == 0 || needed > file.remaining(start)))
		return TexStatus::TooLarge;

	rec.data.assign(texelCount * 4, 0);
	const std::span<const std::uint8_t> texels = file.bytes().subspan(std::min(start, file.size()));
	const TexStatus status = DecodeTexels(rec.data, texels, rec.format, rec.width, rec.height, rec.palette);
	if (status == TexStatus::Truncated)
		file.markDamaged();
	file.seek(At(start, needed));
	return status;
}

void PutData(TexImage& rec, int x, int y, std::uint32_t colour)
{
	if (x < 0 || y < 0 || rec.width <= 0 || rec.data.size() / 4 / std::size_t(rec.width) < std::size_t(rec.height))
		return;
	Sink{rec.data, rec.width, rec.height}.Put(x, y, colour);
}

} // namespace zentarra
