#include "texture/tex0.h"

#include "base/file_io.h"
#include "support/tex0_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

namespace zentarra {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::size_t at, unsigned v)
{
	b[at] = std::uint8_t(v >> 8);
	b[at + 1] = std::uint8_t(v);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v)
{
	Put16(b, at, v >> 16);
	Put16(b, at + 2, v & 0xFFFF);
}

Bytes MakeTex0(std::uint32_t format, int width, int height, const Bytes& texels)
{
	Bytes file(0x40, 0);
	file[0] = 'T', file[1] = 'E', file[2] = 'X', file[3] = '0';
	Put32(file, 0x04, std::uint32_t(0x40 + texels.size()));
	Put16(file, 0x1C, unsigned(width));
	Put16(file, 0x1E, unsigned(height));
	Put32(file, 0x20, format);
	file.insert(file.end(), texels.begin(), texels.end());
	return file;
}

Bytes MakePlt0(std::uint32_t format, unsigned count, const Bytes& entries)
{
	Bytes file(0x40, 0);
	Put32(file, 0x18, format);
	Put16(file, 0x1C, count);
	file.insert(file.end(), entries.begin(), entries.end());
	return file;
}

struct Decoded {
	int header = -1;
	TexStatus status = TexStatus::Ok;
	TexImage image;
	bool damaged = false;
};

Decoded Decode(const Bytes& file, const Bytes& plt0 = {})
{
	Decoded d;
	ByteView view(file);
	d.header = ReadTextureHeader(view, 0, d.image);
	if (!plt0.empty()) {
		ByteView palette(plt0);
		ReadPalette(palette, 0, d.image);
	}
	d.status = ReadTexture(view, d.image);
	d.damaged = view.damaged();
	return d;
}

Bytes Texel(const TexImage& image, int x, int y)
{
	const auto at = image.data.begin() + std::ptrdiff_t(x + y * image.width) * 4;
	return Bytes(at, at + 4);
}

// A block of `bytes` bytes starting with `head`, the rest zero.
Bytes Block(Bytes head, std::size_t bytes = 32)
{
	head.resize(bytes, 0);
	return head;
}

TEST(Tex0Corpus, MatchesReferenceImagesByteForByte)
{
	for (const char* image : {"monke", "random"}) {
		for (int format = 0; format <= 6; ++format) {
			SCOPED_TRACE(std::string(image) + " format " + std::to_string(format));
			const std::string dir = std::string(ZENTARRA_CORPUS) + "/gctex/";
			const FileBytes encoded = ReadWholeFile(dir + "encoded_" + image + "_" + std::to_string(format));
			const FileBytes expected = ReadWholeFile(dir + "decoded_" + image + "_" + std::to_string(format));
			ASSERT_EQ(encoded.status, ReadStatus::Ok);
			ASSERT_EQ(expected.status, ReadStatus::Ok);
			ASSERT_EQ(encoded.bytes.size(), TexelDataSize(std::uint32_t(format), 500, 500));
			const Decoded d = Decode(MakeTex0(std::uint32_t(format), 500, 500, encoded.bytes));
			EXPECT_EQ(d.status, TexStatus::Ok);
			EXPECT_FALSE(d.damaged);
			EXPECT_TRUE(d.image.data == expected.bytes);
		}
	}
}

// One CMPR sub-block of an 8x8 image; returns the 16 texels of its top row quad.
Bytes Cmpr(unsigned c0, unsigned c1, std::uint8_t rowBits)
{
	Bytes texels(32, 0);
	Put16(texels, 0, c0);
	Put16(texels, 2, c1);
	texels[4] = rowBits;
	const Decoded d = Decode(MakeTex0(kTexCMPR, 8, 8, texels));
	return Bytes(d.image.data.begin(), d.image.data.begin() + 16);
}

