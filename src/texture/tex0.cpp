#include "texture/tex0.h"

#include "texture/tex0_blocks.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>


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
constexpr int CmprBlend(int e0, int e1, float f)
{
	const double w = double(f);
	return static_cast<int>(double(e0) * w + double(e1) * (1.0 - w));
}

// A 16-bit texel as the OR of one entry for its high byte and one for its low
// byte: two small tables that stay in the L1 cache instead of one of 65536.
struct SplitTable {
	std::array<std::uint32_t, 256> high{};
	std::array<std::uint32_t, 512> low{}; // RGB5A3: indexed by bit 15 too
};

constexpr SplitTable MakeRgb565Table()
{
	SplitTable t;
	for (unsigned b = 0; b < 256; ++b) {
		t.high[b] = Rgb565(b << 8); // red and the top of green
		t.low[b] = Rgb565(b);       // the rest of green and blue
	}
	return t;
}

constexpr SplitTable MakeRgb5A3Table()
{
	SplitTable t;
	for (unsigned b = 0; b < 256; ++b) {
		t.high[b] = Rgb5A3(b << 8);
		t.low[b] = Rgb5A3(b);
		t.low[256 + b] = Rgb5A3(0x8000 | b);
	}
	return t;
}

constexpr SplitTable kRgb565Table = MakeRgb565Table();
constexpr SplitTable kRgb5A3Table = MakeRgb5A3Table();

// The channels of the two bytes never share a bit, so OR joins them exactly;
// a test decodes every one of the 65536 values both ways.

std::uint32_t Rgb565Texel(const std::uint8_t* p)
{
	return kRgb565Table.high[p[0]] | kRgb565Table.low[p[1]];
}

std::uint32_t Rgb5A3Texel(const std::uint8_t* p)
{
	return kRgb5A3Table.high[p[0]] | kRgb5A3Table.low[(p[0] & 0x80u) << 1 | p[1]];
}

// CmprBlend of every pair of 5-bit and of 6-bit endpoints after expansion.
struct CmprBlendTable {
	std::array<std::uint8_t, 32 * 32> twoThirds5{}, oneThird5{};
	std::array<std::uint8_t, 64 * 64> twoThirds6{}, oneThird6{};
};

constexpr CmprBlendTable MakeCmprBlendTable()
{
	CmprBlendTable t;
	for (unsigned a = 0; a < 32; ++a)
		for (unsigned b = 0; b < 32; ++b) {
			t.twoThirds5[a * 32 + b] = std::uint8_t(CmprBlend(Expand5(a), Expand5(b), kTwoThirds));
			t.oneThird5[a * 32 + b] = std::uint8_t(CmprBlend(Expand5(a), Expand5(b), kOneThird));
		}
	for (unsigned a = 0; a < 64; ++a)
		for (unsigned b = 0; b < 64; ++b) {
			t.twoThirds6[a * 64 + b] = std::uint8_t(CmprBlend(Expand6(a), Expand6(b), kTwoThirds));
			t.oneThird6[a * 64 + b] = std::uint8_t(CmprBlend(Expand6(a), Expand6(b), kOneThird));
		}
	return t;
}

constexpr CmprBlendTable kCmprBlend = MakeCmprBlendTable();
static_assert(kCmprBlend.twoThirds5[31 * 32] == 170 && kCmprBlend.oneThird5[31 * 32] == 85);
static_assert(kCmprBlend.twoThirds6[63] == 84 && kCmprBlend.oneThird6[63] == 169);

// Stores a packed colour as its R, G, B, A bytes.
void StoreTexel(std::uint8_t* dst, std::uint32_t colour)
{
	if constexpr (std::endian::native == std::endian::little) {
		std::memcpy(dst, &colour, 4);
	} else {
		dst[0] = std::uint8_t(colour);
		dst[1] = std::uint8_t(colour >> 8);
		dst[2] = std::uint8_t(colour >> 16);
		dst[3] = std::uint8_t(colour >> 24);
	}
}

