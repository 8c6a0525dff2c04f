// TEX0 decoding against the reference images and against a decoder written the
// slow, obvious way, on every code path; palettes; damaged and oversized sizes.
#include "texture/tex0.h"

#include "base/file_io.h"
#include "support/tex0_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

namespace zentarra {
namespace {

using testing::Bytes;
using testing::BuildTEX0;

TEST(Tex0Corpus, MatchesReferenceImagesByteForByte)
{
	const std::string dir = std::string(ZENTARRA_CORPUS) + "/gctex/";
	for (const std::string image : {"monke", "random"})
		for (std::uint32_t format = 0; format <= 6; ++format) {
			SCOPED_TRACE(image + " format " + std::to_string(format));
			const FileBytes encoded = ReadWholeFile(dir + "encoded_" + image + "_" + std::to_string(format));
			const FileBytes expected = ReadWholeFile(dir + "decoded_" + image + "_" + std::to_string(format));
			ASSERT_EQ(encoded.bytes.size(), TexelDataSize(format, 500, 500));
			ASSERT_EQ(expected.status, ReadStatus::Ok);
			const Bytes file = BuildTEX0(format, 500, 500, encoded.bytes);
			ByteView view(file);
			TexImage rec;
			ReadTextureHeader(view, 0, rec);
			EXPECT_EQ(ReadTexture(view, rec), TexStatus::Ok);
			EXPECT_FALSE(view.damaged());
			EXPECT_TRUE(rec.data == expected.bytes);
		}
}

// The reference: texel (x, y) found in its block from scratch; zero where the
// data lacks the texel's whole block.
struct RefFormat {
	std::uint32_t format;
	int blockWidth, blockHeight;
	std::size_t blockBytes;
} const kRefFormats[] = {{kTexI4, 8, 8, 32}, {kTexI8, 8, 4, 32}, {kTexIA4, 8, 4, 32}, {kTexIA8, 4, 4, 32},
	{kTexRGB565, 4, 4, 32}, {kTexRGB5A3, 4, 4, 32}, {kTexRGBA8, 4, 4, 64}, {kTexCI4, 8, 8, 32}, {kTexCI8, 8, 4, 32},
	{kTexCMPR, 8, 8, 32}};

using Rgba = std::array<int, 4>;

int Bits(unsigned v, int shift, int count) { return int(v >> shift & ((1u << count) - 1)); }
int Widen(int v, int bits) { return bits == 3 ? (v << 5 | v << 2 | v >> 1) : (v << (8 - bits) | v >> (2 * bits - 8)); }
Rgba FromRgb565(unsigned v) { return {Widen(Bits(v, 11, 5), 5), Widen(Bits(v, 5, 6), 6), Widen(Bits(v, 0, 5), 5), 255}; }

Rgba FromRgb5a3(unsigned v)
{
	if (v & 0x8000)
		return {Widen(Bits(v, 10, 5), 5), Widen(Bits(v, 5, 5), 5), Widen(Bits(v, 0, 5), 5), 255};
	return {Bits(v, 8, 4) * 17, Bits(v, 4, 4) * 17, Bits(v, 0, 4) * 17, Widen(Bits(v, 12, 3), 3)};
}

// A palette entry: IA8 entries hold intensity then alpha, unlike IA8 texels.
Rgba RefEntry(std::uint32_t paletteFormat, unsigned v)
{
	if (paletteFormat == kPaletteIA8)
		return {Bits(v, 8, 8), Bits(v, 8, 8), Bits(v, 8, 8), Bits(v, 0, 8)};
	return paletteFormat == kPaletteRGB565 ? FromRgb565(v) : FromRgb5a3(v);
}

Rgba RefTexel(const RefFormat& f, const Bytes& t, int width, int x, int y, const std::vector<Rgba>& palette)
{
	const std::size_t across = std::size_t((width + f.blockWidth - 1) / f.blockWidth);
	const std::size_t base = (std::size_t(y / f.blockHeight) * across + std::size_t(x / f.blockWidth)) * f.blockBytes;
	if (base + f.blockBytes > t.size())
		return {0, 0, 0, 0};
	const int bx = x % f.blockWidth, by = y % f.blockHeight, i = by * f.blockWidth + bx;
	const auto at = [&](std::size_t k) { return unsigned(t[base + k]); };
	const unsigned nibble = i % 2 ? at(std::size_t(i / 2)) & 15 : at(std::size_t(i / 2)) >> 4;
	const unsigned word = f.blockWidth == 4 ? at(2 * std::size_t(i)) << 8 | at(2 * std::size_t(i) + 1) : 0;
	switch (f.format) {
	case kTexI4: return {int(nibble * 17), int(nibble * 17), int(nibble * 17), int(nibble * 17)};
	case kTexI8: return {int(at(i)), int(at(i)), int(at(i)), int(at(i))};
	case kTexIA4: return {Bits(at(i), 0, 4) * 17, Bits(at(i), 0, 4) * 17, Bits(at(i), 0, 4) * 17, Bits(at(i), 4, 4) * 17};
	case kTexIA8: return {Bits(word, 0, 8), Bits(word, 0, 8), Bits(word, 0, 8), Bits(word, 8, 8)};
	case kTexRGB565: return FromRgb565(word);
	case kTexRGB5A3: return FromRgb5a3(word);
	case kTexRGBA8: return {int(at(2 * i + 1)), int(at(32 + 2 * i)), int(at(33 + 2 * i)), int(at(2 * i))};
	case kTexCI4: return palette[nibble];
	case kTexCI8: return palette[at(i)];
	default: break;
	}
	// CMPR: sub-block, then the texel's 2-bit index
	const std::size_t sub = 8 * std::size_t(by / 4 * 2 + bx / 4);
	const unsigned c0 = at(sub) << 8 | at(sub + 1), c1 = at(sub + 2) << 8 | at(sub + 3);
	const int index = Bits(at(sub + 4 + std::size_t(by % 4)), 6 - 2 * (bx % 4), 2);
	const float weights[4] = {1.0f, 0.0f, c0 > c1 ? 2.0f / 3.0f : 0.5f, 1.0f / 3.0f};
	const Rgba e0 = FromRgb565(c0), e1 = FromRgb565(c1);
	Rgba out{0, 0, 0, index == 3 && c0 <= c1 ? 0 : 255};
	for (std::size_t c = 0; c < 3; ++c)
		out[c] = int(e0[c] * double(weights[index]) + e1[c] * (1.0 - double(weights[index])));
	return out;
}

// Texel data: any bytes, or bytes of a few values, so equal CMPR endpoints and
// extreme channels turn up often.
enum class Fill { Random, FewValues };

Bytes Texels(std::size_t size, std::mt19937& random, Fill fill)
{
	static const std::uint8_t kFew[] = {0x00, 0xFF, 0x80, 0x7F, 0x0F};
	Bytes bytes(size);
	for (std::uint8_t& byte : bytes)
		byte = std::uint8_t(fill == Fill::FewValues ? kFew[random() % 5] : random());
	return bytes;
}

// Decodes `file` (a TEX0, maybe cut anywhere) into the reused record, after the
// PLT0 if any, and compares every texel with the reference, then every decoder
// path with the result.
void ExpectMatchesReference(const RefFormat& f, const Bytes& file, int width, int height, TexImage& rec,
	const Bytes& plt0 = {})
{
	ByteView view(file);
	ReadTextureHeader(view, 0, rec);
	std::vector<Rgba> palette(256, Rgba{});
	if (!plt0.empty()) {
		ByteView paletteView(plt0);
		ReadPalette(paletteView, 0, rec);
		for (std::size_t k = 0; k < 256; ++k)
			palette[k] = RefEntry(plt0[0x1B], unsigned(plt0[0x40 + 2 * k]) << 8 | plt0[0x41 + 2 * k]);
	}
	const TexStatus status = ReadTexture(view, rec);
	if (file.size() < 0x24)
		return; // the header itself is cut: any size is fine
	const Bytes texels(file.begin() + std::ptrdiff_t(std::min<std::size_t>(file.size(), 0x40)), file.end());
	const bool whole = texels.size() >= TexelDataSize(f.format, width, height);
	EXPECT_EQ(status, whole ? TexStatus::Ok : TexStatus::Truncated);
	EXPECT_EQ(view.damaged(), !whole);
	ASSERT_EQ(rec.data.size(), std::size_t(width) * std::size_t(height) * 4);
	for (int y = 0; y < height; ++y)
		for (int x = 0; x < width; ++x) {
			const Rgba want = RefTexel(f, texels, width, x, y, palette);
			const std::uint8_t* got = rec.data.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
			ASSERT_EQ((Rgba{got[0], got[1], got[2], got[3]}), want) << "texel " << x << "," << y;
		}
	for (const TexDecodePath path : TexDecodePaths()) {
		Bytes rgba(rec.data.size(), 0);
		DecodeTexels(rgba, texels, f.format, width, height, rec.palette, path);
		ASSERT_TRUE(rgba == rec.data) << "path " << int(path);
	}
}

// 256 random entries in that palette format.
Bytes RandomPalette(std::uint32_t paletteFormat, std::mt19937& random)
{
	std::vector<std::uint16_t> entries(256);
	for (std::uint16_t& entry : entries)
		entry = std::uint16_t(random());
	return testing::BuildPLT0(paletteFormat, entries);
}

TEST(Tex0Reference, EveryFormatAtOddSizesMatchesAPlainDecoder)
{
	std::mt19937 random(7);
	TexImage rec; // one record throughout: stale texels of a bigger image must not show
	const std::pair<int, int> sizes[] = {{500, 500}, {256, 256}, {1, 1}, {3, 5}, {9, 7}, {7, 8}, {15, 12}, {33, 17},
		{8, 40}};
	for (const RefFormat& f : kRefFormats) {
		const bool indexed = f.format == kTexCI4 || f.format == kTexCI8;
		for (const std::uint32_t paletteFormat : {kPaletteIA8, kPaletteRGB565, kPaletteRGB5A3, PaletteFormat(7)}) {
			if (!indexed && paletteFormat != kPaletteIA8)
				continue;
			for (const auto& [width, height] : sizes)
				for (const Fill fill : {Fill::Random, Fill::FewValues}) {
					SCOPED_TRACE("format " + std::to_string(f.format) + " palette " + std::to_string(paletteFormat) +
						" " + std::to_string(width) + "x" + std::to_string(height) + " fill " + std::to_string(int(fill)));
					const Bytes texels = Texels(TexelDataSize(f.format, width, height), random, fill);
					ExpectMatchesReference(f, BuildTEX0(f.format, width, height, texels), width, height, rec,
						indexed ? RandomPalette(paletteFormat, random) : Bytes{});
				}
		}
	}
}

TEST(Tex0Damage, UnknownFormatsHugeAndEmptySizes)
{
	const std::size_t i4 = TexelDataSize(kTexI4, 1025, 1024);
	const std::tuple<std::uint32_t, int, int, std::size_t, TexStatus, std::size_t> cases[] = {
		// format, width, height, texel bytes, status, decoded bytes
		{kTexCI14x2, 3, 2, 64, TexStatus::Unsupported, 24},
		{7, 33, 17, 2000, TexStatus::Unsupported, 33 * 17 * 4},
		{kTexRGBA8, 65535, 65535, 0, TexStatus::TooLarge, 0},
		{kTexCI14x2, 2000, 2000, 0, TexStatus::TooLarge, 0},
		// just above the size always accepted: only with every block present
		{kTexI4, 1025, 1024, i4, TexStatus::Ok, 1025 * 1024 * 4},
		{kTexI4, 1025, 1024, i4 - 1, TexStatus::TooLarge, 0},
		{kTexI4, 1024, 1024, 0, TexStatus::Truncated, 1024 * 1024 * 4},
		{kTexI8, 0, 7, 32, TexStatus::Ok, 0}};
	for (const auto& [format, width, height, texels, status, size] : cases) {
		SCOPED_TRACE(std::to_string(format) + " " + std::to_string(width) + "x" + std::to_string(height));
		TexImage rec;
		const Bytes file = BuildTEX0(format, width, height, Bytes(texels, 0x11));
		ByteView view(file);
		EXPECT_EQ(ReadTextureHeader(view, 0, rec), 1);
		EXPECT_EQ(ReadTexture(view, rec), status);
		ASSERT_EQ(rec.data.size(), size);
		EXPECT_TRUE(status == TexStatus::Ok || rec.data == Bytes(size, 0));
	}
}

} // namespace
} // namespace zentarra