TEST(Tex0Cmpr, WeightsTruncateAndTransparentIndexKeepsColour)
{
	// indices 0, 1, 2, 3 across the row
	EXPECT_EQ(Cmpr(0xFFFF, 0x0000, 0x1B), (Bytes{255, 255, 255, 255, 0, 0, 0, 255, 170, 170, 170, 255, 85, 85, 85, 255}));
	EXPECT_EQ(Cmpr(0x0000, 0xFFFF, 0x1B), (Bytes{0, 0, 0, 255, 255, 255, 255, 255, 127, 127, 127, 255, 169, 169, 169, 0}));
	// equal endpoints take the three-colour rule: index 3 transparent
	EXPECT_EQ(Cmpr(0xF81F, 0xF81F, 0x1B),
		(Bytes{255, 0, 255, 255, 255, 0, 255, 255, 255, 0, 255, 255, 255, 0, 255, 0}));
	// per channel, truncated: 255*(1-2/3f) is 84.99999, 255*(1-1/3f) is 169.99999
	EXPECT_EQ(Cmpr(0xF800, 0x001F, 0xAF), (Bytes{170, 0, 84, 255, 170, 0, 84, 255, 85, 0, 169, 255, 85, 0, 169, 255}));
}

TEST(Tex0Palette, ColourIndexedFormatsInEveryPaletteFormat)
{
	struct Case {
		std::uint32_t paletteFormat;
		Bytes rgba; // of entry 1
	} cases[] = {
		{kPaletteIA8, {128, 128, 128, 255}}, // intensity first, unlike the IA8 texel
		{kPaletteRGB565, {132, 28, 255, 255}},
		{kPaletteRGB5A3, {0, 57, 255, 255}},
		{7, {0, 57, 255, 255}}, // any other value is RGB5A3
	};
	const Bytes entries = {0x12, 0x34, 0x80, 0xFF, 0x56, 0x78};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.paletteFormat);
		const Bytes plt0 = MakePlt0(c.paletteFormat, 2, entries);
		const Decoded ci4 = Decode(MakeTex0(kTexCI4, 3, 1, Block({0x10, 0xF0})), plt0);
		const Decoded ci8 = Decode(MakeTex0(kTexCI8, 3, 1, Block({0x01, 0x00, 0xFF})), plt0);
		EXPECT_EQ(ci4.header, 0);
		EXPECT_EQ(ci8.header, 0);
		for (const Decoded* d : {&ci4, &ci8}) {
			EXPECT_EQ(Texel(d->image, 0, 0), c.rgba);
			EXPECT_EQ(Texel(d->image, 2, 0), Bytes(4, 0)); // past the count: untouched
		}
	}
}

TEST(Tex0Palette, CountAboveCapacityFillsAllAndIsReturned)
{
	Bytes entries(300 * 2, 0xFF);
	const Bytes plt0 = MakePlt0(kPaletteRGB565, 300, entries);
	ByteView view(plt0);
	TexImage rec;
	rec.palette.fill(7);
	EXPECT_EQ(ReadPalette(view, 0, rec), 300u);
	EXPECT_EQ(rec.palette[255], 0xFFFFFFFFu);
	EXPECT_FALSE(view.damaged());

	// entries the file lacks keep their old colours
	const Bytes shortPlt0 = MakePlt0(kPaletteRGB565, 3, {0xFF, 0xFF, 0xFF});
	ByteView shortView(shortPlt0);
	rec.palette.fill(7);
	EXPECT_EQ(ReadPalette(shortView, 0, rec), 3u);
	EXPECT_EQ(rec.palette[0], 0xFFFFFFFFu);
	EXPECT_EQ(rec.palette[1], 7u);
	EXPECT_TRUE(shortView.damaged());
}

TEST(Tex0Damage, UnknownFormatsWriteNothing)
{
	for (std::uint32_t format : {10u, 7u, 11u, 99u}) {
		const Decoded d = Decode(MakeTex0(format, 3, 2, Bytes(64, 0xFF)));
		EXPECT_EQ(d.header, 1);
		EXPECT_EQ(d.status, TexStatus::Unsupported);
		EXPECT_EQ(d.image.data, Bytes(3 * 2 * 4, 0));
	}
}