// Block decoders: each writes one whole block of kWidth x kHeight texels from
// its kBytes bytes at p, a row of kWidth texels every `stride` bytes of dst.
//
// note: the formats without a table are written byte by byte, the channel
// bytes of a whole block into a local array first where the order within a
// texel changes; the compiler turns such byte loops into vector shuffles.
// Table formats store whole 32-bit colours straight into dst.

// Nibble n widened to 8 bits: n * 17, whether it sits high or low in the byte.
constexpr std::uint8_t HighNibble(unsigned v) { return std::uint8_t((v & 0xF0u) | v >> 4); }
constexpr std::uint8_t LowNibble(unsigned v) { return std::uint8_t((v & 0x0Fu) | (v & 0x0Fu) << 4); }

// One 8-bit intensity per texel in all four channels, row by row.
void StoreIntensities8(std::uint8_t* dst, std::size_t stride, const std::uint8_t* values, int rows)
{
	for (int row = 0; row < rows; ++row, dst += stride, values += 8)
		for (int i = 0; i < 8; ++i)
			dst[4 * i] = dst[4 * i + 1] = dst[4 * i + 2] = dst[4 * i + 3] = values[i];
}

struct I4Block {
	static constexpr int kWidth = 8, kHeight = 8;
	static constexpr std::size_t kBytes = 32;
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		std::uint8_t values[64];
		for (int i = 0; i < 32; ++i) { // high nibble left
			values[2 * i] = HighNibble(p[i]);
			values[2 * i + 1] = LowNibble(p[i]);
		}
		StoreIntensities8(dst, stride, values, kHeight);
	}
};

struct I8Block {
	static constexpr int kWidth = 8, kHeight = 4;
	static constexpr std::size_t kBytes = 32;
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		// a local copy tells the compiler the stores cannot change the texels
		std::uint8_t values[kBytes];
		std::memcpy(values, p, kBytes);
		StoreIntensities8(dst, stride, values, kHeight);
	}
};

// The RGBA bytes of a whole block, built locally, copied out row by row.
template <int Width, int Height>
struct BlockBytes {
	std::uint8_t rgba[Width * Height * 4];

	void CopyTo(std::uint8_t* dst, std::size_t stride) const
	{
		for (int row = 0; row < Height; ++row, dst += stride)
			std::memcpy(dst, rgba + row * Width * 4, Width * 4);
	}
};

struct IA4Block {
	static constexpr int kWidth = 8, kHeight = 4;
	static constexpr std::size_t kBytes = 32;
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		BlockBytes<kWidth, kHeight> block;
		for (int i = 0; i < 32; ++i) { // low nibble intensity, high alpha
			const std::uint8_t intensity = LowNibble(p[i]);
			block.rgba[4 * i] = block.rgba[4 * i + 1] = block.rgba[4 * i + 2] = intensity;
			block.rgba[4 * i + 3] = HighNibble(p[i]);
		}
		block.CopyTo(dst, stride);
	}
};

struct IA8Block {
	static constexpr int kWidth = 4, kHeight = 4;
	static constexpr std::size_t kBytes = 32;
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		BlockBytes<kWidth, kHeight> block;
		for (int i = 0; i < 16; ++i) { // alpha byte first
			block.rgba[4 * i] = block.rgba[4 * i + 1] = block.rgba[4 * i + 2] = p[2 * i + 1];
			block.rgba[4 * i + 3] = p[2 * i];
		}
		block.CopyTo(dst, stride);
	}
};

template <std::uint32_t (*Texel)(const std::uint8_t*)>
struct Colour16Block {
	static constexpr int kWidth = 4, kHeight = 4;
	static constexpr std::size_t kBytes = 32;
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		for (int row = 0; row < kHeight; ++row, dst += stride, p += 2 * kWidth)
			for (int i = 0; i < kWidth; ++i)
				StoreTexel(dst + 4 * i, Texel(p + 2 * i));
	}
};

