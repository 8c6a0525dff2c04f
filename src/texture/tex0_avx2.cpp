// TEX0 decoders for processors with AVX2, built with -mavx2 and called only
// after a run-time check. The 4x4 formats of 16-bit texels decode two
// neighbouring blocks at once, one 32-byte store per row of both; CMPR looks
// its colours up with byte shuffles. Every kernel gives the bytes of the
// scalar ones (the tests compare every path).
#if defined(ZENTARRA_TEX_AVX2)

#include "texture/tex0_blocks.h"

#include <immintrin.h>

#include <array>

namespace zentarra {
namespace {

void Store32(std::uint8_t* dst, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), v); }

// 16 bytes of one block in the low lane, the same 16 of the next in the high.
__m256i LoadPair(const std::uint8_t* p, std::size_t next)
{
	return _mm256_inserti128_si256(_mm256_castsi128_si256(Load16(p)), Load16(p + next), 1);
}

// 16-bit big-endian values, as numbers.
__m256i Swap16(__m256i v) { return _mm256_or_si256(_mm256_slli_epi16(v, 8), _mm256_srli_epi16(v, 8)); }

// Two rows of 4 texels of both blocks, as 16-bit (R, G) and (B, A) halves:
// each unpack gives one 32-byte row of the pair.
void StoreHalves(std::uint8_t* dst, std::size_t stride, __m256i rg, __m256i ba)
{
	Store32(dst, _mm256_unpacklo_epi16(rg, ba));
	Store32(dst + stride, _mm256_unpackhi_epi16(rg, ba));
}

// A kernel of 4x4 blocks of 32 bytes that only decodes pairs: a lone block
// (an odd one at the end of a row, or one cut by the image's edge) is copied
// beside an empty one and decoded aside.
template <class Kernel>
struct PairedBlock {
	static constexpr int kWidth = 4, kHeight = 4;
	static constexpr std::size_t kBytes = Kernel::kBytes;

	void Pair(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const { Kernel::Pair(dst, stride, p); }

	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		std::uint8_t two[2 * kBytes] = {};
		std::memcpy(two, p, kBytes);
		std::uint8_t aside[kHeight][2 * kWidth * 4];
		Kernel::Pair(aside[0], sizeof aside[0], two);
		for (int row = 0; row < kHeight; ++row)
			std::memcpy(dst + std::size_t(row) * stride, aside[row], kWidth * 4);
	}
};

struct IA8Pair {
	static constexpr std::size_t kBytes = 32;
	static void Pair(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p)
	{
		for (int half = 0; half < 2; ++half, p += 16, dst += 2 * stride) {
			const __m256i v = LoadPair(p, kBytes); // little-endian words: alpha | intensity << 8
			const __m256i intensity = _mm256_srli_epi16(v, 8);
			const __m256i ii = _mm256_or_si256(intensity, _mm256_slli_epi16(intensity, 8));
			StoreHalves(dst, stride, ii, _mm256_or_si256(intensity, _mm256_slli_epi16(v, 8)));
		}
	}
};

struct RGB565Pair {
	static constexpr std::size_t kBytes = 32;
	static void Pair(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p)
	{
		const __m256i mask5 = _mm256_set1_epi16(31), mask6 = _mm256_set1_epi16(63);
		for (int half = 0; half < 2; ++half, p += 16, dst += 2 * stride) {
			const __m256i c = Swap16(LoadPair(p, kBytes));
			const __m256i r = _mm256_srli_epi16(c, 11);
			const __m256i g = _mm256_and_si256(_mm256_srli_epi16(c, 5), mask6);
			const __m256i b = _mm256_and_si256(c, mask5);
			const __m256i r8 = _mm256_or_si256(_mm256_slli_epi16(r, 3), _mm256_srli_epi16(r, 2));
			const __m256i g8 = _mm256_or_si256(_mm256_slli_epi16(g, 2), _mm256_srli_epi16(g, 4));
			const __m256i b8 = _mm256_or_si256(_mm256_slli_epi16(b, 3), _mm256_srli_epi16(b, 2));
			StoreHalves(dst, stride, _mm256_or_si256(r8, _mm256_slli_epi16(g8, 8)),
				_mm256_or_si256(b8, _mm256_set1_epi16(-256)));
		}
	}
};

// The channels are moved and widened by multiplies: for a field of n bits at
// bit k, a product by the right constant puts the field's repetition (bit
// replication) in the byte it belongs in; a mask drops what spills below.
struct RGB5A3Pair {
	static constexpr std::size_t kBytes = 32;
	static __m256i Field(__m256i c, int mask) { return _mm256_and_si256(c, _mm256_set1_epi16(std::int16_t(mask))); }
	static __m256i Times(__m256i v, int k) { return _mm256_mullo_epi16(v, _mm256_set1_epi16(std::int16_t(k))); }
	static __m256i HighTimes(__m256i v, int k) { return _mm256_mulhi_epu16(v, _mm256_set1_epi16(std::int16_t(k))); }