TEST(Tex0Damage, EveryPrefixDecodesItsWholeBlocksAndLeavesTheRestZero)
{
	struct Case {
		std::uint32_t format;
		int blockWidth, blockHeight, blockBytes;
	} cases[] = {{kTexI4, 8, 8, 32}, {kTexRGBA8, 4, 4, 64}, {kTexCMPR, 8, 8, 32}, {kTexIA8, 4, 4, 32}};
	const int width = 9, height = 5;
	for (const Case& c : cases) {
		SCOPED_TRACE(c.format);
		Bytes texels(TexelDataSize(c.format, width, height));
		for (std::size_t i = 0; i < texels.size(); ++i)
			texels[i] = std::uint8_t(i * 37 + 11);
		const Bytes file = MakeTex0(c.format, width, height, texels);
		const Decoded full = Decode(file);
		const int blocksAcross = (width + c.blockWidth - 1) / c.blockWidth;
		for (std::size_t n = 0; n <= file.size(); ++n) {
			const Bytes prefix(file.begin(), file.begin() + std::ptrdiff_t(n)); // fresh, so ASan sees the end
			const Decoded d = Decode(prefix);
			if (n < 0x24)
				continue; // the header itself is cut: any size is fine
			const std::size_t whole = n < 0x40 ? 0 : (n - 0x40) / std::size_t(c.blockBytes);
			ASSERT_EQ(d.image.data.size(), full.image.data.size());
			EXPECT_EQ(d.status, n == file.size() ? TexStatus::Ok : TexStatus::Truncated);
			EXPECT_EQ(d.damaged, n != file.size());
			for (int y = 0; y < height; ++y)
				for (int x = 0; x < width; ++x) {
					const std::size_t block = std::size_t(y / c.blockHeight * blocksAcross + x / c.blockWidth);
					ASSERT_EQ(Texel(d.image, x, y), block < whole ? Texel(full.image, x, y) : Bytes(4, 0)) << "prefix " << n << " texel " << x << "," << y;
				}
		}
	}
}

TEST(Tex0Damage, HugeSizesNeedTheirDataAndZeroSizesGiveEmptyImages)
{
	const Decoded huge = Decode(MakeTex0(kTexRGBA8, 65535, 65535, {}));
	EXPECT_EQ(huge.status, TexStatus::TooLarge);
	EXPECT_TRUE(huge.image.data.empty());
	EXPECT_EQ(Decode(MakeTex0(kTexCI14x2, 2000, 2000, {})).status, TexStatus::TooLarge);

	// just above the limit: accepted only when every block is present
	Bytes texels(TexelDataSize(kTexI4, 1025, 1024), 0x11);
	EXPECT_EQ(Decode(MakeTex0(kTexI4, 1025, 1024, texels)).status, TexStatus::Ok);
	texels.pop_back();
	EXPECT_EQ(Decode(MakeTex0(kTexI4, 1025, 1024, texels)).status, TexStatus::TooLarge);
	// at the limit a truncated image still decodes what it holds
	EXPECT_EQ(Decode(MakeTex0(kTexI4, 1024, 1024, {})).status, TexStatus::Truncated);

	const Decoded empty = Decode(MakeTex0(kTexI8, 0, 7, Bytes(32, 1)));
	EXPECT_EQ(empty.status, TexStatus::Ok);
	EXPECT_TRUE(empty.image.data.empty());
}

// A decoder written for clarity, not speed: texel (x, y) found in its block
// from scratch. Zero where the data lacks the texel's whole block.
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
Rgba Unpack(std::uint32_t c) { return {int(c & 255), int(c >> 8 & 255), int(c >> 16 & 255), int(c >> 24)}; }
Rgba FromRgb565(unsigned v) { return {Widen(Bits(v, 11, 5), 5), Widen(Bits(v, 5, 6), 6), Widen(Bits(v, 0, 5), 5), 255}; }