struct RGBA8Block {
	static constexpr int kWidth = 4, kHeight = 4;
	static constexpr std::size_t kBytes = 64;
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		// 16 (alpha, red) pairs, then 16 (green, blue) pairs, both in texel order
		BlockBytes<kWidth, kHeight> block;
		for (int i = 0; i < 16; ++i) {
			block.rgba[4 * i] = p[2 * i + 1];
			block.rgba[4 * i + 1] = p[32 + 2 * i];
			block.rgba[4 * i + 2] = p[33 + 2 * i];
			block.rgba[4 * i + 3] = p[2 * i];
		}
		block.CopyTo(dst, stride);
	}
};

struct CI4Block {
	static constexpr int kWidth = 8, kHeight = 8;
	static constexpr std::size_t kBytes = 32;
	const Palette& palette;
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		for (int row = 0; row < kHeight; ++row, dst += stride, p += 4)
			for (int i = 0; i < 4; ++i) { // high nibble left
				StoreTexel(dst + 8 * i, palette[p[i] >> 4]);
				StoreTexel(dst + 8 * i + 4, palette[p[i] & 15u]);
			}
	}
};

struct CI8Block {
	static constexpr int kWidth = 8, kHeight = 4;
	static constexpr std::size_t kBytes = 32;
	const Palette& palette;
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		for (int row = 0; row < kHeight; ++row, dst += stride, p += kWidth)
			for (int i = 0; i < kWidth; ++i)
				StoreTexel(dst + 4 * i, palette[p[i]]);
	}
};

struct CmprBlock {
	static constexpr int kWidth = 8, kHeight = 8;
	static constexpr std::size_t kBytes = 32;

	// the four colours of a sub-block, computed once, then looked up per texel
	static void CmprColours(std::uint32_t colours[4], const std::uint8_t* p)
	{
		const unsigned c0 = Be16(p);
		const unsigned c1 = Be16(p + 2);
		const unsigned r = (c0 >> 11) * 32 + (c1 >> 11);
		const unsigned g = (c0 >> 5 & 63) * 64 + (c1 >> 5 & 63);
		const unsigned b = (c0 & 31) * 32 + (c1 & 31);
		const bool fourColours = c0 > c1;
		colours[0] = Rgb565Texel(p); // weights 1 and 0 give the endpoints themselves
		colours[1] = Rgb565Texel(p + 2);
		const std::uint32_t twoThirds =
			Pack(kCmprBlend.twoThirds5[r], kCmprBlend.twoThirds6[g], kCmprBlend.twoThirds5[b], 255);
		// weight 0.5: both halves are exact, so the truncated sum is the floor of the mean
		const std::uint32_t half = ((colours[0] & 0xFEFEFEu) >> 1) + ((colours[1] & 0xFEFEFEu) >> 1) +
			(colours[0] & colours[1] & 0x010101u) + 0xFF000000u;
		// selected by mask, not a branch: c0 > c1 is a coin toss block to block
		const std::uint32_t four = 0u - std::uint32_t(fourColours);
		colours[2] = (twoThirds & four) | (half & ~four);
		// the transparent index keeps its blended colour; only alpha drops
		colours[3] = Pack(kCmprBlend.oneThird5[r], kCmprBlend.oneThird6[g], kCmprBlend.oneThird5[b], 0) |
			(four & 0xFF000000u);
	}

	static void SubBlock(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p)
	{
		std::uint32_t colours[4];
		CmprColours(colours, p);
		for (int row = 0; row < 4; ++row, dst += stride) {
			const unsigned bits = p[4 + row];
			StoreTexel(dst, colours[bits >> 6]);
			StoreTexel(dst + 4, colours[bits >> 4 & 3]);
			StoreTexel(dst + 8, colours[bits >> 2 & 3]);
			StoreTexel(dst + 12, colours[bits & 3]);
		}
	}

	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		SubBlock(dst, stride, p);
		SubBlock(dst + 16, stride, p + 8);
		SubBlock(dst + 4 * stride, stride, p + 16);
		SubBlock(dst + 4 * stride + 16, stride, p + 24);
	}
};