	static void Pair(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p)
	{
		const __m256i highByte = _mm256_set1_epi16(-256);
		for (int half = 0; half < 2; ++half, p += 16, dst += 2 * stride) {
			const __m256i c = Swap16(LoadPair(p, kBytes));
			const __m256i opaque = _mm256_srai_epi16(c, 15); // bit 15 set: all ones
			// opaque: 5 bits per colour (x * 33 >> 2), alpha 255
			const __m256i r = HighTimes(Field(c, 0x7C00), 33 << 4);
			const __m256i g = _mm256_and_si256(Times(Field(c, 0x03E0), 33 << 1), highByte);
			const __m256i b = _mm256_srli_epi16(Times(Field(c, 0x001F), 33), 2);
			// translucent: 4 bits per colour (x * 17), 3 of alpha (x * 73 >> 1)
			const __m256i r4 = HighTimes(Field(c, 0x0F00), 17 << 8);
			const __m256i g4 = Times(Field(c, 0x00F0), 17 << 4);
			const __m256i b4 = Times(Field(c, 0x000F), 17);
			const __m256i a3 = _mm256_and_si256(Times(_mm256_srli_epi16(c, 12), 73 << 7), highByte);
			const __m256i rg = _mm256_blendv_epi8(_mm256_or_si256(r4, g4), _mm256_or_si256(r, g), opaque);
			const __m256i ba = _mm256_blendv_epi8(_mm256_or_si256(b4, a3), _mm256_or_si256(b, highByte), opaque);
			StoreHalves(dst, stride, rg, ba);
		}
	}
};

struct RGBA8Pair {
	static constexpr std::size_t kBytes = 64;
	static void Pair(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p)
	{
		for (int half = 0; half < 2; ++half, p += 16, dst += 2 * stride) {
			// little-endian words: a | r << 8, g | b << 8
			const __m256i ar = LoadPair(p, kBytes), gb = LoadPair(p + 32, kBytes);
			StoreHalves(dst, stride, _mm256_or_si256(_mm256_srli_epi16(ar, 8), _mm256_slli_epi16(gb, 8)),
				_mm256_or_si256(_mm256_srli_epi16(gb, 8), _mm256_slli_epi16(ar, 8)));
		}
	}
};

// For each byte of four 2-bit colour indices (leftmost texel in the top
// bits), the byte shuffle that picks those four colours out of a sub-block's
// 16-byte palette.
constexpr std::array<std::array<std::uint8_t, 16>, 256> MakeCmprShuffles()
{
	std::array<std::array<std::uint8_t, 16>, 256> shuffles{};
	for (unsigned bits = 0; bits < 256; ++bits)
		for (unsigned texel = 0; texel < 4; ++texel)
			for (unsigned byte = 0; byte < 4; ++byte)
				shuffles[bits][4 * texel + byte] = std::uint8_t(4 * (bits >> (6 - 2 * texel) & 3) + byte);
	return shuffles;
}

alignas(16) constexpr std::array<std::array<std::uint8_t, 16>, 256> kCmprShuffles = MakeCmprShuffles();

// An 8x8 CMPR block: the palettes of its four sub-blocks computed side by
// side in 16-bit lanes (even lanes for the first endpoint, odd for the
// second), then each row of 4 texels one shuffle of its sub-block's palette.
//
// The blends are exact in integers: with the weights the decoder uses (the
// floats nearest 2/3 and 1/3), e0*w + e1*(1-w) truncated equals
// (2*e0 + e1 - [e0 < e1]) / 3 and (e0 + 2*e1 - [e0 < e1]) / 3, the tiny
// excess of the float weights only deciding ties.
struct CmprAvx2 {
	static constexpr int kWidth = 8, kHeight = 8;
	static constexpr std::size_t kBytes = 32;