Rgba RefTexel(const RefFormat& f, const Bytes& t, int width, int x, int y, const Palette& palette)
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
	case kTexRGB5A3:
		if (word & 0x8000)
			return {Widen(Bits(word, 10, 5), 5), Widen(Bits(word, 5, 5), 5), Widen(Bits(word, 0, 5), 5), 255};
		return {Bits(word, 8, 4) * 17, Bits(word, 4, 4) * 17, Bits(word, 0, 4) * 17, Widen(Bits(word, 12, 3), 3)};
	case kTexRGBA8: return {int(at(2 * i + 1)), int(at(32 + 2 * i)), int(at(33 + 2 * i)), int(at(2 * i))};
	case kTexCI4: return Unpack(palette[nibble]);
	case kTexCI8: return Unpack(palette[at(i)]);
	default: break;
	}
	// CMPR: sub-block, then the texel's 2-bit index
	const std::size_t sub = 8 * std::size_t(by / 4 * 2 + bx / 4);
	const unsigned c0 = at(sub) << 8 | at(sub + 1), c1 = at(sub + 2) << 8 | at(sub + 3);
	const int index = Bits(at(sub + 4 + std::size_t(by % 4)), 6 - 2 * (bx % 4), 2);
	const float weights[4] = {1.0f, 0.0f, c0 > c1 ? 2.0f / 3.0f : 0.5f, 1.0f / 3.0f};
	const Rgba e0 = FromRgb565(c0), e1 = FromRgb565(c1);
	Rgba out{0, 0, 0, index == 3 && c0 <= c1 ? 0 : 255};
	for (int c = 0; c < 3; ++c) {
		const double w = weights[index];
		out[std::size_t(c)] = int(e0[std::size_t(c)] * w + e1[std::size_t(c)] * (1.0 - w));
	}
	return out;
}

// Random texel data of two kinds: any bytes, and bytes from a few values so
// equal CMPR endpoints and extreme channels turn up often.
Bytes RandomTexels(std::size_t size, std::mt19937& random, bool fewValues)
{
	static const std::uint8_t kFew[] = {0x00, 0xFF, 0x80, 0x7F, 0x0F};
	Bytes bytes(size);
	for (std::uint8_t& b : bytes)
		b = fewValues ? kFew[random() % 5] : std::uint8_t(random());
	return bytes;
}

void ExpectMatchesReference(const RefFormat& f, const Bytes& texels, int width, int height, TexImage& rec)
{
	const Bytes file = MakeTex0(f.format, width, height, texels);
	ByteView view(file);
	ReadTextureHeader(view, 0, rec);
	const TexStatus status = ReadTexture(view, rec);
	EXPECT_EQ(status, texels.size() >= TexelDataSize(f.format, width, height) ? TexStatus::Ok : TexStatus::Truncated);
	ASSERT_EQ(rec.data.size(), std::size_t(width) * std::size_t(height) * 4);
	for (int y = 0; y < height; ++y)
		for (int x = 0; x < width; ++x) {
			const Rgba want = RefTexel(f, texels, width, x, y, rec.palette);
			const std::uint8_t* got = rec.data.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
			ASSERT_EQ((Rgba{got[0], got[1], got[2], got[3]}), want) << "texel " << x << "," << y;
		}
	// every code path gives the same bytes
	for (const TexDecodePath path : TexDecodePaths()) {
		Bytes rgba(rec.data.size(), 0);
		DecodeTexels(rgba, texels, f.format, width, height, rec.palette, path);
		ASSERT_TRUE(rgba == rec.data) << "path " << int(path);
	}
}

TEST(Tex0Reference, EveryFormatAtOddSizesMatchesAPlainDecoder)
{
	std::mt19937 random(7);
	TexImage rec; // one record throughout: stale texels of a bigger image must not show
	for (std::uint32_t& colour : rec.palette)
		colour = std::uint32_t(random());
	const std::pair<int, int> sizes[] = {{500, 500}, {1, 1}, {3, 5}, {9, 7}, {7, 8}, {15, 12}, {33, 17}, {8, 40}};
	for (const RefFormat& f : kRefFormats)
		for (const auto& [width, height] : sizes)
			for (bool fewValues : {false, true}) {
				SCOPED_TRACE("format " + std::to_string(f.format) + " " + std::to_string(width) + "x" +
					std::to_string(height) + (fewValues ? " few values" : ""));
				ExpectMatchesReference(f, RandomTexels(TexelDataSize(f.format, width, height), random, fewValues),
					width, height, rec);
			}
}