#if defined(__SSE2__)
// The same blocks in SSE2: 16 bytes of texels at a time, spread with shifts
// and unpacks. Every block starts at p + a multiple of 16 bytes and every row
// of 4 texels is one 16-byte store.

// Each byte's nibble widened to 8 bits: n * 17.
__m128i HighNibbles(__m128i v)
{
	const __m128i n = _mm_and_si128(_mm_srli_epi16(v, 4), _mm_set1_epi8(0x0F));
	return _mm_or_si128(n, _mm_slli_epi16(n, 4));
}
__m128i LowNibbles(__m128i v)
{
	const __m128i n = _mm_and_si128(v, _mm_set1_epi8(0x0F));
	return _mm_or_si128(n, _mm_slli_epi16(n, 4));
}

// 16-bit big-endian values, as numbers.
__m128i Swap16(__m128i v) { return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8)); }

// 8 texels as 16-bit (R, G) and (B, A) halves, stored as two rows of 4.
void StoreHalves(std::uint8_t* dst, std::size_t stride, __m128i rg, __m128i ba)
{
	Store16(dst, _mm_unpacklo_epi16(rg, ba));
	Store16(dst + stride, _mm_unpackhi_epi16(rg, ba));
}

// A row of 8 intensities, each byte already doubled, in all four channels.
void StoreGreyRow(std::uint8_t* dst, __m128i pairs)
{
	Store16(dst, _mm_unpacklo_epi16(pairs, pairs));
	Store16(dst + 16, _mm_unpackhi_epi16(pairs, pairs));
}

// Two rows of 8 intensities, one byte each.
void StoreGreyRows(std::uint8_t* dst, std::size_t stride, __m128i values)
{
	StoreGreyRow(dst, _mm_unpacklo_epi8(values, values));
	StoreGreyRow(dst + stride, _mm_unpackhi_epi8(values, values));
}

struct I4Sse2 : I4Block {
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		for (int half = 0; half < 2; ++half, p += 16, dst += 4 * stride) { // 4 rows of 4 bytes
			const __m128i v = Load16(p);
			const __m128i high = HighNibbles(v), low = LowNibbles(v); // high nibble left
			StoreGreyRows(dst, stride, _mm_unpacklo_epi8(high, low));
			StoreGreyRows(dst + 2 * stride, stride, _mm_unpackhi_epi8(high, low));
		}
	}
};

struct I8Sse2 : I8Block {
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		StoreGreyRows(dst, stride, Load16(p));
		StoreGreyRows(dst + 2 * stride, stride, Load16(p + 16));
	}
};

struct IA4Sse2 : IA4Block {
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		for (int half = 0; half < 2; ++half, p += 16, dst += 2 * stride) { // 2 rows of 8 bytes
			const __m128i v = Load16(p);
			const __m128i intensity = LowNibbles(v), alpha = HighNibbles(v);
			const __m128i ii = _mm_unpacklo_epi8(intensity, intensity), ia = _mm_unpacklo_epi8(intensity, alpha);
			Store16(dst, _mm_unpacklo_epi16(ii, ia));
			Store16(dst + 16, _mm_unpackhi_epi16(ii, ia));
			const __m128i ii2 = _mm_unpackhi_epi8(intensity, intensity), ia2 = _mm_unpackhi_epi8(intensity, alpha);
			Store16(dst + stride, _mm_unpacklo_epi16(ii2, ia2));
			Store16(dst + stride + 16, _mm_unpackhi_epi16(ii2, ia2));
		}
	}
};

struct IA8Sse2 : IA8Block {
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		for (int half = 0; half < 2; ++half, p += 16, dst += 2 * stride) {
			const __m128i v = Load16(p); // little-endian words: alpha | intensity << 8
			const __m128i intensity = _mm_srli_epi16(v, 8);
			const __m128i ii = _mm_or_si128(intensity, _mm_slli_epi16(intensity, 8));
			StoreHalves(dst, stride, ii, _mm_or_si128(intensity, _mm_slli_epi16(v, 8)));
		}
	}
};