	// Each channel widened from its bits by replication.
	static __m128i Widen5(__m128i v) { return _mm_or_si128(_mm_slli_epi16(v, 3), _mm_srli_epi16(v, 2)); }
	static __m128i Widen6(__m128i v) { return _mm_or_si128(_mm_slli_epi16(v, 2), _mm_srli_epi16(v, 4)); }
	// The other endpoint of each lane's pair.
	static __m128i Partner(__m128i v)
	{
		return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, _MM_SHUFFLE(2, 3, 0, 1)), _MM_SHUFFLE(2, 3, 0, 1));
	}

	// Even lanes: the 2/3 blend of the pair, or its mean where `four` is
	// clear; odd lanes: the 1/3 blend.
	static __m128i Derived(__m128i e, __m128i four, __m128i evenLanes)
	{
		const __m128i other = Partner(e);
		// [e0 < e1]: self below partner in even lanes, above it in odd ones
		const __m128i below = _mm_blendv_epi8(_mm_cmpgt_epi16(e, other), _mm_cmplt_epi16(e, other), evenLanes);
		const __m128i n = _mm_add_epi16(_mm_add_epi16(_mm_add_epi16(e, e), other), below); // below is 0 or -1
		const __m128i third = _mm_srli_epi16(_mm_mulhi_epu16(n, _mm_set1_epi16(std::int16_t(0xAAAB))), 1);
		const __m128i mean = _mm_srli_epi16(_mm_add_epi16(e, other), 1);
		return _mm_blendv_epi8(third, mean, _mm_andnot_si128(four, evenLanes));
	}

	void operator()(std::uint8_t* dst, std::size_t stride, const std::uint8_t* p) const
	{
		// the endpoint words of the four sub-blocks, as numbers
		const __m128i v0 = Load16(p), v1 = Load16(p + 16);
		__m128i c = _mm_unpacklo_epi64(_mm_shuffle_epi32(v0, _MM_SHUFFLE(3, 1, 2, 0)),
			_mm_shuffle_epi32(v1, _MM_SHUFFLE(3, 1, 2, 0)));
		c = _mm_or_si128(_mm_slli_epi16(c, 8), _mm_srli_epi16(c, 8));

		const __m128i evenLanes = _mm_set1_epi32(0x0000FFFF);
		// four colours where the first endpoint is the greater, as unsigned numbers
		const __m128i bias = _mm_set1_epi16(std::int16_t(0x8000));
		const __m128i greater = _mm_cmpgt_epi16(_mm_xor_si128(c, bias), Partner(_mm_xor_si128(c, bias)));
		const __m128i four =
			_mm_shufflehi_epi16(_mm_shufflelo_epi16(greater, _MM_SHUFFLE(2, 2, 0, 0)), _MM_SHUFFLE(2, 2, 0, 0));

		const __m128i r = Widen5(_mm_srli_epi16(c, 11));
		const __m128i g = Widen6(_mm_and_si128(_mm_srli_epi16(c, 5), _mm_set1_epi16(63)));
		const __m128i b = Widen5(_mm_and_si128(c, _mm_set1_epi16(31)));
		const __m128i opaque = _mm_set1_epi16(-256);
		// colours 0 and 1, then 2 and 3 (3 is transparent unless `four`), as RGBA words
		const __m128i endRG = _mm_or_si128(r, _mm_slli_epi16(g, 8));
		const __m128i endBA = _mm_or_si128(b, opaque);
		const __m128i midRG = _mm_or_si128(Derived(r, four, evenLanes), _mm_slli_epi16(Derived(g, four, evenLanes), 8));
		const __m128i midBA =
			_mm_or_si128(Derived(b, four, evenLanes), _mm_and_si128(opaque, _mm_or_si128(four, evenLanes)));
		const __m128i endLow = _mm_unpacklo_epi16(endRG, endBA), endHigh = _mm_unpackhi_epi16(endRG, endBA);
		const __m128i midLow = _mm_unpacklo_epi16(midRG, midBA), midHigh = _mm_unpackhi_epi16(midRG, midBA);
		const __m128i palettes[4] = {_mm_unpacklo_epi64(endLow, midLow), _mm_unpackhi_epi64(endLow, midLow),
			_mm_unpacklo_epi64(endHigh, midHigh), _mm_unpackhi_epi64(endHigh, midHigh)};

		for (int sub = 0; sub < 4; ++sub) {
			std::uint8_t* out = dst + (sub >> 1) * 4 * stride + (sub & 1) * 16;
			const std::uint8_t* bits = p + 8 * sub + 4;
			for (int row = 0; row < 4; ++row, out += stride) {
				const __m128i shuffle = _mm_load_si128(reinterpret_cast<const __m128i*>(kCmprShuffles[bits[row]].data()));
				Store16(out, _mm_shuffle_epi8(palettes[sub], shuffle));
			}
		}
	}
};

} // namespace

std::optional<bool> DecodeFormatAvx2(std::uint32_t format, std::uint8_t* out, int width, int height,
	std::span<const std::uint8_t> texels)
{
	switch (format) {
	case kTexIA8: return DecodeBlocks(PairedBlock<IA8Pair>{}, out, width, height, texels);
	case kTexRGB565: return DecodeBlocks(PairedBlock<RGB565Pair>{}, out, width, height, texels);
	case kTexRGB5A3: return DecodeBlocks(PairedBlock<RGB5A3Pair>{}, out, width, height, texels);
	case kTexRGBA8: return DecodeBlocks(PairedBlock<RGBA8Pair>{}, out, width, height, texels);
	case kTexCMPR: return DecodeBlocks(CmprAvx2{}, out, width, height, texels);
	default: return std::nullopt;
	}
}

} // namespace zentarra

#endif