TEST(Tex0Reference, CmprOfEveryPairOfChannelEndpoints)
{
	// sub-block k pairs endpoint k / 64 with k % 64 in green (6 bits), and
	// their halves in red and blue (5 bits), in both orders
	const auto endpoint = [](unsigned v) { return (v >> 1) << 11 | v << 5 | v >> 1; };
	Bytes texels(64 * 64 * 8);
	for (std::size_t k = 0; k < 64 * 64; ++k) {
		Put16(texels, 8 * k, endpoint(unsigned(k / 64)));
		Put16(texels, 8 * k + 2, endpoint(unsigned(k % 64)));
		for (std::size_t row = 0; row < 4; ++row)
			texels[8 * k + 4 + row] = std::uint8_t(0x1B << (2 * row) | 0x1B >> (8 - 2 * row));
	}
	TexImage rec;
	ExpectMatchesReference(kRefFormats[9], texels, 256, 256, rec);
}

TEST(Tex0Reference, TruncatedDataInAReusedRecordZeroesTheMissingBlocks)
{
	std::mt19937 random(8);
	TexImage rec;
	for (const RefFormat& f : kRefFormats) {
		const int width = 33, height = 17;
		const Bytes texels = RandomTexels(TexelDataSize(f.format, width, height), random, false);
		const std::size_t cuts[] = {0, 1, f.blockBytes - 1, f.blockBytes, f.blockBytes * 5 + 3, texels.size() / 2,
			texels.size() - 1};
		for (std::size_t cut : cuts) {
			SCOPED_TRACE("format " + std::to_string(f.format) + " cut at " + std::to_string(cut));
			// a whole image first, so every texel the cut one lacks is stale
			ExpectMatchesReference(f, texels, width, height, rec);
			ExpectMatchesReference(f, Bytes(texels.begin(), texels.begin() + std::ptrdiff_t(cut)), width, height, rec);
		}
	}
	// an unknown format after a decoded image leaves no texel behind
	ExpectMatchesReference(kRefFormats[6], RandomTexels(64 * 9 * 5, random, false), 33, 17, rec);
	const Bytes unknown = MakeTex0(kTexCI14x2, 33, 17, Bytes(2000, 0xFF));
	ByteView view(unknown);
	ReadTextureHeader(view, 0, rec);
	EXPECT_EQ(ReadTexture(view, rec), TexStatus::Unsupported);
	EXPECT_EQ(rec.data, Bytes(33 * 17 * 4, 0));
}

// Every 16-bit value as a texel decodes as the same value as a palette entry
// (the texel decoder splits each value into two table lookups).
TEST(Tex0Texels, EverySixteenBitColourDecodesAsItsPaletteEntry)
{
	for (const auto& [texFormat, paletteFormat] : {std::pair{kTexRGB565, kPaletteRGB565}, {kTexRGB5A3, kPaletteRGB5A3}}) {
		const Bytes texels = testing::EncodeTexels(texFormat, 256, 256, [](int x, int y) { return std::uint32_t(y * 256 + x); });
		const Decoded d = Decode(MakeTex0(texFormat, 256, 256, texels));
		ASSERT_EQ(d.status, TexStatus::Ok);
		for (int v = 0; v < 65536; ++v) {
			const std::uint32_t colour = DecodePaletteEntry(paletteFormat, std::uint16_t(v));
			const Bytes expected = {std::uint8_t(colour), std::uint8_t(colour >> 8), std::uint8_t(colour >> 16),
				std::uint8_t(colour >> 24)};
			ASSERT_EQ(Texel(d.image, v % 256, v / 256), expected) << texFormat << " " << v;
		}
	}
}

TEST(Tex0PutData, StoresPackedColourAsRgbaAndIgnoresOutside)
{
	TexImage rec;
	rec.width = 2, rec.height = 1;
	rec.data.assign(8, 0);
	PutData(rec, 1, 0, 0x44332211u);
	PutData(rec, 2, 0, 0xFFFFFFFFu);
	PutData(rec, 0, 1, 0xFFFFFFFFu);
	PutData(rec, -1, 0, 0xFFFFFFFFu);
	EXPECT_EQ(rec.data, (Bytes{0, 0, 0, 0, 0x11, 0x22, 0x33, 0x44}));
}

} // namespace
} // namespace zentarra