struct RGB565Sse2 : Colour16Block<Rgb565Texel> {
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		const __m128i mask5 = _mm_set1_epi16(31), mask6 = _mm_set1_epi16(63);
		for (int half = 0; half < 2; ++half, p += 16, dst += 2 * stride) {
			const __m128i c = Swap16(Load16(p));
			const __m128i r = _mm_srli_epi16(c, 11);
			const __m128i g = _mm_and_si128(_mm_srli_epi16(c, 5), mask6);
			const __m128i b = _mm_and_si128(c, mask5);
			const __m128i r8 = _mm_or_si128(_mm_slli_epi16(r, 3), _mm_srli_epi16(r, 2));
			const __m128i g8 = _mm_or_si128(_mm_slli_epi16(g, 2), _mm_srli_epi16(g, 4));
			const __m128i b8 = _mm_or_si128(_mm_slli_epi16(b, 3), _mm_srli_epi16(b, 2));
			StoreHalves(dst, stride, _mm_or_si128(r8, _mm_slli_epi16(g8, 8)), _mm_or_si128(b8, _mm_set1_epi16(-256)));
		}
	}
};

// The channels are moved and widened by multiplies: for a field of n bits
// at bit k, a product by the right constant puts the field's repetition
// (bit replication) in the byte it belongs in; a mask drops what spills below.
struct RGB5A3Sse2 : Colour16Block<Rgb5A3Texel> {
	static __m128i Field(__m128i c, int mask) { return _mm_and_si128(c, _mm_set1_epi16(std::int16_t(mask))); }
	static __m128i Times(__m128i v, int k) { return _mm_mullo_epi16(v, _mm_set1_epi16(std::int16_t(k))); }
	static __m128i HighTimes(__m128i v, int k) { return _mm_mulhi_epu16(v, _mm_set1_epi16(std::int16_t(k))); }

	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		const __m128i highByte = _mm_set1_epi16(-256);
		for (int half = 0; half < 2; ++half, p += 16, dst += 2 * stride) {
			const __m128i c = Swap16(Load16(p));
			const __m128i opaque = _mm_srai_epi16(c, 15); // bit 15 set: all ones
			// opaque: 5 bits per colour (x * 33 >> 2), alpha 255
			const __m128i r = HighTimes(Field(c, 0x7C00), 33 << 4);
			const __m128i g = _mm_and_si128(Times(Field(c, 0x03E0), 33 << 1), highByte);
			const __m128i b = _mm_srli_epi16(Times(Field(c, 0x001F), 33), 2);
			// translucent: 4 bits per colour (x * 17), 3 of alpha (x * 73 >> 1)
			const __m128i r4 = HighTimes(Field(c, 0x0F00), 17 << 8);
			const __m128i g4 = Times(Field(c, 0x00F0), 17 << 4);
			const __m128i b4 = Times(Field(c, 0x000F), 17);
			const __m128i a3 = _mm_and_si128(Times(_mm_srli_epi16(c, 12), 73 << 7), highByte);
			const __m128i rg = _mm_or_si128(_mm_and_si128(opaque, _mm_or_si128(r, g)),
				_mm_andnot_si128(opaque, _mm_or_si128(r4, g4)));
			const __m128i ba = _mm_or_si128(_mm_and_si128(opaque, _mm_or_si128(b, highByte)),
				_mm_andnot_si128(opaque, _mm_or_si128(b4, a3)));
			StoreHalves(dst, stride, rg, ba);
		}
	}
};

struct RGBA8Sse2 : RGBA8Block {
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		for (int half = 0; half < 2; ++half, p += 16, dst += 2 * stride) {
			const __m128i ar = Load16(p), gb = Load16(p + 32); // little-endian words: a | r << 8, g | b << 8
			StoreHalves(dst, stride, _mm_or_si128(_mm_srli_epi16(ar, 8), _mm_slli_epi16(gb, 8)),
				_mm_or_si128(_mm_srli_epi16(gb, 8), _mm_slli_epi16(ar, 8)));
		}
	}
};

// Four palette colours as one 16-byte store.
void StoreColours(std::uint8_t* dst, const Palette& palette, unsigned i0, unsigned i1, unsigned i2, unsigned i3)
{
	Store16(dst, _mm_setr_epi32(int(palette[i0]), int(palette[i1]), int(palette[i2]), int(palette[i3])));
}

struct CI4Sse2 : CI4Block {
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		for (int row = 0; row < kHeight; ++row, dst += stride, p += 4) { // high nibble left
			StoreColours(dst, palette, p[0] >> 4, p[0] & 15u, p[1] >> 4, p[1] & 15u);
			StoreColours(dst + 16, palette, p[2] >> 4, p[2] & 15u, p[3] >> 4, p[3] & 15u);
		}
	}
};

struct CI8Sse2 : CI8Block {
	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		for (int row = 0; row < kHeight; ++row, dst += stride, p += kWidth) {
			StoreColours(dst, palette, p[0], p[1], p[2], p[3]);
			StoreColours(dst + 16, palette, p[4], p[5], p[6], p[7]);
		}
	}
};

// CMPR with each row of a sub-block gathered into one 16-byte store.
struct CmprSse2 : CmprBlock {
	static void SubBlock(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p)
	{
		std::uint32_t colours[4];
		CmprColours(colours, p);
		for (int row = 0; row < 4; ++row, dst += stride) {
			const unsigned bits = p[4 + row];
			Store16(dst, _mm_setr_epi32(int(colours[bits >> 6]), int(colours[bits >> 4 & 3]),
				int(colours[bits >> 2 & 3]), int(colours[bits & 3])));
		}
	}

	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		SubBlock(dst, stride, p);
		SubBlock(dst + 16, stride, p + 8);
		SubBlock(dst + 4 * stride, stride, p + 16);
		SubBlock(dst + 4 * stride + 16, stride, p + 24);
	}
};
#endif

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

// The caller's RGBA image; a texel outside it is dropped.
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

// The block decoders of one path, by format.
struct ScalarKernels {
	using I4 = I4Block;
	using I8 = I8Block;
	using IA4 = IA4Block;
	using IA8 = IA8Block;
	using RGB565 = Colour16Block<Rgb565Texel>;
	using RGB5A3 = Colour16Block<Rgb5A3Texel>;
	using RGBA8 = RGBA8Block;
	using CMPR = CmprBlock;
	using CI4 = CI4Block;
	using CI8 = CI8Block;
};

#if defined(__SSE2__)
struct Sse2Kernels {
	using I4 = I4Sse2;
	using I8 = I8Sse2;
	using IA4 = IA4Sse2;
	using IA8 = IA8Sse2;
	using RGB565 = RGB565Sse2;
	using RGB5A3 = RGB5A3Sse2;
	using RGBA8 = RGBA8Sse2;
	using CMPR = CmprSse2;
	using CI4 = CI4Sse2;
	using CI8 = CI8Sse2;
};
#endif

// False when the data ran out; the format is one LayoutOf knows.
template <class Kernels>
bool DecodeFormat(std::uint32_t format, std::uint8_t* out, int width, int height, std::span<const std::uint8_t> texels,
	const Palette& palette)
{
	switch (format) {
	case kTexI4: return DecodeBlocks(typename Kernels::I4{}, out, width, height, texels);
	case kTexI8: return DecodeBlocks(typename Kernels::I8{}, out, width, height, texels);
	case kTexIA4: return DecodeBlocks(typename Kernels::IA4{}, out, width, height, texels);
	case kTexIA8: return DecodeBlocks(typename Kernels::IA8{}, out, width, height, texels);
	case kTexRGB565: return DecodeBlocks(typename Kernels::RGB565{}, out, width, height, texels);
	case kTexRGB5A3: return DecodeBlocks(typename Kernels::RGB5A3{}, out, width, height, texels);
	case kTexRGBA8: return DecodeBlocks(typename Kernels::RGBA8{}, out, width, height, texels);
	case kTexCI4: return DecodeBlocks(typename Kernels::CI4{{palette}}, out, width, height, texels);
	case kTexCI8: return DecodeBlocks(typename Kernels::CI8{{palette}}, out, width, height, texels);
	default: return DecodeBlocks(typename Kernels::CMPR{}, out, width, height, texels);
	}
}

} // namespace

std::size_t TexelDataSize(std::uint32_t format, int width, int height)
{
	const Layout layout = LayoutOf(format);
	if (layout.blockBytes == 0 || width <= 0 || height <= 0)
		return 0;
	return BlockCount(width, layout.blockWidth) * BlockCount(height, layout.blockHeight) * layout.blockBytes;
}

std::span<const TexDecodePath> TexDecodePaths()
{
	static constexpr TexDecodePath kPaths[] = {
		TexDecodePath::Scalar,
#if defined(__SSE2__)
		TexDecodePath::Sse2,
#endif
#if defined(ZENTARRA_TEX_AVX2)
		TexDecodePath::Avx2,
#endif
	};
#if defined(ZENTARRA_TEX_AVX2)
	static const bool hasAvx2 = __builtin_cpu_supports("avx2");
	if (!hasAvx2)
		return std::span(kPaths).first(std::size(kPaths) - 1);
#endif
	return kPaths;
}

TexStatus DecodeTexels(std::span<std::uint8_t> rgba, std::span<const std::uint8_t> texels, std::uint32_t format,
	int width, int height, const Palette& palette)
{
	return DecodeTexels(rgba, texels, format, width, height, palette, TexDecodePaths().back());
}

TexStatus DecodeTexels(std::span<std::uint8_t> rgba, std::span<const std::uint8_t> texels, std::uint32_t format,
	int width, int height, const Palette& palette, TexDecodePath path)
{
	const Layout layout = LayoutOf(format);
	if (layout.blockBytes == 0)
		return TexStatus::Unsupported;
	if (width <= 0 || height <= 0)
		return TexStatus::Ok;
	assert(rgba.size() / 4 / std::size_t(width) >= std::size_t(height));
	if (rgba.size() / 4 / std::size_t(width) < std::size_t(height))
		return TexStatus::TooLarge;

	bool whole = false;
	switch (path) {
#if defined(ZENTARRA_TEX_AVX2)
	case TexDecodePath::Avx2:
		if (const std::optional<bool> decoded = DecodeFormatAvx2(format, rgba.data(), width, height, texels)) {
			whole = *decoded;
			break;
		}
		[[fallthrough]]; // the SSE2 kernels are as fast for the rest
#endif
#if defined(__SSE2__)
	case TexDecodePath::Sse2:
		whole = DecodeFormat<Sse2Kernels>(format, rgba.data(), width, height, texels, palette);
		break;
#endif
	default:
		whole = DecodeFormat<ScalarKernels>(format, rgba.data(), width, height, texels, palette);
		break;
	}
	return whole ? TexStatus::Ok : TexStatus::Truncated;
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
	if (rec.width <= 0 || rec.height <= 0) {
		rec.data.clear();
		return LayoutOf(rec.format).blockBytes ? TexStatus::Ok : TexStatus::Unsupported;
	}

	const std::size_t start = file.tell();
	const std::size_t texelCount = std::size_t(rec.width) * std::size_t(rec.height);
	const std::size_t needed = TexelDataSize(rec.format, rec.width, rec.height);
	if (texelCount > kMaxTexels ||
		(texelCount > kMaxTexelsWithoutData && (needed == 0 || needed > file.remaining(start)))) {
		rec.data.clear();
		return TexStatus::TooLarge;
	}

	// a whole image overwrites every texel, so a reused buffer is cleared only
	// when some texels will not be decoded
	rec.data.resize(texelCount * 4);
	const std::span<const std::uint8_t> texels = file.bytes().subspan(std::min(start, file.size()));
	if (needed == 0 || texels.size() < needed)
		std::fill(rec.data.begin(), rec.data.end(), std::uint8_t(0));
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
